#!/bin/bash
# The port table as the spooler sees it: ports loaded from their registry
# keys, their order and descriptions, the EnumPorts levels and buffer rules,
# the colon forms of a name, import, delete, and printers connected through
# the network provider (the stand-ins' own rules checked first).
set -u
source "$(dirname "$0")/lib.sh"

T=$'\t'
M=$MONITOR
PORTS=$PORTS_KEY

# Writes port keys from "NAME MODE" pairs (MODE "-" = no PrintMode value).
add_port_keys() {
  while [ $# -ge 2 ]; do
    if [ "$2" = - ]; then port_key "$1"; else port_key "$1" "PrintMode=$2"; fi
    shift 2
  done | reg_import
}

vexa_wine_exe standin_check.exe || fail "standin_check.exe"
# The first program of a server session hands its output on to services.exe
# and friends, which outlive it: were that a pipe of ours, it would never close.
vexa_wine_stop
out=$(vexa_install | timeout 60 cat) || fail "the first program's output pipe was open after 60 s"
vexa_reset_ports

# --- ports found in the registry at start ------------------------------------
add_port_keys IPP_office_queue 1 Raw_9100 2 LPR_lab 0 NoMode - Mail1 3 Odd 9 Q 2
expect "level 2: longest name first, descriptions from NIMMES.INI" \
"IPP_office_queue${T}$M${T}Vexa IPP Port${T}1
Raw_9100${T}$M${T}Vexa Raw Port${T}1
LPR_lab${T}$M${T}Vexa LPR Port${T}1
NoMode${T}$M${T}Vexa LPR Port${T}1
Mail1${T}$M${T}Vexa E-mail Port${T}1
Q${T}$M${T}Vexa Raw Port${T}1" "$(vexa_spool ports --level 2)"
expect "level 1" "IPP_office_queue
Raw_9100
LPR_lab
NoMode
Mail1
Q" "$(vexa_spool ports --level 1)"
expect "level 0 only counts" "count 6" "$(vexa_spool ports --level 0)"
out=$(vexa_spool ports --level 3 2>&1)
expect "level 3 is refused" "vexaspool: EnumPorts level 3: invalid level (error 124)" "$out"

# Each level-1 record is a pointer plus its name. One byte short must fail;
# the size asked for must hold every record (level 2 has four strings each).
needed=$(( $(vexa_spool ports --level 1 --buffer 0 2>/dev/null | sed -n 's/^needed //p') ))
names=$(vexa_spool ports --level 1 | awk '{ n += length($0) + 1 } END { print n }')
[ $(( (needed - names) % 6 )) -eq 0 ] && [ $((needed - names)) -gt 0 ] ||
  fail "level 1 needs $needed bytes for $names bytes of names"
for level in 1 2; do
  needed=$(vexa_spool ports --level $level --buffer 0 2>/dev/null | sed -n 's/^needed //p')
  expect "level $level, one byte short" "needed $needed
vexaspool: EnumPorts level $level: insufficient buffer (error 122)" "$(vexa_spool ports --level $level --buffer $((needed - 1)) 2>&1)"
  expect "level $level, exactly the size needed" "needed $needed
$(vexa_spool ports --level $level)" "$(vexa_spool ports --level $level --buffer "$needed" 2>&1)"
done
out=$(vexa_spool ports --level 0 --buffer 0 2>&1)
expect "level 0 needs nothing" "needed 0
count 6" "$out"

# --- without an install path the built-in descriptions are used ----------------
"$WINELOADER" reg delete "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors\\$M" \
  /v InstallPath /f </dev/null >/dev/null 2>&1
expect "built-in description" "Q${T}$M${T}ZR-MDL0000000000 Network Printer Raw Port${T}1" \
  "$(vexa_wine_exe vexaspool.exe ports | grep '^Q')"
vexa_install || fail "install again"

# --- one process: colon forms, import, delete, network printers ----------------
session_start --answer ok
ask 'open LPR_lab:'; expect "a name with a colon finds the name without" ok "$reply"
ask 'open raw_9100'; expect "names are found without regard to case" ok "$reply"
ask 'open LPR_lab::'
expect "only one colon is taken off" "error 0: no port named LPR_lab:: (see 'ports')" "$reply"
ask 'open LPR'; expect "no prefix matches" "error 0: no port named LPR (see 'ports')" "$reply"

add_port_keys NewOne 2 NewTwo 0
ask import; expect "import takes one new key" ok "$reply"
ask 'ports --level 1'
imported=$(grep -c '^New' <<<"$reply")
expect "exactly one port imported" 1 "$imported"
ask import; expect "the second import takes the other key" ok "$reply"
ask 'ports --level 2'
grep -qF "NewOne${T}$M${T}Vexa Raw Port${T}1" <<<"$reply" || fail "NewOne imported as Raw: $reply"
grep -qF "NewTwo${T}$M${T}Vexa LPR Port${T}1" <<<"$reply" || fail "NewTwo imported as LPR: $reply"
# A key of an unknown kind is skipped at start but imported, named for itself.
ask import; expect "import of a key of unknown kind" ok "$reply"
ask 'ports --level 2'
grep -qxF "Odd${T}$M${T}Odd${T}1" <<<"$reply" || fail "Odd imported with its name as description: $reply"
# Nothing left: AddPort opens the wizard, which the answer closes.
ask import
expect "nothing left to import: the wizard, cancelled" \
  "error 1223: no new port key to import: the add-port wizard opened and was cancelled: operation canceled by user" \
  "$(tail -1 <<<"$reply")"

ask 'delete NewOne'; expect "delete a known port" "deleted NewOne
ok" "$reply"
ask 'delete NewOne'
expect "delete it again" "error 1796: cannot delete NewOne: unknown port" "$reply"
ask 'delete LPR_lab:'
expect "delete takes no colon form" "error 1796: cannot delete LPR_lab:: unknown port" "$reply"
"$WINELOADER" reg query "$PORTS\\NewOne" </dev/null >/dev/null 2>&1 && fail "NewOne's key survived"
"$WINELOADER" reg query "$PORTS\\NewTwo" </dev/null >/dev/null 2>&1 || fail "NewTwo's key is gone"

# The first listing of this process scanned; the next scan is 10 s later.
ask 'net connect LPT3 \\printsrv\laser'
ask 'ports --level 2'
grep -qF "NewTwo" <<<"$reply" && ! grep -q '^LPT3' <<<"$reply" ||
  fail "a connection made after this process's scan shows up early: $reply"
ask 'sleep 10200'
ask 'ports --level 2'
grep -qxF "LPT3:${T}$M${T}\\\\printsrv\\laser${T}5" <<<"$reply" ||
  fail "connected printer not listed as a redirected port: $reply"
ask 'open LPT3'; expect "the network entry answers to its local name" ok "$reply"
ask 'net disconnect LPT3'
ask 'ports --level 1'
grep -q '^LPT3:$' <<<"$reply" || fail "the entry left before the next scan: $reply"
ask 'sleep 10200'
ask 'ports --level 1'
grep -q '^LPT3' <<<"$reply" && fail "disconnected printer still listed: $reply"
"$WINELOADER" reg query "$PORTS\\LPT3:" </dev/null >/dev/null 2>&1 && fail "a network entry got a key"
session_end

# Without a network the monitor never scans.
out=$(printf '%s\n' 'net off' 'net connect LPT4 \\x\y' 'ports --level 1' | vexa_spool - 2>&1)
grep -q '^LPT4' <<<"$out" && fail "scanned without a network: $out"

vexa_reset_ports
finish ports
