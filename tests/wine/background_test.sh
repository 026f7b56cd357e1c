#!/bin/bash
# Several ports printing at once, as the spooler prints each printer's jobs
# on a thread of its own: background lines of one vexaspool session to
# p910nd, LPRng and cupsd, a port nobody listens on and a queue LPRng does
# not know. Every copy arrives byte for byte, every line names its command,
# and each command's boxes and prompts get that command's own answers.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
chmod 755 "$work"
trap 'peer_stop_all; rm -rf "$work"' EXIT
host=$(hostname)
host=${host:0:64}
for n in 1 2 3 4 5; do head -c $((3 * 1024 * 1024 + n)) /dev/urandom >"$work/f$n"; done
size() { stat -c %s "$1"; }

need vexa_install
vexa_reset_ports
{
  port_key ManyRaw2 PrintMode=2 HostName=127.0.0.1 PortNum=9102
  port_key ManyRaw3 PrintMode=2 HostName=127.0.0.1 PortNum=9103
  port_key ManyRaw4 PrintMode=2 HostName=127.0.0.1 PortNum=9104
  port_key ManyLpr PrintMode=0 HostName=127.0.0.1 PortName=lp NonRFCPorts=0
  port_key ManyIpp PrintMode=1 URL=ipp://127.0.0.1:8641/printers/q Language=en-us
  port_key ManyDown PrintMode=2 HostName=127.0.0.1 PortNum=9196 Reconnection=0
  port_key ManyBadQueue PrintMode=0 HostName=127.0.0.1 PortName=nosuch NonRFCPorts=0
} | reg_import
for n in 2 3 4; do need peer_raw "$work/raw$n" $n; done
need peer_lpd "$work/lpd" 515 lp
need peer_ipp "$work/cups" 8641

# The session's own answer is retry, which would keep the failing jobs
# retrying for ever, press Yes and leave the password prompts empty: lines
# 6 to 8, 12 and 13 finish right only with their own.
# Job 1 is held paused for a while, so that job 1011 (line 5) surely meets it.
session() {
  cat <<EOF
print ManyRaw2 $(winpath "$work/f1") --job 11 --pause-after-ms 0 --resume-after-ms 1500 &
print ManyRaw3 $(winpath "$work/f2") --job 12 &
print ManyLpr $(winpath "$work/f3") --job 13 &
print ManyIpp $(winpath "$work/f4") --job 14 &
print ManyDown $(winpath "$work/f5") --job 1011 --answer cancel &
print ManyDown $(winpath "$work/f5") --job 15 --answer cancel &
print ManyBadQueue $(winpath "$work/f5") --job 16 --answer cancel &
box yesno Question "yes or no" --answer no &
print ManyRaw4 $(winpath "$work/f5") --job 18 --printer "Vexa Test Printer 1" &
print ManyRaw4 $(winpath "$work/f5") &
ports &
prompt 394 "who?" --credentials ann:one &
prompt 394 "who?" --credentials bob:two &
wait
print ManyRaw4 $(winpath "$work/f5") --job 17 &
EOF
}
out=$(session | timeout 120 "$WINELOADER" "$VEXA_BIN/vexaspool.exe" --answer retry - 2>&1)
status=$?
expect "session exit status (the worst of its background commands: usage)" 2 "$status"

# --- every copy, byte for byte ---------------------------------------------
sink_ready() { [ "$(size "$1")" -ge "$(size "$2")" ]; }
for pair in raw2/raw.out:f1 raw3/raw.out:f2 raw4/raw.out:f5; do
  got=$work/${pair%%:*} sent=$work/${pair##*:}
  for _ in $(seq 1 100); do sink_ready "$got" "$sent" && break; sleep 0.05; done
  cmp -s "$sent" "$got" || fail "${pair%%/*}: the copy differs ($(size "$got") bytes)"
done
for _ in $(seq 1 100); do grep -qs '^done_time=' "$work"/lpd/spool/hf* && break; sleep 0.05; done
cmp -s "$work/f3" "$work/lpd/spool/dfA013$host" || fail "LPR: dfA013$host differs"
cmp -s "$work/f4" "$(peer_ipp_document "$work/cups")" || fail "IPP: the document differs"

# --- whose line is whose -----------------------------------------------------
# The refused print never reached the port: no box of its own, one line.
expect "line 5: refused before anything was sent" \
  "[5] error 170: job 1011 would share its spool file with job 11 of line 1 (job ids equal modulo 1000 do)" \
  "$(grep '^\[5\] ' <<<"$out" | sed 's/): .*/)/')"
for n in 1 2 3 4; do
  sent=$work/f$n
  expect "line $n: its result" "[$n] printed $(size "$sent") in MS ms
[$n] ok" "$(grep -E "^\[$n\] (printed|ok|error)" <<<"$out" | sed -E 's/ in [0-9]+ ms$/ in MS ms/')"
done
# The dead port's question comes on the job's own thread, the unknown
# queue's retry prompt on a thread the monitor starts: both are the line's.
grep -q '^\[6\] box: ' <<<"$out" && grep -q '^\[6\] error [0-9]*: the job did not print' <<<"$out" ||
  fail "line 6, a port nobody listens on, answered cancel: $out"
grep -q '^\[7\] prompt 401 ' <<<"$out" && grep -q '^\[7\] error [0-9]*: the job did not print' <<<"$out" ||
  fail "line 7, an unknown queue, answered cancel: $out"
expect "lines 8 to 13: their own answers, and what may not run in the background" \
  "[8] box: Question | yes or no
[8] pressed no
[8] ok
[9] error 170: printer Vexa Test Printer 1 is printing job 11 of line 1
[10] error 87: a print in the background needs a --job of its own
[11] error 87: only print, sleep, box and prompt run in the background; usage: see help
[12] prompt 394 who?
[12] ended 1 user \"ann\" password \"one\"
[12] ok
[13] prompt 394 who?
[13] ended 1 user \"bob\" password \"two\"
[13] ok" "$(for n in 8 9 10 11 12 13; do grep "^\[$n\] " <<<"$out"; done |
    sed -E 's/(: resource in use|; usage: print .*)$//')"
expect "wait: how each line went" \
  "waited for [1] ok, [2] ok, [3] ok, [4] ok, [5] failed, [6] failed, [7] failed, [8] ok, [9] failed, [10] refused (usage), [11] refused (usage), [12] ok, [13] ok" \
  "$(grep '^waited for .*\[1\]' <<<"$out")"
# The end of the input waits for line 15 rather than cutting it off.
expect "the end of the input" "end of input: waiting for [15]
[15] printed $(size "$work/f5") in MS ms
[15] ok
waited for [15] ok" "$(sed -n '/^end of input/,$p' <<<"$out" | sed -E 's/ in [0-9]+ ms$/ in MS ms/')"
# A background job that fails after the input ended still counts.
printf 'print ManyDown %s --job 30 --answer cancel &\n' "$(winpath "$work/f5")" |
  timeout 60 "$WINELOADER" "$VEXA_BIN/vexaspool.exe" - >/dev/null 2>&1
expect "exit status of a session whose only, background, job failed" 1 $?

# Whole lines only: each is a background line's (a box's text of several
# lines tagged on each), or the session's own; no tag inside a line.
stray=$(grep -vE '^(\[[0-9]+\] |ok$|waited for |end of input: )' <<<"$out"; grep -vE '^waited for ' <<<"$out" | grep -E '.\[[0-9]+\] ')
[ -z "$stray" ] || fail "lines that are nobody's, or two in one: $stray"

finish background
