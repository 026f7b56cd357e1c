#!/bin/bash
# What ./vexa demo shows: the monitor registered with the stand-in spooler,
# three ports written to the registry with Wine's reg, brought in through
# AddPort (import), and listed as the spooler lists them; then a document
# printed through a pass-through port into a file, and through the Raw, LPR
# and IPP ports to p910nd, LPRng and cupsd on loopback.
set -euo pipefail
source "$(dirname "$0")/../tests/wine/wine-env.sh"

PORTS='HKLM\System\CurrentControlSet\Control\Print\Monitors\Vexa Network Printer Port\Ports'
reg() { "$WINELOADER" reg "$@" </dev/null >/dev/null 2>&1; }
step() { printf '\n== %s\n' "$*"; }

step "register the monitor with the stand-in spooler"
vexa_spool install
vexa_reset_ports

create_keys() {
  reg add "$PORTS\\Demo_LPR" /v PrintMode /t REG_DWORD /d 0 /f
  reg add "$PORTS\\Demo_LPR" /v HostName /d 127.0.0.1 /f
  reg add "$PORTS\\Demo_LPR" /v PortName /d lp /f
  reg add "$PORTS\\Demo_LPR" /v PortNum /t REG_DWORD /d 515 /f
  reg add "$PORTS\\Demo_IPP" /v PrintMode /t REG_DWORD /d 1 /f
  reg add "$PORTS\\Demo_IPP" /v URL /d ipp://127.0.0.1:8631/printers/q /f
  reg add "$PORTS\\Demo_IPP" /v Language /d en-us /f
  reg add "$PORTS\\Demo_Raw" /v PrintMode /t REG_DWORD /d 2 /f
  reg add "$PORTS\\Demo_Raw" /v HostName /d 127.0.0.1 /f
  reg add "$PORTS\\Demo_Raw" /v PortNum /t REG_DWORD /d 9101 /f
  reg add "$PORTS\\Demo_LPR" /v NonRFCPorts /t REG_DWORD /d 0 /f
}

# One long-lived spooler: it starts with no ports, the keys appear while it
# runs, and each AddPort without a window takes in one new key; the fourth
# finds none left, and the session's exit status says so.
step "a spooler session; its port table starts empty"
{
  echo 'ports --level 2'
  sleep 1
  create_keys
  echo 'import'
  echo 'import'
  echo 'import'
  echo 'import'
  echo 'ports --level 2'
} | vexa_spool - | sed 's/\t/  |  /g' || true  # the fourth import finds nothing: exit status 1

step "the port keys as reg shows them"
"$WINELOADER" reg query "$PORTS" /s </dev/null 2>/dev/null | tr -d '\r' | grep -v '^$'

step "print a document through a pass-through port to a file"
# --output names a file that is no port of the monitor's: the job passes
# through to that file, as the spooler's "print to file" does.
demo_dir=$(mktemp -d)
trap 'rm -rf "$demo_dir"' EXIT
cat >"$demo_dir/sample.txt" <<'TEXT'
Vexa Network Printer Port - sample document
Line 2: printed through the stand-in Windows 95 spooler.
Line 3: the monitor writes each piece as the spooler hands it over.
TEXT
winpath() { printf 'Z:%s' "${1//\//\\}"; }
vexa_spool print Demo_LPR "$(winpath "$demo_dir/sample.txt")" \
  --output "$(winpath "$demo_dir/sample.out")" --document "Sample document" --write-size 50
cat "$demo_dir/sample.out"
cmp "$demo_dir/sample.txt" "$demo_dir/sample.out" && echo "cmp: the file holds exactly the document's bytes"

step "print it to real print servers: p910nd (Raw), LPRng (LPR) and cupsd (IPP)"
source "$(dirname "$0")/../tests/peers/peers.sh"
trap 'peer_stop_all; rm -rf "$demo_dir"' EXIT
peer_raw "$demo_dir/p910nd" 1
peer_lpd "$demo_dir/lpd" 515 lp
peer_ipp "$demo_dir/cups" 8631
vexa_spool --answer cancel print Demo_Raw "$(winpath "$demo_dir/sample.txt")" --document "Sample document"
cmp "$demo_dir/sample.txt" "$demo_dir/p910nd/raw.out" &&
  echo "cmp: p910nd received exactly the document's bytes"
vexa_spool --answer cancel print Demo_LPR "$(winpath "$demo_dir/sample.txt")" --job 42 --document "Sample document"
sleep 0.5
received=$(ls "$demo_dir"/lpd/spool/dfA042*)
echo "LPRng keeps the data file as ${received##*/}"
cmp "$demo_dir/sample.txt" "$received" && echo "cmp: LPRng received exactly the document's bytes"
vexa_spool --answer cancel print Demo_IPP "$(winpath "$demo_dir/sample.txt")" --document "Sample document"
received=$(peer_ipp_document "$demo_dir/cups")
echo "cupsd keeps the document as ${received##*/}"
cmp "$demo_dir/sample.txt" "$received" && echo "cmp: cupsd received exactly the document's bytes"
