#!/bin/bash
# Printers and servers that misbehave as an attacker or a broken device
# would: each row starts one hand-written peer, prints one job through it,
# and holds the monitor to a pace, a deadline or an exact count of bytes.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
trap 'peer_stop_all; rm -rf "$work"' EXIT
# More than the loopback's socket buffers hold, so that a printer that stops
# reading stalls the sender.
size=$((16 * 1024 * 1024))
head -c $size /dev/urandom >"$work/job"

need vexa_install
vexa_reset_ports
{
  port_key IppReset PrintMode=1 URL=ipp://127.0.0.1:9140/p Language=en-us Reconnection=1
  # A command time-out far below the data time-out: a wait for an answer
  # that read the wrong one would last ten minutes.
  port_key IppContinue PrintMode=1 URL=ipp://127.0.0.1:9141/p Language=en-us \
    CmdTmout=3000 DatTmout=600000
  port_key LprLateAck PrintMode=0 HostName=127.0.0.1 PortName=lp NonRFCPorts=0 CmdTmout=3000
  port_key LprChatty PrintMode=0 HostName=127.0.0.1 PortName=lp NonRFCPorts=0
  port_key IppStall PrintMode=1 URL=ipp://127.0.0.1:9144/p Language=en-us CmdTmout=60000 \
    DatTmout=3000
  port_key IppStallChunked PrintMode=1 URL=ipp://127.0.0.1:9145/p Language=en-us CmdTmout=60000 \
    DatTmout=3000 Chunked=1 MaxChunk=16384
  # Port numbers past 65535 that name a listening port once cut to 16 bits.
  port_key RawBigPort PrintMode=2 HostName=127.0.0.1 PortNum=$((65536 + 9142))
  port_key IppBigProxy PrintMode=1 URL=ipp://127.0.0.1:9143/p Language=en-us UseProxy=1 \
    ProxyName=127.0.0.1 ProxyNum=$((65536 + 9143))
} | reg_import

# row NAME PORT PEER-PORT "PEER OPTIONS" "PRINT OPTIONS" ANSWER MAX-SECONDS CHECK
# CHECK is evaluated after the job with $out, $status, $took and $log set.
row() {
  local name=$1 port=$2 peer_port=$3 peer_options=$4 print_options=$5 max=$7 check=$8 start
  # shellcheck disable=SC2086
  need peer_fault "$work/$name" "$peer_port" $peer_options
  start=$SECONDS
  # shellcheck disable=SC2086
  answer=$6 print_job "$port" "$work/job" $print_options
  took=$((SECONDS - start))
  sleep 0.3
  log=$(cat "$work/$name/fault.log")
  [ "$took" -le "$max" ] && eval "$check" || fail "$name: ${took}s, status $status: $out
peer: $(tail -n 5 <<<"$log")"
  peer_stop_all
}
connections() { grep -c ' from port ' <<<"$log"; }

# A printer that resets every connection, with "Reconnection" on: the retries
# are paced (1 s, 2 s, 4 s, ...), not thousands a second, and the deletion
# is seen after the next wait.
row reset IppReset 9140 "--mode reset" "--delete-after-ms 8000" cancel 40 \
  '[ "$status" -ne 0 ] && [ "$(connections)" -le 8 ]'
# "100 Continue" every half second and never an answer: reading one response
# ends within the command time-out, and the retry prompt says so.
row continue IppContinue 9141 "--mode continue" "" cancel 30 \
  '[ "$status" -ne 0 ] && grep -q "^prompt 401 " <<<"$out"'
# The end-of-data acknowledgement comes after the command time-out: Retry
# waits for it again and sends no second zero byte.
row lateack LprLateAck 515 "--mode lpd --ack-delay 4" "" retry 60 \
  'printed $size && grep -q "after the end 0 bytes" <<<"$log" &&
   cmp -s "$work/job" "$work/lateack/conn-1.data"'
# Acknowledgements with more bytes behind them in the same segment.
row chatty LprChatty 515 "--mode lpd --chatty" "" cancel 30 \
  'printed $size && cmp -s "$work/job" "$work/chatty/conn-1.data"'

# An idle printer that stops reading the body for a while: the prompt is the
# stall's, not "send again from the beginning", and sending resumes where it
# stopped on the same connection.
row ippstall IppStall 9144 "--mode ipp --stall-after 65536 --stall-seconds 6" "" retry 60 \
  'printed $size && grep -q "^prompt 401 " <<<"$out" && ! grep -q "^box: " <<<"$out" &&
   job=$(sed -n "s/^conn \([0-9]*\) operation 2$/\1/p" <<<"$log") &&
   [ "$(wc -l <<<"$job")" -eq 1 ] && tail -c $size "$work/ippstall/conn-$job.data" | cmp -s - "$work/job"'
# The same with a chunked body whose writes are gathered into larger sends:
# the stalled send resumes inside its chunks, none sent twice or cut short.
row ippstallchunked IppStallChunked 9145 "--mode ipp --stall-after 65536 --stall-seconds 6" \
  "--write-size 4096" retry 60 \
  'printed $size && grep -q "^prompt 401 " <<<"$out" && ! grep -q "^box: " <<<"$out" &&
   job=$(sed -n "s/^conn \([0-9]*\) operation 2$/\1/p" <<<"$log") && [ "$(wc -l <<<"$job")" -eq 1 ] &&
   [ "$(tail -n +2 "$work/ippstallchunked/conn-$job.chunks" | uniq -c | tr -s " ")" = " 4096 1000
 1 0" ] && tail -c $size "$work/ippstallchunked/conn-$job.data" | cmp -s - "$work/job"'

# Settings that do not fit a TCP port fail the job; nothing reaches the port
# they would name cut to 16 bits.
row bigport RawBigPort 9142 "--mode raw" "" cancel 60 \
  '[ "$status" -ne 0 ] && [ "$(connections)" -eq 0 ]'
row bigproxy IppBigProxy 9143 "--mode raw" "" cancel 60 \
  '[ "$status" -ne 0 ] && [ "$(connections)" -eq 0 ] && grep -q "^box: " <<<"$out"'

finish hostile
