#!/bin/bash
# vexaspool as a person meets it: help, version, words for every failure
# with the error's number, exit codes, paths relative to the caller, and no
# wait for an answer nobody can give. One row a case: arguments, the exit
# code, and a line the output must hold.
set -u
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'one line\n' >"$work/doc.txt"
need vexa_install
vexa_reset_ports

# row EXIT LINE ARGS...: runs vexaspool once; LINE is an extended regex that
# one whole line of its output (stdout and stderr) must match.
row() {
  local want=$1 line=$2
  shift 2
  out=$(vexa_spool "$@" 2>&1)
  status=$?
  [ "$status" -eq "$want" ] && grep -qxE -- "$line" <<<"$out" ||
    fail "vexaspool $*: exit $status, want $want and a line /$line/; got:
$out"
}

row 0 'usage: vexaspool \[--answer REPLY\] COMMAND \[ARGS\] .*' --help
row 0 '  print NAME FILE .*' -h
row 0 'vexaspool [0-9]+\.[0-9]+\.[0-9]+' --version
row 2 "vexaspool: unknown option --bogus" print P "$work/doc.txt" --bogus
row 2 "vexaspool: --answer needs ok, cancel, retry, yes, no or wait, not maybe" --answer maybe ports
row 2 "vexaspool: unknown command bogus" bogus
row 0 "no ports" ports
row 1 "vexaspool: no port named NoSuchPort \(see 'ports'\)" print NoSuchPort "$work/doc.txt"
{ port_key CliLpr PrintMode=0 HostName=127.0.0.1 PortName=lp; } | reg_import
row 1 "vexaspool: cannot open $work/nope.txt: file not found \(error 2\)" print CliLpr "$work/nope.txt"
row 1 "vexaspool: cannot (open|print) $work: .* \(error [0-9]+\)" print CliLpr "$work"
# Global options after the command; a Linux path for the output file.
row 0 "printed 9 in [0-9]+ ms" print CliLpr "$work/doc.txt" --output "$work/abs.out" --answer ok
cmp -s "$work/doc.txt" "$work/abs.out" || fail "a Linux --output path: nothing there"
# Deleted while it prints: cancelled, exit 3.
row 3 "cancelled: the job was deleted in the spooler after 0 bytes" print CliLpr \
  "$work/doc.txt" --output "$work/gone.out" --pause-after-ms 0 --delete-after-ms 200
row 1 "vexaspool: cannot delete Nope: unknown port \(error 1796\)" delete Nope

# A session ends with the worst status of its commands.
out=$(printf 'ports\nopen Nope\nbogus\nhelp\n' | vexa_spool - 2>&1)
expect "session exit code" 2 $?
grep -qx "error 0: no port named Nope (see 'ports')" <<<"$out" || fail "session: $out"

# Paths relative to the caller's folder, through ./vexa itself.
mkdir "$work/here"
cp "$work/doc.txt" "$work/here/rel.txt"
out=$(cd "$work/here" && "$VEXA_ROOT/vexa" spool print CliLpr rel.txt --output rel.out --answer ok 2>&1)
cmp -s "$work/doc.txt" "$work/here/rel.out" || fail "relative paths: $out"

# No display and no --answer: a box is printed and answered cancel, not
# left for nobody. A prefix of its own, on Wine's null driver.
out=$(
  unset VEXA_WINE_XVFB DISPLAY
  export WINEPREFIX=$work/prefix VEXA_BUILD
  source "$VEXA_ROOT/tests/wine/wine-env.sh"
  vexa_install 2>&1
  { port_key CliDown PrintMode=2 HostName=127.0.0.1 PortNum=9198; } | reg_import
  vexa_spool print CliDown "$(winpath "$work/doc.txt")" 2>&1
  vexa_wine_stop >/dev/null 2>&1
)
grep -q '^box: ' <<<"$out" && grep -qx 'answered cancel: no display; see --answer' <<<"$out" ||
  fail "no display: $out"

finish cli
