#!/bin/bash
# The monitor's Raw, LPR and IPP ports against CUPS' own socket, lpd and ipp
# backends and against socat, all into the same p910nd, LPRng and cupsd raw
# queue, with every copy compared byte for byte. Run as root, through `./vexa bench` (it installs
# and builds first). Results: build/bench/results.txt.
#   BENCH_RUNS_BIG=3 BENCH_RUNS_SMALL=5   runs per path of the 256 MB and 16 MB files
#   BENCH_BIG_MB=256 BENCH_SMALL_MB=16    their sizes (smaller for a quick look)
#   BENCH_SWEEP=0                         skip the where-the-time-goes measurements
#   BENCH_WINEPREFIX=DIR                  Wine prefix (build/bench/wineprefix)
#   BENCH_BEFORE=DIR                      an older build's bin folder: its monitor runs
#                                         beside this one's ("before" rows, bench/calls.sh)
#   BENCH_MANY=0, BENCH_MANY_RUNS, BENCH_MANY_MB   many ports at once (bench/many.sh)
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(dirname "$BENCH")
OUT=$ROOT/build/bench
RUNS_BIG=${BENCH_RUNS_BIG:-3}
RUNS_SMALL=${BENCH_RUNS_SMALL:-5}
BIG_MB=${BENCH_BIG_MB:-256}
SMALL_MB=${BENCH_SMALL_MB:-16}
SWEEP=${BENCH_SWEEP:-1}
CUPS_BACKENDS=$OUT/cups/usr/lib/cups/backend-available
# The ipp backend comes with cupsd (cups-daemon), which the IPP peer needs anyway.
CUPS_IPP=/usr/lib/cups/backend/ipp
IPP_PORT=8631

die() {
  echo "bench: $*" >&2
  exit 1
}

# Everything that needs the real network or the build happens before the
# bench moves into its own network namespace.
prepare() {
  [ "$(id -u)" = 0 ] || die "run as root (LPRng on port 515, reserved source ports)"
  [ -f "$ROOT/build/win64/bin/vexaspool.exe" ] || die "build win64 first (./vexa bench does)"
  [ -x /usr/sbin/cupsd ] && [ -x "$CUPS_IPP" ] || die "no cupsd or $CUPS_IPP (package cups-daemon)"
  mkdir -p "$OUT/bin"
  local file
  for file in Vexamon.dll vexaspool.exe winspool.drv mpr.dll NIMMES.INI NIMDLG.INI SETUP.EXE README.TXT; do
    cp "$ROOT/build/win64/bin/$file" "$OUT/bin/" || die "no $file in build/win64/bin"
  done
  x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Werror -static \
    -o "$OUT/bin/probe.exe" "$BENCH/probe.cpp" -lwsock32 || die "probe.exe did not build"
  calls_prepare_before
  if [ ! -x "$CUPS_BACKENDS/socket" ] || [ ! -x "$CUPS_BACKENDS/lpd" ]; then
    # The backends without the cups package, which would pull in a whole
    # print system (and conflicts with lprng's clients).
    rm -rf "$OUT/cups" "$OUT"/cups_*.deb
    (cd "$OUT" && apt-get download -q cups >/dev/null 2>&1) || die "apt-get download cups failed"
    dpkg-deb -x "$OUT"/cups_*.deb "$OUT/cups" || die "cannot unpack the cups package"
  fi
}

source "$BENCH/calls.sh"

if [ -z "${BENCH_NETNS:-}" ]; then
  mkdir -p "$OUT"
  # Held through the exec below, until the bench ends: one bench at a time
  # per build, as they share bin/, the prefix and the ports.
  exec 8>"$OUT/bench.lock"
  flock -n 8 || die "another bench is running"
  prepare
  # A loopback of its own: the peers' fixed ports (515, 9101) cannot clash
  # with tests running beside the bench, and no packet can leave the machine.
  exec unshare -n env BENCH_NETNS=1 bash "${BASH_SOURCE[0]}" "$@"
fi

ip link set lo up || die "cannot bring up the loopback of the bench's network namespace"
# An LPD client binds source ports 721-731, and each closed connection would
# hold its port in TIME-WAIT for a minute: the jobs after it would be timed
# through the monitor's 100 ms pause per busy port (or, with all eleven
# busy, its 15 s resend wait). This namespace keeps no TIME-WAIT state.
sysctl -qw net.ipv4.tcp_max_tw_buckets=0 || die "cannot turn off TIME-WAIT in the bench's namespace"

