#!/bin/bash
# IPP printing end to end through vexaspool against cupsd raw queues started
# here: counted and chunked bodies, a proxy, Basic authentication, printer
# states reported to the spooler, a printer that refuses jobs for a while
# and one that never answers.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
chmod 755 "$work"
trap 'peer_stop_all; rm -rf "$work"' EXIT
head -c 1 /dev/urandom >"$work/one"
head -c $((4 * 1024 * 1024)) /dev/urandom >"$work/big"

received() { cmp -s "$1" "$(peer_ipp_document "$2")"; }

# The stored form of a password: a 16-bit count, then each byte less 0x1D.
stored_password() {
  local text=$1 i bytes
  bytes=$(printf '%02x,00' ${#text})
  for ((i = 0; i < ${#text}; i++)); do
    bytes+=$(printf ',%02x' $((($(printf '%d' "'${text:i:1}") - 0x1D) & 0xFF)))
  done
  echo "hex:$bytes"
}

URL=ipp://127.0.0.1:8631/printers/q
AUTH_URL=ipp://127.0.0.1:8632/printers/q
need vexa_install
vexa_reset_ports
{
  port_key IppCounted PrintMode=1 URL=$URL Language=en-us
  port_key IppChunk4k PrintMode=1 URL=$URL Language=en-us Chunked=1 MaxChunk=4096
  port_key IppChunk16k PrintMode=1 URL=$URL Language=en-us Chunked=1 MaxChunk=16384
  for chunk in 4096 16384 65536; do
    port_key IppWire$chunk PrintMode=1 URL=ipp://127.0.0.1:8634/p Language=en-us Chunked=1 \
      MaxChunk=$chunk
  done
  port_key IppProxy PrintMode=1 URL=$URL Language=en-us Chunked=1 UseProxy=1 \
    ProxyName=127.0.0.1 ProxyNum=8888
  port_key IppAuth PrintMode=1 URL=$AUTH_URL Language=en-us Base64=1 UserName=alice
  echo "\"PassWord\"=$(stored_password secret)"
  port_key IppWrongAuth PrintMode=1 URL=$AUTH_URL Language=en-us Base64=1 UserName=alice
  echo "\"PassWord\"=$(stored_password guess)"
  port_key IppNoAuth PrintMode=1 URL=$AUTH_URL Language=en-us
  # Waiting for an answer is bounded by CmdTmout, not by the far longer DatTmout.
  port_key IppSilent PrintMode=1 URL=ipp://127.0.0.1:8633/printers/q Language=en-us \
    CmdTmout=5000 DatTmout=600000
} | reg_import

need peer_ipp "$work/cups" 8631

# --- counted and chunked bodies arrive byte for byte ------------------------
for port in IppCounted IppChunk4k IppChunk16k; do
  for file in one big; do
    print_job $port "$work/$file"
    printed "$(stat -c %s "$work/$file")" && received "$work/$file" "$work/cups" ||
      fail "$port, $file: $out"
  done
done

# --- chunk sizes on the wire ------------------------------------------------
# Each write is cut into chunks of at most MaxChunk, whether the chunks leave
# one send each or several in one: four writes of 4096 fill the 16384-byte
# piece exactly, a chunk may be larger than two pieces, and the job's last
# chunks go out at its end.
# chunks SIZE WRITE MAXCHUNK: the size lines of the job's chunks, then 0.
chunks() {
  local left=$1 write n
  while [ "$left" -gt 0 ]; do
    write=$((left < $2 ? left : $2))
    left=$((left - write))
    while [ "$write" -gt 0 ]; do
      n=$((write < $3 ? write : $3))
      printf '%x\n' $n
      write=$((write - n))
    done
  done
  echo 0
}
need peer_fault "$work/wire" 8634 --mode ipp
head -c 100001 /dev/urandom >"$work/odd"
for row in "4096 10000" "16384 4096" "65536 100000"; do
  read -r chunk write <<<"$row"
  print_job IppWire$chunk "$work/odd" --write-size $write
  job=$(sed -n 's/^conn \([0-9]*\) operation 2$/\1/p' "$work/wire/fault.log" | tail -n 1)
  printed 100001 && tail -c 100001 "$work/wire/conn-$job.data" | cmp -s - "$work/odd" &&
    [ "$(tail -n +2 "$work/wire/conn-$job.chunks")" = "$(chunks 100001 $write $chunk)" ] ||
    fail "chunks of MaxChunk $chunk, writes of $write: $out
$(tail -n 3 "$work/wire/fault.log")"
done

# --- through an HTTP proxy: the request line carries the whole URL -----------
need peer_proxy "$work/proxy" 8888
print_job IppProxy "$work/big"
printed $((4 * 1024 * 1024)) && received "$work/big" "$work/cups" || fail "proxy: $out"
requests=$(peer_proxy_requests "$work/proxy")
grep -q "^POST http://127.0.0.1:8631/printers/q" <<<"$requests" ||
  fail "no absolute-form request through the proxy: $requests"

# --- a stopped printer that is out of paper still gets the job ---------------
# The job stays open (paused by the user) while the printer is fixed: the
# poller, not the next write, tells the spooler that PAPER_OUT (0x10) is over.
head -c $((1024 * 1024)) /dev/urandom >"$work/mid"
need peer_ipp_state "$work/cups" 8631 5 media-empty-error
spool_job IppChunk16k "$work/mid" --write-size 16384 --pause-after-ms 500 --resume-after-ms 45000 \
  >"$work/paper.out" &
job=$!
sleep 8
need peer_ipp_state "$work/cups" 8631 3 none
sleep 32
expect "what the spooler saw while the job was paused" "printer status 0x00000010: paper out
printer status 0x00000000: ready" "$(grep '^printer status' "$work/paper.out")"
wait $job
out=$(cat "$work/paper.out")
printed $((1024 * 1024)) && received "$work/mid" "$work/cups" || fail "paper out: $out"

# --- a printer not accepting jobs: each try waits 15 s, no question ----------
need peer_ipp_accepting "$work/cups" 8631 no
(sleep 5 && peer_ipp_accepting "$work/cups" 8631 yes >/dev/null) &
accept=$!
start=$SECONDS
print_job IppCounted "$work/one"
wait $accept
printed 1 && [ $((SECONDS - start)) -ge 14 ] && ! grep -qE '^(box|prompt)' <<<"$out" ||
  fail "not accepting: $((SECONDS - start))s: $out"

# --- Basic authentication ---------------------------------------------------
need peer_ipp "$work/auth" 8632 --auth alice:secret
# Its PAM files are mounted for cupsd alone; over the host's they would lock
# everyone out.
! findmnt -n /etc/pam.d >/dev/null || fail "the test's PAM files are mounted over the host's"
print_job IppAuth "$work/big"
printed $((4 * 1024 * 1024)) && received "$work/big" "$work/auth" || fail "right password: $out"
# A wrong password is refused with the answer to the job itself.
print_job IppWrongAuth "$work/one"
grep -q '^box: .*(IPP status code 0402)' <<<"$out" || fail "wrong password: $out"
# A printer that wants a password even to say how it is: the password
# prompt comes up before the job, and the job prints with what was typed.
peer_stop_all
need peer_ipp "$work/auth" 8632 --auth-all alice:secret
print_job IppNoAuth "$work/big" --credentials alice:secret
printed $((4 * 1024 * 1024)) && grep -q '^prompt 394 ' <<<"$out" && received "$work/big" "$work/auth" ||
  fail "asked for a password: $out"
answer=cancel print_job IppNoAuth "$work/one"
grep -q '^prompt 394 ' <<<"$out" && grep -q '^box: ' <<<"$out" && [ $status -eq 1 ] ||
  fail "password prompt cancelled: $out"

# --- a printer that never answers: code 105, the retry prompt ----------------
need peer_silent "$work/silent" 8633
print_job IppSilent "$work/one"
[ $status -eq 1 ] && grep -q '^prompt 401 ' <<<"$out" || fail "silent printer: $out"

finish ipp
