# shellcheck shell=bash
# Whether a sink got exactly the file that was sent. The sender going away
# is not enough: p910nd may still be writing the tail, LPRng may not have
# finished the job. A copy that differs, or is not final within the patience
# given (tries 50 ms apart, a minute by default), never counts.
#   sink_raw_matches OUT EXPECTED PORT [TRIES]   p910nd's output file
#   sink_lpd_matches SPOOL EXPECTED [TRIES]      LPRng's spool folder, one job in it
SINK_TRIES=1200

# sink_poll TRIES COMMAND...: until COMMAND succeeds, at most TRIES times.
sink_poll() {
  local tries=$1
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.05
  done
}

sink_raw_final() {
  [ "$(stat -c %s "$1")" -ge "$2" ] &&
    [ -z "$(ss -Htn state established "( sport = :$3 )" 2>/dev/null)" ]
}

sink_raw_matches() {
  local out=$1 expected=$2 port=$3 tries=${4:-$SINK_TRIES}
  sink_poll "$tries" sink_raw_final "$out" "$(stat -c %s "$expected")" "$port" &&
    cmp -s "$expected" "$out"
}

sink_lpd_final() { grep -qs '^done_time=' "$1"/hf*; }

# LPRng keeps the data file under the client's name, whatever that is.
sink_lpd_matches() {
  local spool=$1 expected=$2 tries=${3:-$SINK_TRIES} data
  sink_poll "$tries" sink_lpd_final "$spool" || return 1
  data=("$spool"/df*)
  [ ${#data[@]} -eq 1 ] && [ -f "${data[0]}" ] && cmp -s "$expected" "${data[0]}"
}