# The copied bin/ gives the monitor an InstallPath, and so a spool folder,
# that no test run shares.
export VEXA_BUILD=$OUT
export WINEPREFIX=${BENCH_WINEPREFIX:-$OUT/wineprefix}
unset DISPLAY VEXA_WINE_XVFB
source "$ROOT/tests/wine/lib.sh"
source "$ROOT/tests/peers/peers.sh"
source "$BENCH/sinks.sh"
source "$BENCH/many.sh"

work=$(mktemp -d)
chmod 755 "$work" # cupsd (user lp) reads its configuration below it
records=$work/records.tsv
notes=$work/notes.txt
cleanup() {
  [ -n "${strace_pid:-}" ] && kill -INT "$strace_pid" 2>/dev/null
  peer_stop_all
  vexa_wine_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { printf '== %s\n' "$*" >&2; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
size_of() { stat -c %s "$1"; }

# Wine's sockets live in the wineserver: it must run in this namespace, or
# the jobs would go to whatever listens on the host's loopback.
server_pid() { cat "$WINEPREFIX/.vexa-wineserver.pid" 2>/dev/null; }
start_wine() {
  vexa_wine_stop # a server of this prefix left running outside
  vexa_wine_setup || die "Wine did not start"
  local pid
  pid=$(server_pid) || die "the wineserver of $WINEPREFIX was not started by the bench"
  [ "$(readlink "/proc/$pid/ns/net")" = "$(readlink /proc/self/ns/net)" ] ||
    die "the wineserver of $WINEPREFIX runs outside the bench's network namespace"
}

# --- the sinks ------------------------------------------------------------------

RAW_OUT=$work/p910nd/raw.out
LPD_SPOOL=$work/lpd/spool
IPP_DIR=$work/cups

clear_sinks() {
  : >"$RAW_OUT"
  rm -f "$LPD_SPOOL"/[cdh]f*
}

# verify KIND FILE: whether the sink of KIND holds exactly FILE.
verify() {
  case $1 in
    raw | sink) sink_raw_matches "$RAW_OUT" "$2" 9101 ;;
    lpr) sink_lpd_matches "$LPD_SPOOL" "$2" ;;
    ipp | ippc) ipp_matches "$2" ;;
  esac
}

# cupsd has the whole document before it answers Send-Document or Print-Job;
# the newest job's copy is checked, then deleted (it keeps every document,
# 256 MB each).
ipp_final() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -ge "$2" ]; }
ipp_matches() {
  local doc status
  doc=$(peer_ipp_document "$IPP_DIR") || return 1
  sink_poll "$SINK_TRIES" ipp_final "$doc" "$(size_of "$1")" && cmp -s "$1" "$doc"
  status=$?
  rm -f "$IPP_DIR"/spool/d*-001
  return $status
}

# --- runs -------------------------------------------------------------------------

failed=0
rm -f "$OUT"/failed-*.log "$OUT/results.txt"
printf '%s\n' "group label bytes kind path variant run ok wall user sys wine_cpu cs rss_kb port_ms pieces" |
  tr ' ' '\t' >"$records"

# record GROUP LABEL BYTES KIND PATH VARIANT RUN OK PORT_MS PIECES: one line
# from the costs that benchlib measure left in $work/cost.
record() {
  local -A cost=()
  local key value
  [ -f "$work/cost" ] && while IFS== read -r key value; do cost[$key]=$value; done <"$work/cost"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" \
    "$5" "$6" "$7" "$8" "${cost[wall]:-0}" "${cost[user]:-0}" "${cost[sys]:-0}" \
    "${cost[wine_cpu]:-0}" "${cost[cs]:--}" "${cost[rss_kb]:-0}" "$9" "${10}" >>"$records"
  if [ "$8" != 1 ]; then
    failed=$((failed + 1))
    cp "$work/last.log" "$OUT/failed-$failed.log"
    say "FAILED: $2 $4 $5 $6 run $7 (its output: build/bench/failed-$failed.log)"
  fi
}

