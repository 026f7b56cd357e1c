# shellcheck shell=bash
# The monitor against Wine making the same calls. For each configuration a
# round runs the monitor's job, then probe.exe's job with the same reads,
# spool writes, sends, selects and protocol exchanges and no monitor (see
# bench/probe.cpp), then with BENCH_BEFORE an older build's monitor: one
# after the other, so a slow spell of the machine hits all three alike.
# Sourced by run.sh, whose measure, record, clear_sinks and verify it uses.

# KIND WRITE SENDBUFSIZE MAXCHUNK ("-": counted). The first line of each
# kind is also the one compared with CUPS. SendBufSize 16384 is the
# monitor's own when the value is absent; the installer writes 65536.
CALLS_CONFIGS=(
  "raw 4096 16384 -"
  "raw 4096 65536 -"
  "raw 65536 65536 -"
  "lpr 4096 16384 -"
  "lpr 4096 65536 -"
  "ipp 4096 16384 -"
  "ipp 4096 65536 -"
  "ippc 4096 16384 16384"
  "ippc 4096 65536 16384"
  "ippc 4096 16384 4096"
  "ippc 4096 65536 4096"
)
BEFORE_BIN=$OUT/before

# calls_variant WRITE SENDBUFSIZE MAXCHUNK: how records name a configuration.
calls_variant() {
  local text="write $1, SendBufSize $2"
  [ "$3" = - ] || text+=", MaxChunk $3"
  printf '%s' "$text"
}

# Copies the older build's binaries (BENCH_BEFORE: its bin folder) beside
# the bench's own; they share the prefix, the ports and the install folder.
calls_prepare_before() {
  [ -n "${BENCH_BEFORE:-}" ] || return 0
  mkdir -p "$BEFORE_BIN"
  local file
  for file in Vexamon.dll vexaspool.exe winspool.drv mpr.dll; do
    cp "$BENCH_BEFORE/$file" "$BEFORE_BIN/" || die "no $file in $BENCH_BEFORE"
  done
}

# probe_job LABEL FILE KIND RUN WRITE SENDBUFSIZE MAXCHUNK
probe_job() {
  local label=$1 file=$2 kind=$3 run=$4 write=$5 buffer=$6 chunk=$7 ok=0 ms size args
  size=$(size_of "$file")
  case $kind in
    raw) args=(raw 127.0.0.1 9101) ;;
    lpr) args=(lpd 127.0.0.1 515) ;;
    ipp | ippc) args=(ipp 127.0.0.1 "$IPP_PORT") ;;
  esac
  args+=("$(winpath "$file")" "$(winpath "$VEXA_BIN/Spool/probe.tmp")" --write "$write"
    --piece "$buffer")
  [ "$chunk" = - ] || args+=(--chunk "$chunk")
  clear_sinks
  vexa_wine_setup
  mkdir -p "$VEXA_BIN/Spool"
  measure --wine-prefix "$WINEPREFIX" -- timeout -s KILL 600 "$WINELOADER" "$VEXA_BIN/probe.exe" \
    job "${args[@]}" && grep -q "^$size bytes in " "$work/last.log" && verify "$kind" "$file" &&
    ok=1
  ms=$(sed -n 's/^[0-9]* bytes in \([0-9.]*\) ms$/\1/p' "$work/last.log")
  record calls "$label" "$size" "$kind" probe "$(calls_variant "$write" "$buffer" "$chunk")" \
    "$run" "$ok" "${ms:--}" -
}

# calls_config GROUP LABEL FILE RUN KIND WRITE SENDBUFSIZE MAXCHUNK: the
# monitor, the probe and the older monitor, in turns that move by one each
# round, so that no one of them always follows the same job.
calls_config() {
  local group=$1 label=$2 file=$3 run=$4 kind=$5 write=$6 buffer=$7 chunk=$8 turns i
  turns=(monitor probe)
  [ -z "${BENCH_BEFORE:-}" ] || turns+=(before)
  for ((i = 0; i < ${#turns[@]}; i++)); do
    case ${turns[(i + run - 1) % ${#turns[@]}]} in
      monitor) monitor "$group" "$label" "$file" "$kind" "$run" "$write" "$buffer" "$chunk" ;;
      probe) probe_job "$label" "$file" "$kind" "$run" "$write" "$buffer" "$chunk" ;;
      before) monitor calls "$label" "$file" "$kind" "$run" "$write" "$buffer" "$chunk" before ;;
    esac
  done
}
