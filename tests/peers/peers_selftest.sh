#!/bin/bash
# Proves the IPP-side peers of peers.sh with ordinary tools before any test
# of the monitor relies on them: hand-made IPP/1.0 requests (ipp_probe.py) to
# cupsd, direct and through tinyproxy, with and without Basic auth; printer
# state and acceptance set with ipptool and read back over the wire; the
# silent peer. Ports 8641-8644 on 127.0.0.1. Prints "N passed, N failed".
set -u
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/peers.sh"
work=$(mktemp -d)
trap 'peer_stop_all; rm -rf "$work"' EXIT

IPP=8641 AUTH=8642 PROXY=8643 SILENT=8644
CREDS='vexa:p@ss word:1'
passed=0 failed=0
t0=$(date +%s%N)
section() { echo "== $1 (at $(( ($(date +%s%N) - t0) / 1000000 )) ms)"; }

# check NAME WANT GOT
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
    echo "ok   $1"
  else
    failed=$((failed + 1))
    echo "FAIL $1"
    echo "     want: $2"
    echo "     got:  $3"
  fi
}

# Debian's own python3: a version manager's shim in PATH costs a second per
# start on a busy machine.
probe() { /usr/bin/python3 -S "$HERE/ipp_probe.py" "$@" 2>&1; }

# same_document NAME DIR JOB-LINE: the job id from the probe's line names a
# document that must be byte-identical to $work/doc.
same_document() {
  local job path
  job=$(sed -n 's/.* job=\([0-9][0-9]*\) .*/\1/p' <<<"$3")
  path=$(peer_ipp_document "$2" "$job" 2>&1) &&
    cmp -s "$work/doc" "$path" && path=identical
  check "$1: document of job ${job:-?} as sent" identical "$path"
}

# Binary, with bytes an HTTP or IPP layer could mangle: CR LF, NUL, 0x03,
# a fake last chunk; larger than any buffer on the way.
{ printf '\r\n0\r\n\r\n\0\3\1\0'; head -c 300000 /dev/urandom; printf '\r\n'; } >"$work/doc"

section "cupsd, no auth"
start=$(date +%s%N)
peer_ipp "$work/ipp" "$IPP" || { echo "FAIL cupsd did not start"; exit 1; }
echo "     cupsd listening after $(( ($(date +%s%N) - start) / 1000000 )) ms"
got=$(probe print --port "$IPP" --doc "$work/doc")
check "counted Print-Job accepted with IPP/1.0" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document counted "$work/ipp" "$got"
got=$(probe print --port "$IPP" --chunked --doc "$work/doc")
check "chunked Print-Job accepted" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document chunked "$work/ipp" "$got"
check "newest document is the last job's" "$(peer_ipp_document "$work/ipp" "$(sed -n 's/.* job=\([0-9]*\) .*/\1/p' <<<"$got")")" \
  "$(peer_ipp_document "$work/ipp")"
peer_ipp_document "$work/ipp" 99 >/dev/null 2>&1
check "no document for a job never sent" 1 $?

section "printer state and acceptance"
# state NAME WANT HELPER ARGS...: the helper succeeds and the printer then
# reads back "STATE REASONS ACCEPTING". With --wire first, that is read by a
# hand-made IPP/1.0 Get-Printer-Attributes rather than by ipptool.
state() {
  local read=peer_ipp_attrs name want rc
  if [ "$1" = --wire ]; then read=probe_attrs; shift; fi
  name=$1 want=$2
  shift 2
  "$@" >"$work/helper.out" 2>&1
  rc=$?
  check "$name" "rc=0 $want" "rc=$rc $($read "$work/ipp" "$IPP")$(sed 's/^/ /' "$work/helper.out")"
}
probe_attrs() { probe attrs --port "$2"; }
check "idle and accepting at start" "3 none true" "$(probe attrs --port "$IPP")"
state "stopped, media-empty-error" "5 media-empty-error true" \
  peer_ipp_state "$work/ipp" "$IPP" 5 media-empty-error
state --wire "stopped with two reasons" "5 media-jam-error,door-open-error true" \
  peer_ipp_state "$work/ipp" "$IPP" 5 media-jam-error,door-open-error
state --wire "processing, toner-low-report" "4 toner-low-report true" \
  peer_ipp_state "$work/ipp" "$IPP" 4 toner-low-report
got=$(probe print --port "$IPP" --doc "$work/doc")
check "a job sent while processing is taken" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document "sent while processing" "$work/ipp" "$got"
check "newest document skips the job that keeps the printer busy" \
  "$(peer_ipp_document "$work/ipp" "$(sed -n 's/.* job=\([0-9]*\) .*/\1/p' <<<"$got")")" "$(peer_ipp_document "$work/ipp")"
