#!/bin/bash
# Tests of bench/sinks.sh. Runs in a network namespace of its own (root), so
# that only its own connection is established on the port it looks at.
set -u
if [ -z "${SINKS_TEST_NETNS:-}" ]; then
  exec unshare -n env SINKS_TEST_NETNS=1 bash "$0" "$@"
fi
ip link set lo up
source "$(dirname "$0")/sinks.sh"

failures=0
check() { # check WHAT EXPECTED(match|differs) COMMAND...
  local what=$1 want=$2 got=differs
  shift 2
  "$@" && got=match
  [ "$got" = "$want" ] || { echo "FAIL: $what: $got, expected $want"; failures=$((failures + 1)); }
}

dir=$(mktemp -d)
holder=
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; rm -rf "$dir"' EXIT
head -c 100000 /dev/urandom >"$dir/sent"

# --- p910nd's output file -----------------------------------------------------
cp "$dir/sent" "$dir/raw.out"
check "raw: the same bytes" match sink_raw_matches "$dir/raw.out" "$dir/sent" 9101 2
printf 'x' | dd of="$dir/raw.out" bs=1 seek=54321 conv=notrunc status=none
check "raw: one byte changed" differs sink_raw_matches "$dir/raw.out" "$dir/sent" 9101 2
head -c 99999 "$dir/sent" >"$dir/raw.out"
check "raw: the tail never came" differs sink_raw_matches "$dir/raw.out" "$dir/sent" 9101 2
{ cat "$dir/sent"; printf 'x'; } >"$dir/raw.out"
check "raw: a byte too many" differs sink_raw_matches "$dir/raw.out" "$dir/sent" 9101 2

# While the sender is still connected the copy may grow: it is not final.
cp "$dir/sent" "$dir/raw.out"
python3 -c '
import socket, sys, time
server = socket.socket(); server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 9101)); server.listen(1)
client = socket.create_connection(("127.0.0.1", 9101)); peer, _ = server.accept()
print("up", flush=True)
time.sleep(600)' >"$dir/holder.out" &
holder=$!
sink_poll 200 grep -q up "$dir/holder.out"
check "raw: a connection still open" differs sink_raw_matches "$dir/raw.out" "$dir/sent" 9101 2
check "raw: another port's connection" match sink_raw_matches "$dir/raw.out" "$dir/sent" 9102 2
kill "$holder"
wait "$holder" 2>/dev/null
holder=

# --- LPRng's spool folder -----------------------------------------------------
spool=$dir/spool
lpd_job() { # lpd_job NUMBER [done]: a job as LPRng leaves it
  cp "$dir/sent" "$spool/dfA${1}host"
  printf 'number=%s\n%s' "$1" "${2:+done_time=0x6b143ec6
}" >"$spool/hfA$1"
}
mkdir -p "$spool"
lpd_job 663 done
check "lpd: the job done, the same bytes" match sink_lpd_matches "$spool" "$dir/sent" 2
printf 'x' | dd of="$spool/dfA663host" bs=1 seek=7 conv=notrunc status=none
check "lpd: one byte changed" differs sink_lpd_matches "$spool" "$dir/sent" 2
rm -f "$spool"/*
lpd_job 664
check "lpd: the job not done yet" differs sink_lpd_matches "$spool" "$dir/sent" 2
rm -f "$spool"/*
lpd_job 665 done
lpd_job 666 done
check "lpd: two jobs" differs sink_lpd_matches "$spool" "$dir/sent" 2
rm -f "$spool"/df*
check "lpd: no data file" differs sink_lpd_matches "$spool" "$dir/sent" 2

[ "$failures" -eq 0 ] && echo "sinks: all passed"
exit $((failures > 0))
