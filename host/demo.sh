#!/bin/bash
# What ./vexa demo shows: the monitor registered with the stand-in spooler;
# p910nd, LPRng and cupsd started on loopback; an LPR, an IPP and a Raw
# port made in the add-port wizard, gone through page by page as a person
# goes through it (the IPP page tests its printer before it lets you on);
# the ports listed as the spooler lists them; then a document printed
# through a pass-through port into a file, and through the three ports.
set -euo pipefail
source "$(dirname "$0")/../tests/wine/wine-env.sh"

PORTS='HKLM\System\CurrentControlSet\Control\Print\Monitors\Vexa Network Printer Port\Ports'
step() { printf '\n== %s\n' "$*"; }

step "install the monitor as a user does: SETUP.EXE /S, beside the stand-in spooler"
vexa_install
vexa_reset_ports

step "start real print servers on loopback: p910nd (Raw), LPRng (LPR) and cupsd (IPP)"
source "$(dirname "$0")/../tests/peers/peers.sh"
demo_dir=$(mktemp -d)
chmod 755 "$demo_dir"
trap 'peer_stop_all; rm -rf "$demo_dir"' EXIT
# The wizard's Raw page proposes port 9100: p910nd's printer 0.
peer_raw "$demo_dir/p910nd" 0
peer_lpd "$demo_dir/lpd" 515 lp
peer_ipp "$demo_dir/cups" 8631
echo "listening: 127.0.0.1:9100, 127.0.0.1:515, ipp://127.0.0.1:8631/printers/q"

step "add three ports in the add-port wizard, page by page"
vexa_spool --answer cancel add lpr 127.0.0.1 lp --name Demo_LPR
vexa_spool --answer cancel add ipp ipp://127.0.0.1:8631/printers/q --name Demo_IPP
vexa_spool --answer cancel add raw 127.0.0.1 --name Demo_Raw

step "the ports as the spooler lists them"
vexa_spool ports --level 2 | sed 's/\t/  |  /g'

step "the port keys the wizard wrote, as reg shows them"
"$WINELOADER" reg query "$PORTS" /s </dev/null 2>/dev/null | tr -d '\r' | grep -v '^$'

step "print a document through a pass-through port to a file"
# --output names a file that is no port of the monitor's: the job passes
# through to that file, as the spooler's "print to file" does.
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

step "print it through the three ports: p910nd (Raw), LPRng (LPR) and cupsd (IPP)"
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