# measure [--wine-prefix DIR] -- COMMAND...: its costs into $work/cost, its
# output (Windows line ends made Unix) into $work/last.log.
measure() {
  local status
  rm -f "$work/cost"
  python3 "$BENCH/benchlib.py" measure --out "$work/cost" "$@" </dev/null >"$work/last.log" 2>&1
  status=$?
  sed -i 's/\r$//' "$work/last.log"
  return $status
}

send_buffer=
set_send_buffer() {
  [ "$send_buffer" = "$1" ] && return
  printf '\n[%s]\n"SendBufSize"=dword:%08x\n' "$MONITOR_KEY" "$1" | reg_import
  send_buffer=$1
}

job_id=900
# monitor GROUP LABEL FILE KIND RUN WRITE_SIZE SEND_BUFFER [MAXCHUNK [before]]:
# MAXCHUNK 16384 (the default) or 4096 for chunked IPP; "before" runs the
# older build's monitor.
monitor() {
  local group=$1 label=$2 file=$3 kind=$4 run=$5 write=$6 buffer=$7 chunk=${8:-16384}
  local path=${9:-monitor} bin=$VEXA_BIN port ok=0 ms pieces size
  size=$(size_of "$file")
  case $kind in
    raw) port=BenchRaw ;;
    lpr) port=BenchLpr ;;
    ipp) port=BenchIpp chunk=- ;;
    ippc) port=BenchIppChunked ;;
  esac
  [ "$kind" = ippc ] && [ "$chunk" = 4096 ] && port=BenchIppChunked4k
  [ "$kind" = ippc ] || chunk=-
  [ "$path" = before ] && bin=$BEFORE_BIN
  set_send_buffer "$buffer"
  job_id=$((job_id % 999 + 1))
  clear_sinks
  vexa_wine_setup
  measure --wine-prefix "$WINEPREFIX" -- timeout -s KILL 600 "$WINELOADER" \
    "$bin/vexaspool.exe" --answer cancel print "$port" "$(winpath "$file")" \
    --job "$job_id" --write-size "$write" &&
    grep -qx "printed $size in [0-9]* ms" "$work/last.log" && verify "$kind" "$file" && ok=1
  ms=$(sed -n 's/^printed [0-9]* in \([0-9]*\) ms$/\1/p' "$work/last.log")
  # Raw sends each spooler buffer at once, in SendBufSize pieces; LPR
  # sends the spool file in SendBufSize pieces at the end.
  # IPP: not counted here.
  case $kind in
    raw) pieces=$(((size + write - 1) / write * ((write + buffer - 1) / buffer))) ;;
    lpr) pieces=$(((size + buffer - 1) / buffer)) ;;
    *) pieces=- ;;
  esac
  record "$group" "$label" "$size" "$kind" "$path" "$(calls_variant "$write" "$buffer" "$chunk")" \
    "$run" "$ok" "${ms:--}" "$pieces"
}

# cups LABEL FILE KIND RUN; KIND ippc: the ipp backend (IPP/2.0 Create-Job
# and Send-Document, chunked).
cups() {
  local label=$1 file=$2 kind=$3 run=$4 ok=0 backend uri program
  case $kind in
    raw) backend=socket uri=socket://127.0.0.1:9101 ;;
    lpr) backend=lpd uri='lpd://127.0.0.1/lp?reserve=rfc1179' ;;
    ippc) backend=ipp uri=ipp://127.0.0.1:$IPP_PORT/printers/q ;;
  esac
  program=$CUPS_BACKENDS/$backend
  [ "$backend" = ipp ] && program=$CUPS_IPP
  clear_sinks
  # Outside cupsd the backends ignore SIGTERM and hang on stdin.
  DEVICE_URI=$uri measure -- timeout -s KILL 600 "$program" 1 bench bench 1 "" \
    "$file" && verify "$kind" "$file" && ok=1
  record main "$label" "$(size_of "$file")" "$kind" cups "CUPS $backend" "$run" "$ok" - -
}

# socat LABEL FILE RUN: big buffers, so it shows what loopback and p910nd allow.
socat_run() {
  local label=$1 file=$2 run=$3 ok=0
  clear_sinks
  measure -- timeout -s KILL 600 socat -u -b 262144 "OPEN:$file" TCP:127.0.0.1:9101 &&
    verify sink "$file" && ok=1
  record main "$label" "$(size_of "$file")" sink socat "socat -b 262144" "$run" "$ok" - -
}

