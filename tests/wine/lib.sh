# shellcheck shell=bash
# Shared by the Wine test scripts: results, registry set-up, jobs, and a
# long-lived vexaspool session to talk to.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect WHAT EXPECTED ACTUAL
expect() {
  [ "$2" = "$3" ] && return 0
  fail "$1"
  diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /'
}

finish() {
  [ "$failures" -eq 0 ] && echo "$1: all passed"
  exit $((failures > 0))
}

# need STEP...: a set-up step (a peer started, a printer state set) that the
# rest of the test relies on; when it fails, nothing after it would mean anything.
need() {
  "$@" && return 0
  fail "set-up failed: $*"
  exit 1
}

MONITOR="Vexa Network Printer Port"
MONITOR_KEY="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Monitors\\$MONITOR"
PORTS_KEY="$MONITOR_KEY\\Ports"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Imports registry text (REGEDIT4 lines after the header) in one Wine call.
reg_import() {
  local file
  file=$(mktemp --suffix=.reg)
  { echo REGEDIT4; cat; } >"$file"
  "$WINELOADER" reg import "$(winpath "$file")" </dev/null >/dev/null 2>&1 || fail "reg import"
  rm -f "$file"
}

# port_key NAME VALUE=DATA... : a port key; numbers are dwords, the rest strings.
port_key() {
  local name=$1 pair value
  shift
  printf '\n[%s\\%s]\n' "$PORTS_KEY" "$name"
  for pair in "$@"; do
    value=${pair#*=}
    if [[ $value =~ ^[0-9]+$ ]]; then
      printf '"%s"=dword:%08x\n' "${pair%%=*}" "$value"
    else
      printf '"%s"="%s"\n' "${pair%%=*}" "${value//\\/\\\\}"
    fi
  done
}

# values NAME VALUE...: "VALUE=DATA" for each, as the port's key holds it;
# numbers in decimal, binary data in hex.
values() {
  local name=$1 value type data
  shift
  while IFS=$'\t' read -r value type data; do
    [[ " $* " == *" $value "* ]] || continue
    [ "$type" = REG_DWORD ] && data=$((data))
    echo "$value=$data"
  done < <("$WINELOADER" reg query "$PORTS_KEY\\$name" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \([^ ]*\)    \(REG_[A-Z]*\)    \(.*\)$/\1\t\2\t\3/p') | sort
}

# message KEY [ARG]: the first line of NIMMES.INI's text, as a box shows it.
message() {
  local text
  text=$(sed -n "s/^$1=//p" "$VEXA_BIN/NIMMES.INI" | tr -d '\r')
  text=${text%%\\n*}
  printf '%s' "${text/\%s/${2:-}}"
}

# spool_job PORT FILE [OPTIONS]: one job through vexaspool, its lines on
# stdout as they come. $answer answers the monitor's boxes and prompts
# (cancel unless set), so that no test waits for a person.
spool_job() {
  local port=$1 file=$2
  shift 2
  vexa_ensure_installed || return
  timeout 300 "$WINELOADER" "$VEXA_BIN/vexaspool.exe" --answer "${answer:-cancel}" print "$port" "$(winpath "$file")" "$@" 2>&1
}
# print_job as spool_job, with the lines in $out and the exit status in $status.
print_job() {
  out=$(spool_job "$@")
  status=$?
}
printed() { grep -qx "printed $1 in [0-9]* ms" <<<"$out"; }
# $out with the times taken out.
untimed() { sed -E 's/ in [0-9]+ ms$/ in MS ms/' <<<"$out"; }

# session_start [OPTIONS]: a vexaspool session in the background; `ask` talks to it.
session_start() {
  coproc SESSION { vexa_spool "$@" - 2>&1; }
  session_in=${SESSION[1]}
  session_out=${SESSION[0]}
  session_pid=$SESSION_PID
}

# ask COMMAND [SECONDS]: sends a command, collects its lines into $reply.
ask() {
  local line limit=${2:-30}
  reply=
  printf '%s\n' "$1" >&"$session_in"
  while IFS= read -r -t "$limit" line <&"$session_out"; do
    reply+=${reply:+$'\n'}$line
    [[ $line == ok || $line =~ ^error\ [0-9]+(:|$) ]] && return 0
  done
  fail "no reply to '$1' within $limit s (got: $reply)"
  return 1
}

session_end() {
  exec {session_in}>&-
  wait "$session_pid"
}
