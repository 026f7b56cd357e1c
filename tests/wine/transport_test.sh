#!/bin/bash
# Raw and LPR printing end to end through vexaspool, against p910nd and an
# LPRng that accepts only source ports 721-731, and against hand-written
# peers for what real servers do not do: streamed LPR data files, stalls,
# resets mid-job.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
trap 'peer_stop_all; rm -rf "$work"' EXIT
host=$(hostname)
host=${host:0:64}

head -c 1 /dev/urandom >"$work/one"
head -c $((8 * 1024 * 1024)) /dev/urandom >"$work/big"
head -c $((24 * 1024 * 1024)) /dev/urandom >"$work/huge"

need vexa_install
vexa_reset_ports
{
  port_key RawP PrintMode=2 HostName=127.0.0.1 PortNum=9101
  port_key LprP PrintMode=0 HostName=127.0.0.1 PortName=lp NonRFCPorts=0
  port_key LprBadQueue PrintMode=0 HostName=127.0.0.1 PortName=nosuch NonRFCPorts=0
  port_key RawDown PrintMode=2 HostName=127.0.0.1 PortNum=9109 Reconnection=1
  port_key RawDownAsk PrintMode=2 HostName=127.0.0.1 PortNum=9108 Reconnection=0
  port_key RawStall PrintMode=2 HostName=127.0.0.1 PortNum=9110 DatTmout=5000
  port_key RawReset PrintMode=2 HostName=127.0.0.1 PortNum=9111
  port_key RawGone PrintMode=2 HostName=127.0.0.1 PortNum=9112
  port_key LprStream PrintMode=0 HostName=127.0.0.1 PortName=lp NonByteCount=1 NonRFCPorts=0
} | reg_import

# --- Raw to p910nd ---------------------------------------------------------
need peer_raw "$work/p910nd" 1
print_job RawP "$work/one"
printed 1 && cmp -s "$work/one" "$work/p910nd/raw.out" || fail "Raw 1-byte job: $out"
: >"$work/p910nd/raw.out"
print_job RawP "$work/big" --write-size 65536
printed $((8 * 1024 * 1024)) && cmp -s "$work/big" "$work/p910nd/raw.out" ||
  fail "Raw 8 MB job: $out"

# --- LPR to LPRng, reserved source ports only -------------------------------
need peer_lpd "$work/lpd" 515 lp
print_job LprP "$work/one" --job 7
printed 1 || fail "LPR 1-byte job: $out"
sleep 0.3
cmp -s "$work/one" "$work/lpd/spool/dfA007$host" || fail "LPRng's dfA007$host differs: $(ls "$work/lpd/spool")"
print_job LprP "$work/big" --job 12345
printed $((8 * 1024 * 1024)) || fail "LPR 8 MB job: $out"
sleep 0.3
cmp -s "$work/big" "$work/lpd/spool/dfA345$host" || fail "LPRng's dfA345$host differs"

# An unknown queue: refused at the first command, the retry prompt comes up.
answer=cancel print_job LprBadQueue "$work/one"
[ $status -eq 1 ] && grep -q '^prompt 401 ' <<<"$out" && grep -q '^vexaspool: the job did not print' <<<"$out" ||
  fail "refused queue: $out"
peer_stop_all

# --- nobody listening --------------------------------------------------------
# Reconnection on: retried without a word until the printer is there.
(print_job RawDown "$work/big"; printf '%s\n' "$status" "$out" >"$work/down.out") &
job=$!
sleep 4
need peer_raw "$work/late" 9
wait $job
status=$(head -1 "$work/down.out")
out=$(tail -n +2 "$work/down.out")
printed $((8 * 1024 * 1024)) && ! grep -qE '^(box|prompt)' <<<"$out" ||
  fail "Reconnection on: $out"
cmp -s "$work/big" "$work/late/raw.out" || fail "the late printer's copy differs"
# Reconnection off: asked whether to send again from the top.
answer=cancel print_job RawDownAsk "$work/one"
[ $status -eq 1 ] && grep -q '^box: ' <<<"$out" && ! grep -q '^prompt' <<<"$out" ||
  fail "Reconnection off: $out"

# --- a printer that stops reading for a while, three times ---------------------
# All three stalls fall inside one 8 MB WritePort buffer: each time sending
# resumes at the first byte not yet taken, on the same connection.
need peer_fault "$work/stall" 9110 --mode raw --stall-after $((1024 * 1024)) --stall-seconds 8 \
  --stall-count 3
answer=retry print_job RawStall "$work/huge" --write-size $((8 * 1024 * 1024))
printed $((24 * 1024 * 1024)) && grep -q '^prompt 401 ' <<<"$out" || fail "stall: $out"
cmp -s "$work/huge" "$work/stall/conn-1.data" || fail "after the stall the printer's copy differs"
[ ! -e "$work/stall/conn-2.data" ] || fail "the stalled job was sent on a second connection"

# --- a printer that resets the connection mid-job ----------------------------
need peer_fault "$work/reset" 9111 --mode raw --reset-after $((2 * 1024 * 1024))
answer=retry print_job RawReset "$work/big"
printed $((8 * 1024 * 1024)) || fail "reset: $out"
cmp -s "$work/big" "$work/reset/conn-2.data" || fail "the resent job differs"

# --- the job is deleted while a send is blocked ------------------------------
need peer_fault "$work/gone" 9112 --mode raw --stall-after 65536 --stall-seconds 600
start=$SECONDS
print_job RawGone "$work/huge" --delete-after-ms 2000
took=$((SECONDS - start))
# The spooler stops handing out data; the blocked send notices the deletion
# at its next look, within a wait of the job watcher and one of select.
sent=$(sed -n 's/^cancelled: the job was deleted in the spooler after \([0-9]*\) bytes$/\1/p' <<<"$out")
[ $took -le 40 ] && [ -n "$sent" ] && [ "$sent" -lt $((24 * 1024 * 1024)) ] ||
  fail "deleted job: ${took}s: $out"
peer_stop_all

# --- streamed LPR data file (NonByteCount), and an LPR reset mid-job ---------
need peer_fault "$work/stream" 515 --mode lpd
print_job LprStream "$work/big" --job 9
printed $((8 * 1024 * 1024)) || fail "streamed LPR job: $out"
sleep 0.3
grep -q "subcommand b'\\\\x03125899906843000 dfA009$host\\\\n'" "$work/stream/fault.log" ||
  fail "no streamed-length subcommand: $(cat "$work/stream/fault.log")"
cmp -s "$work/big" "$work/stream/conn-1.data" || fail "streamed data differs"
peer_stop_all

need peer_fault "$work/lprreset" 515 --mode lpd --reset-after 100000
answer=retry print_job LprP "$work/big" --job 10
printed $((8 * 1024 * 1024)) || fail "LPR reset: $out"
cmp -s "$work/big" "$work/lprreset/conn-2.data" || fail "the resent LPR job differs"
grep -q "conn 2 job complete" "$work/lprreset/fault.log" || fail "no complete second LPR job"

finish transport