# Monitor, probe, CUPS and socat take turns, so a slow spell of the
# machine hits them all alike. The first configuration of each kind is
# the one compared with CUPS, whose run follows it.
rounds() {
  local label=$1 file=$2 runs=$3 run config kind write buffer chunk seen group
  for run in $(seq 1 "$runs"); do
    say "$label round $run of $runs"
    seen=" "
    for config in "${CALLS_CONFIGS[@]}"; do
      read -r kind write buffer chunk <<<"$config"
      group=calls
      [[ $seen == *" $kind "* ]] || group=main
      calls_config "$group" "$label" "$file" "$run" "$kind" "$write" "$buffer" "$chunk"
      [ "$group" = main ] || continue
      seen+="$kind "
      case $kind in
        raw) cups "$label" "$file" raw "$run"; socat_run "$label" "$file" "$run" ;;
        lpr) cups "$label" "$file" lpr "$run" ;;
        ipp) cups "$label" "$file" ippc "$run" ;;
      esac
    done
  done
}

# --- where the time goes -----------------------------------------------------------

traced() { ! grep -q '^TracerPid:[[:space:]]*0$' "/proc/$1/status"; }

# probe VARIANT PIECES ARGS...: Wine alone, no monitor.
probe() {
  local variant=$1 pieces=$2 ok=0 ms size
  shift 2
  size=$(size_of "$work/probe64")
  clear_sinks
  vexa_wine_setup
  measure --wine-prefix "$WINEPREFIX" -- timeout -s KILL 600 "$WINELOADER" "$VEXA_BIN/probe.exe" \
    "$@" && grep -q "^$size bytes in " "$work/last.log" && ok=1
  [ "$1" = send ] && [ $ok = 1 ] && { verify raw "$work/probe64" || ok=0; }
  ms=$(sed -n 's/^[0-9]* bytes in \([0-9.]*\) ms$/\1/p' "$work/last.log")
  record probe "64 MB" "$size" wine probe "$variant" 1 "$ok" "${ms:--}" "$pieces"
}

sweep() {
  local size piece file=$work/big data label="$BIG_MB MB"
  data=$(winpath "$work/probe64")
  say "monitor with other write sizes and SendBufSize values"
  monitor sweep "$label" "$file" raw 1 65536 16384
  monitor sweep "$label" "$file" raw 1 65536 65536
  monitor sweep "$label" "$file" raw 1 262144 262144
  monitor sweep "$label" "$file" lpr 1 4096 65536
  monitor sweep "$label" "$file" lpr 1 4096 262144
  monitor sweep "$label" "$file" lpr 1 262144 262144
  set_send_buffer 16384

  say "Wine alone: sends and file copies by piece size"
  size=$(size_of "$work/probe64")
  for piece in 4096 16384 65536 262144; do
    probe "send $piece, select before each" $((size / piece)) send 127.0.0.1 9101 "$data" "$piece" select
    probe "send $piece, select after EWOULDBLOCK" $((size / piece)) send 127.0.0.1 9101 "$data" "$piece" direct
  done
  probe "ReadFile 4096" $((size / 4096)) read "$data" 4096
  probe "ReadFile+WriteFile 4096 (spooling)" $((size / 4096)) copy "$data" "$(winpath "$work/spool.tmp")" 4096
  probe "ReadFile+WriteFile 16384 (replay)" $((size / 16384)) copy "$data" "$(winpath "$work/spool.tmp")" 16384

  command -v strace >/dev/null || return 0
  say "system calls per piece: Raw, $SMALL_MB MB, write 4096, SendBufSize 16384"
  size=$(size_of "$work/small")
  clear_sinks
  vexa_wine_setup
  local server
  server=$(server_pid)
  strace -c -o "$work/server.strace" -p "$server" 2>/dev/null &
  strace_pid=$!
  sink_poll 200 traced "$server"
  strace -c -f -o "$work/client.strace" "$WINELOADER" "$VEXA_BIN/vexaspool.exe" --answer cancel \
    print BenchRaw "$(winpath "$work/small")" --job 999 >"$work/last.log" 2>&1
  kill -INT "$strace_pid"
  wait "$strace_pid"
  strace_pid=
  if grep -qx "printed $size in [0-9]* ms" "$work/last.log" && verify raw "$work/small"; then
    {
      echo "System calls per 4096-byte piece under strace -c (Raw, $SMALL_MB MB, SendBufSize 16384):"
      python3 "$BENCH/benchlib.py" strace "$work/client.strace" "$work/server.strace" $((size / 4096))
    } >>"$notes"
  else
    cp "$work/last.log" "$OUT/failed-strace.log"
    say "FAILED: the traced job (its output: build/bench/failed-strace.log)"
  fi
}

