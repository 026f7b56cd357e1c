#!/bin/bash
# What ./vexa demo shows: the monitor registered with the stand-in spooler,
# three ports written to the registry with Wine's reg, brought in through
# AddPort (import), and listed as the spooler lists them.
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
  reg add "$PORTS\\Demo_IPP" /v URL /d ipp://127.0.0.1:8631/printers/demo /f
  reg add "$PORTS\\Demo_Raw" /v PrintMode /t REG_DWORD /d 2 /f
  reg add "$PORTS\\Demo_Raw" /v HostName /d 127.0.0.1 /f
  reg add "$PORTS\\Demo_Raw" /v PortNum /t REG_DWORD /d 9101 /f
}

# One long-lived spooler: it starts with no ports, the keys appear while it
# runs, and each AddPort without a window takes in one new key.
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
} | vexa_spool - | sed 's/\t/  |  /g'

step "the port keys as reg shows them"
"$WINELOADER" reg query "$PORTS" /s </dev/null 2>/dev/null | tr -d '\r' | grep -v '^$'