state "idle again, no reasons" "3 none true" peer_ipp_state "$work/ipp" "$IPP" 3 none
state --wire "not accepting" "3 none false" peer_ipp_accepting "$work/ipp" "$IPP" no
got=$(probe print --port "$IPP" --doc "$work/doc")
check "Print-Job refused with not-accepting-jobs" "http=200 version=1.0 ipp=0x0506 job=-" "${got% www-*}"
state "accepting again" "3 none true" peer_ipp_accepting "$work/ipp" "$IPP" yes
peer_ipp_state "$work/ipp" "$IPP" 4 none >/dev/null 2>&1
state "stopped straight from processing" "5 none true" peer_ipp_state "$work/ipp" "$IPP" 5 none
peer_ipp_state "$work/ipp" "$IPP" 3 none
peer_ipp_state "$work/ipp" "$IPP" 6 none >/dev/null 2>&1
check "a state cupsd refuses fails the helper" 1 $?
peer_ipp_state "$work/ipp" "$IPP" 3 none

section "cupsd with Basic auth"
peer_ipp "$work/auth" "$AUTH" --auth "$CREDS" || { echo "FAIL cupsd with auth did not start"; exit 1; }
got=$(probe print --port "$AUTH" --doc "$work/doc")
check "no credentials: 401 asking for Basic" 'http=401 version=- ipp=- job=- www-authenticate=Basic realm="CUPS", Local' "$got"
got=$(probe print --port "$AUTH" --auth "${CREDS%1}2" --doc "$work/doc")
check "wrong password: 401" "http=401" "${got%% *}"
got=$(probe print --port "$AUTH" --auth "nobody:${CREDS#*:}" --doc "$work/doc")
check "wrong user: 401" "http=401" "${got%% *}"
check "no job queued without the right credentials" "" "$(find "$work/auth/spool" -name 'd*')"
got=$(probe print --port "$AUTH" --auth "$CREDS" --chunked --doc "$work/doc")
check "right credentials: accepted" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document "with auth" "$work/auth" "$got"
check "status needs no credentials" "3 none true" "$(probe attrs --port "$AUTH")"
peer_ipp_state "$work/auth" "$AUTH" 4 none
check "processing on the auth printer" "4 none true" "$(probe attrs --port "$AUTH")"
peer_ipp_state "$work/auth" "$AUTH" 3 none
check "the private PAM files are cupsd's alone" "" "$(findmnt -n /etc/pam.d; grep -l pam_exec /etc/pam.d/cups)"

section "tinyproxy"
peer_proxy "$work/proxy" "$PROXY" || { echo "FAIL tinyproxy did not start"; exit 1; }
got=$(probe print --port "$IPP" --via "$PROXY" --doc "$work/doc")
check "absolute-form counted Print-Job through the proxy" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document "through the proxy, counted" "$work/ipp" "$got"
got=$(probe print --port "$IPP" --via "$PROXY" --chunked --doc "$work/doc")
check "absolute-form chunked Print-Job through the proxy" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document "through the proxy, chunked" "$work/ipp" "$got"
got=$(probe print --port "$AUTH" --via "$PROXY" --chunked --doc "$work/doc")
check "401 comes back through the proxy" 'http=401 version=- ipp=- job=- www-authenticate=Basic realm="CUPS", Local' "$got"
got=$(probe print --port "$AUTH" --via "$PROXY" --chunked --auth "$CREDS" --doc "$work/doc")
check "Authorization passes through the proxy" "http=200 version=1.0 ipp=0x0000" "${got% job=*}"
same_document "through the proxy, with auth" "$work/auth" "$got"
check "the proxy's log names each request" \
  "$(printf 'POST http://127.0.0.1:%s/printers/q HTTP/1.1\n' "$IPP" "$IPP" "$AUTH" "$AUTH")" \
  "$(peer_proxy_requests "$work/proxy")"

section "silent peer"
peer_silent "$work/silent" "$SILENT" || { echo "FAIL silent peer did not start"; exit 1; }
got=$(probe silent --port "$SILENT" --wait 1.5)
check "two connections taken, nothing said" "silent for 1.5 s on 2 connections" "${got%,*}"
sent=$(sed -n 's/.*, \([0-9]*\) bytes sent on each$/\1/p' <<<"$got")
for _ in $(seq 1 20); do
  [ "$(grep -c "^conn [12] raw bytes ${sent:-x}$" "$work/silent/fault.log")" = 2 ] && break
  sleep 0.05
done
check "the second connection was taken while the first was open" 1 \
  "$(awk '/^conn 2 from port/ { print 1; exit } /^conn 1 (raw bytes|closed)/ { print 0; exit }' "$work/silent/fault.log")"
check "both requests were read whole" "2" "$(grep -c "^conn [12] raw bytes ${sent:-x}$" "$work/silent/fault.log")"

start=$(date +%s%N)
peer_stop_all
check "everything stopped" "" "$(ss -Hltn "( sport = :$IPP or sport = :$AUTH or sport = :$PROXY or sport = :$SILENT )")"
echo "     stopped in $(( ($(date +%s%N) - start) / 1000000 )) ms"
section end
echo "peers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