# --- the bench -----------------------------------------------------------------------

started=$(date '+%Y-%m-%d %H:%M')
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
say "random files, peers, Wine"
head -c $((BIG_MB << 20)) /dev/urandom >"$work/big"
head -c $((SMALL_MB << 20)) /dev/urandom >"$work/small"
head -c $((64 << 20)) /dev/urandom >"$work/probe64"
peer_raw "$work/p910nd" 1 || die "p910nd did not start"
peer_lpd "$work/lpd" 515 lp || die "LPRng did not start"
peer_ipp "$IPP_DIR" "$IPP_PORT" || die "cupsd did not start"
start_wine
vexa_install || die "SETUP.EXE did not install the monitor"
vexa_reset_ports
{
  port_key BenchRaw PrintMode=2 HostName=127.0.0.1 PortNum=9101
  port_key BenchLpr PrintMode=0 HostName=127.0.0.1 PortName=lp NonRFCPorts=0
  port_key BenchIpp PrintMode=1 URL=ipp://127.0.0.1:$IPP_PORT/printers/q Language=en-us
  port_key BenchIppChunked PrintMode=1 URL=ipp://127.0.0.1:$IPP_PORT/printers/q Language=en-us \
    Chunked=1 MaxChunk=16384
  port_key BenchIppChunked4k PrintMode=1 URL=ipp://127.0.0.1:$IPP_PORT/printers/q Language=en-us \
    Chunked=1 MaxChunk=4096
} | reg_import
set_send_buffer 16384
[ "$failures" -eq 0 ] || die "the ports could not be set up"

rounds "$BIG_MB MB" "$work/big" "$RUNS_BIG"
rounds "$SMALL_MB MB" "$work/small" "$RUNS_SMALL"
[ "$SWEEP" = 0 ] || sweep
# Last: it stops the peers above and starts its own.
[ "$MANY" = 0 ] || many_ports

python3 "$BENCH/benchlib.py" report "$records" "$OUT/results.txt" --notes "$notes" \
  --header "Vexa bench, $started, $(nproc) CPUs, load $load_before -> $(cut -d' ' -f1-3 /proc/loadavg)" \
  --header "Loopback of a private network namespace without TIME-WAIT state; sinks p910nd (127.0.0.1:9101) and LPRng (515, reserved source ports only)," \
  --header "and a cupsd raw queue (ipp://127.0.0.1:$IPP_PORT/printers/q; each received document checked, then deleted)." \
  --header "IPP: monitor counted (Content-Length) and chunked (MaxChunk 16384); CUPS ipp backend (IPP/2.0 Create-Job +" \
  --header "Send-Document, chunked, DEVICE_URI without options, so it waits for the job as it does by default)." \
  --header "MB = 2^20 bytes, GB = 2^30. MB/s: whole command, start to exit, median of the runs whose copy matched byte for byte." \
  --header "port MB/s: the monitor's StartDocPort to EndDocPort (probe: its send loop). CPU: user+sys of the process tree per GB;" \
  --header "for the monitor and probe that is vexaspool.exe/probe.exe plus what the prefix's long-lived wineserver and" \
  --header "services (services.exe, winedevice.exe, ...) spent meanwhile, from /proc/PID/stat before and after each job." \
  --header "Peak RSS: GNU time's %M of the sending process (vexaspool.exe: the wine64 process it runs in; the backend; socat)." \
  --header "Monitor: vexaspool print, write size 4096, SendBufSize 16384 in the monitor's key; one Wine process per job." \
  --header "Same calls: probe.exe makes the job's reads, spool writes, sends, selects and protocol exchanges (LPD acks," \
  --header "IPP status query, 50 ms pauses, the answer) with no monitor; before: ${BENCH_BEFORE:-not measured (BENCH_BEFORE)}."
status=$?
[ "$many_failed" = 0 ] || status=1
cp "$records" "$OUT/records.tsv"
exit $status
