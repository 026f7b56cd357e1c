#!/bin/bash
# SETUP.EXE as a user runs it, against the stand-in spooler: a first install
# into a folder with spaces, a reinstall over itself, an upgrade and an
# uninstall while the spooler holds the DLL (finished by a restart, which
# Wine's wineboot -r plays), an uninstall refused while a printer uses a
# port, and a system folder that cannot be written. Ends with the monitor
# installed as every other test expects it.
set -u
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
session_pid=
cleanup() {
  [ -n "$session_pid" ] && kill "$session_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

need vexa_wine_setup
C=$WINEPREFIX/drive_c
SYSTEM_DLL=$C/windows/system32/Vexamon.dll
FOLDER='C:\My Printing\Vexa Port'
FOLDER_UNIX="$C/My Printing/Vexa Port"
WININIT=$C/windows/WININIT.INI

setup() {
  "$WINELOADER" "$1" /S "${@:2}" </dev/null >/dev/null 2>&1
  status=$?
  log=$(tr -d '\r' <"$(vexa_setup_log)")
}
monitor_values() {
  "$WINELOADER" reg query "$MONITOR_KEY" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n 's/^    \(Driver\|InstallPath\|SendBufSize\)    REG_[A-Z]*    /\1=/p'
}
# Everything an install leaves, or nothing: the DLL and a staged copy, the
# install folders' files, the monitor's values, WININIT.INI.
traces() {
  {
    [ -f "$SYSTEM_DLL" ] && echo "system32/Vexamon.dll"
    [ -f "$C/windows/system32/VEXAMON.NEW" ] && echo "system32/VEXAMON.NEW"
    find "$FOLDER_UNIX" "$C/Program Files/Vexa" "$C/Elsewhere" 2>/dev/null | sed "s|^$C/||" | sort
    monitor_values
    [ -f "$WININIT" ] && echo "WININIT.INI"
  }
  true
}
# A release of its own: SETUP.EXE finds its files beside itself, and under
# Wine the stand-in winspool.drv must sit there too.
release() {
  mkdir -p "$1"
  cp "$VEXA_BIN"/{SETUP.EXE,Vexamon.dll,NIMMES.INI,NIMDLG.INI,README.TXT,winspool.drv,mpr.dll} "$1/"
}

# --- a clean machine -----------------------------------------------------------
"$WINELOADER" reg delete 'HKLM\Software\Vexa\Stand-in Spooler' /f </dev/null >/dev/null 2>&1
setup "$VEXA_BIN/SETUP.EXE" /U
vexa_reset_ports
rm -f "$WININIT"
expect "nothing is left after an uninstall" "" "$(traces)"

# --- first install, into a folder with spaces ------------------------------------
setup "$VEXA_BIN/SETUP.EXE" "$FOLDER"
expect "install: exit status" 0 "$status"
for file in NIMMES.INI NIMDLG.INI README.TXT; do
  cmp -s "$VEXA_BIN/$file" "$FOLDER_UNIX/$file" || fail "install: $file differs or is missing"
done
cmp -s "$VEXA_BIN/Vexamon.dll" "$SYSTEM_DLL" || fail "install: no Vexamon.dll in the system folder"
[ -d "$FOLDER_UNIX/Spool" ] || fail "install: no Spool folder"
expect "install: the monitor's values" "Driver=Vexamon.dll
InstallPath=$FOLDER
SendBufSize=0x10000" "$(monitor_values)"
# The monitor, loaded by the spooler from the system folder, reads its texts
# from the install folder.
{ port_key SetupRaw PrintMode=2 HostName=127.0.0.1 PortNum=9100; } | reg_import
expect "the installed monitor lists its port with the install folder's texts" \
  "SetupRaw	$MONITOR	$(message IDS_RAW_PORT)	1" "$(vexa_spool ports --level 2)"

# --- reinstall over itself: ports and a chosen SendBufSize stay ----------------
printf '\n[%s]\n"SendBufSize"=dword:00004000\n' "$MONITOR_KEY" | reg_import
setup "$VEXA_BIN/SETUP.EXE"
expect "reinstall: exit status" 0 "$status"
expect "reinstall: same folder, the user's SendBufSize kept" "Driver=Vexamon.dll
InstallPath=$FOLDER
SendBufSize=0x4000" "$(monitor_values)"
expect "reinstall: the port is kept" SetupRaw "$(vexa_spool ports --level 1)"
setup "$VEXA_BIN/SETUP.EXE" 'C:\Elsewhere'
expect "a second folder: exit status" 1 "$status"
[[ $log == *"already installed in $FOLDER. To move it, run SETUP.EXE /U first"* ]] ||
  fail "a second folder: $log"
[ ! -e "$C/Elsewhere" ] || fail "a refused folder was created"

# --- uninstall refused while a printer prints to a port ---------------------------
before=$(traces)
need vexa_spool printer add "Front Desk" SetupRaw >/dev/null
setup "$VEXA_BIN/SETUP.EXE" /U
expect "uninstall with a printer on a port: exit status" 1 "$status"
[[ $log == *'The printer "Front Desk" prints to the port "SetupRaw"'*"Nothing was removed."* ]] ||
  fail "uninstall with a printer on a port: $log"
expect "uninstall refused: nothing removed" "$before" "$(traces)"
expect "uninstall refused: the port is kept" SetupRaw "$(vexa_spool ports --level 1)"
need vexa_spool printer delete "Front Desk"

# --- an upgrade and an uninstall while the spooler holds the DLL -------------------
# The installed DLL is an older build (one byte more); a session keeps it loaded.
release "$work/old"
printf x >>"$work/old/Vexamon.dll"
setup "$work/old/SETUP.EXE"
cmp -s "$work/old/Vexamon.dll" "$SYSTEM_DLL" || fail "the old release did not install"
exec {to_session}> >("$WINELOADER" "$VEXA_BIN/vexaspool.exe" - >"$work/session.out" 2>&1)
session_pid=$!
echo ports >&"$to_session"
for _ in $(seq 1 100); do grep -q '^ok' "$work/session.out" && break; sleep 0.1; done
grep -q '^ok' "$work/session.out" || fail "the session did not load the monitor: $(cat "$work/session.out")"

setup "$VEXA_BIN/SETUP.EXE"
expect "upgrade in use: exit status 3010 (194 here)" 194 "$status"
[[ $log == *"Restart Windows to finish."* ]] || fail "upgrade in use: $log"
cmp -s "$work/old/Vexamon.dll" "$SYSTEM_DLL" || fail "upgrade in use: the DLL in use was touched"
expect "upgrade in use: the swap waits in WININIT.INI" \
  "[rename]
C:\\windows\\system32\\Vexamon.dll=C:\\windows\\system32\\VEXAMON.NEW" "$(tr -d '\r' <"$WININIT")"

setup "$VEXA_BIN/SETUP.EXE" /U
expect "uninstall in use: exit status 3010 (194 here)" 194 "$status"
expect "uninstall in use: WININIT.INI deletes the DLL after the swap" \
  "C:\\windows\\system32\\Vexamon.dll=C:\\windows\\system32\\VEXAMON.NEW
NUL=C:\\windows\\system32\\Vexamon.dll" "$(tr -d '\r' <"$WININIT" | sed 1d)"
expect "uninstall in use: only the DLL waits" "system32/Vexamon.dll
system32/VEXAMON.NEW
WININIT.INI" "$(traces)"

exec {to_session}>&-
wait "$session_pid"
session_pid=
"$WINELOADER" wineboot.exe -r </dev/null >/dev/null 2>&1
rm -f "$C/windows/wininit.bak"
expect "after the restart nothing is left" "" "$(traces)"

# --- a system folder that cannot be written ----------------------------------------
# Wine opens files in its wineserver: a server of the test's own runs in a
# mount namespace where the system folder is a read-only bind mount.
vexa_wine_stop
out=$(VEXA_BUILD=$VEXA_BUILD WINEPREFIX=$WINEPREFIX unshare -m bash -c '
  set -e
  mount --bind "$1" "$1" && mount -o remount,bind,ro "$1"
  source "$2/tests/wine/wine-env.sh"
  vexa_wine_setup
  "$WINELOADER" "$VEXA_BIN/SETUP.EXE" /S </dev/null >/dev/null 2>&1 && status=0 || status=$?
  echo "status $status"
  vexa_wine_stop
' _ "$C/windows/system32" "$VEXA_ROOT" 2>&1)
# The harness's own server again, before anything here starts Wine: one
# started by a stray call would have no display for the tests after this one.
need vexa_wine_setup
setup_log=$(tr -d '\r' <"$(vexa_setup_log)")
expect "read-only system folder: exit status" "status 1" "$(grep '^status' <<<"$out")"
[[ $setup_log == *'cannot copy Vexamon.dll into C:\windows\system32: '*'(error '*')'* ]] ||
  fail "read-only system folder: $setup_log"
expect "read-only system folder: nothing half-done" "" "$(traces)"

need vexa_install
finish setup_test
