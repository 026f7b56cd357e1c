# shellcheck shell=bash
# Running the Windows side under Wine: source this file, then
#   vexa_wine_exe EXE [ARGS]   run bin/EXE (or a path) under Wine; its exit status
#   vexa_install [ARGS]        SETUP.EXE /S ARGS: install the monitor as a user does
#   vexa_spool [ARGS]          run vexaspool.exe, installing the monitor first if needed
#   vexa_reset_ports           forget every port the monitor saved
#   vexa_wine_setup            make the prefix and start the server (the others call it)
#   vexa_wine_stop             stop the server (and Xvfb) vexa_wine_setup started
# One prefix per build (build/win64/wineprefix unless WINEPREFIX is set) and
# one long-lived wineserver for it, so a run costs a fraction of a second.
# Windows draw on an Xvfb of the harness's own when VEXA_WINE_XVFB=1 (CTest
# sets it), else on the caller's DISPLAY, else nowhere (Wine's null driver).
# The harness keeps its state in WINEPREFIX/.vexa-*: the PID and display of
# its wineserver and of its Xvfb, and the settings last applied.

VEXA_ROOT=${VEXA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
VEXA_BUILD=${VEXA_BUILD:-$VEXA_ROOT/build/win64}
VEXA_BIN=$VEXA_BUILD/bin
VEXA_MONITOR_KEY='HKLM\System\CurrentControlSet\Control\Print\Monitors\Vexa Network Printer Port'

export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${VEXA_WINEDEBUG:--all}
# The stand-in winspool and mpr in bin/ replace Wine's own; no Mono or Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml=;winspool.drv=n;mpr=n"
export WINEPREFIX=${WINEPREFIX:-$VEXA_BUILD/wineprefix}

# How Wine shows windows; decided by _vexa_wine_choose_display before each
# run. The prefix is updated, and its server restarted, when it changes.
# Debian's Wine 8 looks for its own fonts under an invalid path, so it never
# finds Marlett and draws the caption buttons' glyphs ("r" for the close box)
# in another font; naming the file (package fonts-wine) in the Fonts key loads it.
VEXA_WINE_GRAPHICS=null
_VEXA_CALLER_DISPLAY=${DISPLAY:-}
_vexa_wine_settings() {
  cat <<EOS
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Graphics"="$VEXA_WINE_GRAPHICS"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]
"Marlett (TrueType)"="Z:\\\\usr\\\\share\\\\wine\\\\fonts\\\\marlett.ttf"
EOS
}

# Closes every descriptor above stderr in the current (sub)shell: whatever
# Wine starts from here may outlive the caller and must not hold its pipes.
_vexa_close_extra_fds() {
  local fd
  for fd in /proc/$BASHPID/fd/*; do
    fd=${fd##*/}
    [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-"
  done
  return 0
}

# _vexa_alive NAME COMM: the PID in .vexa-NAME.pid is alive and runs COMM;
# it goes to _VEXA_PID.
_vexa_alive() {
  local comm
  [ -r "$WINEPREFIX/.vexa-$1.pid" ] && read -r _VEXA_PID <"$WINEPREFIX/.vexa-$1.pid" || return 1
  [ -r "/proc/$_VEXA_PID/comm" ] && read -r comm <"/proc/$_VEXA_PID/comm" && [ "$comm" = "$2" ]
}

# _vexa_stop NAME COMM [CMD...]: forgets NAME's PID and display; if it ran
# COMM, ends it (with CMD, else SIGTERM) and waits until it is gone.
_vexa_stop() {
  local name=$1 comm=$2 alive=0
  shift 2
  _vexa_alive "$name" "$comm" || alive=1
  rm -f "$WINEPREFIX/.vexa-$name".{pid,display}
  [ $alive = 0 ] || return 0
  if [ $# -gt 0 ]; then "$@" 2>/dev/null || true; else kill "$_VEXA_PID" 2>/dev/null || return 0; fi
  while kill -0 "$_VEXA_PID" 2>/dev/null; do sleep 0.05; done
}

# True when this harness's Xvfb is alive; its display goes to _VEXA_XVFB_DISPLAY.
_vexa_xvfb_up() {
  local display
  _vexa_alive xvfb Xvfb || return 1
  [ -r "$WINEPREFIX/.vexa-xvfb.display" ] && read -r display <"$WINEPREFIX/.vexa-xvfb.display" || return 1
  [[ $display =~ ^[0-9]+$ ]] && [ -S "/tmp/.X11-unix/X$display" ] || return 1
  _VEXA_XVFB_DISPLAY=:$display
}

# Starts the Xvfb of this prefix unless it runs; Xvfb picks a free display
# and writes its number to the file. Nothing of the caller's stays open in
# it: it outlives the caller, and a pipe it held would never close.
_vexa_xvfb_start() {
  local pid tries=0
  _vexa_xvfb_up && return 0
  command -v Xvfb >/dev/null || { echo "wine-env: Xvfb is not installed (package xvfb)" >&2; return 1; }
  rm -f "$WINEPREFIX/.vexa-xvfb.display"
  (
    _vexa_close_extra_fds
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
      </dev/null >"$WINEPREFIX.xvfb.log" 2>&1 3>"$WINEPREFIX/.vexa-xvfb.display" &
    echo $! >"$WINEPREFIX/.vexa-xvfb.pid"
  )
  read -r pid <"$WINEPREFIX/.vexa-xvfb.pid"
  until _vexa_xvfb_up; do
    tries=$((tries + 1))
    if ! kill -0 "$pid" 2>/dev/null || [ $tries -ge 200 ]; then
      echo "wine-env: Xvfb did not start:" >&2
      cat "$WINEPREFIX.xvfb.log" >&2
      return 1
    fi
    sleep 0.05
  done
}
# Decides how this run's windows are shown:
#  - tests (VEXA_WINE_XVFB=1, as CTest sets it): X11 on the harness's own
#    Xvfb, started once per prefix, so dialogs really draw and can be
#    screenshot;
#  - a run from a shell with a DISPLAY: X11 on that display;
#  - any other run: the harness's Xvfb while it is up (a run beside the
#    tests must not restart their session), else the null driver, which
#    needs no X server and draws nothing.
_vexa_wine_choose_display() {
  _VEXA_WINE_OWN_X=
  if [ -n "${VEXA_WINE_XVFB:-}" ] || { [ -z "$_VEXA_CALLER_DISPLAY" ] && _vexa_xvfb_up; }; then
    _VEXA_WINE_OWN_X=1
  fi
  VEXA_WINE_GRAPHICS=null
  [ -z "$_VEXA_WINE_OWN_X$_VEXA_CALLER_DISPLAY" ] || VEXA_WINE_GRAPHICS=x11
}

# Exports the DISPLAY that _vexa_wine_choose_display chose.
_vexa_wine_export_display() {
  if [ -n "$_VEXA_WINE_OWN_X" ]; then
    _vexa_xvfb_up || return 1
    export DISPLAY=$_VEXA_XVFB_DISPLAY
  elif [ -n "$_VEXA_CALLER_DISPLAY" ]; then
    export DISPLAY=$_VEXA_CALLER_DISPLAY
  else
    unset DISPLAY
  fi
}

# True when the running session was started with the DISPLAY now exported:
# every process of a session must use the same one (explorer.exe keeps the
# first one's).
_vexa_wine_session_matches() {
  local display
  [ -r "$WINEPREFIX/.vexa-wineserver.display" ] && read -r display <"$WINEPREFIX/.vexa-wineserver.display" &&
    [ "$display" = "${DISPLAY:-none}" ]
}


# Where the server listens, into _VEXA_WINE_SOCKET. Debian's wineserver keeps
# its directory's name in the prefix; upstream uses /tmp/.wine-UID. Only
# builtins once the prefix's device and inode are known: this runs before
# every program.
_vexa_wine_find_socket() {
  local dir=/tmp/.wine-$UID device inode
  if [ "${_VEXA_WINE_ID_OF:-}" != "$WINEPREFIX" ]; then
    read -r device inode < <(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null)
    [ -n "$inode" ] || return 1
    printf -v _VEXA_WINE_ID 'server-%x-%x' "$device" "$inode"
    _VEXA_WINE_ID_OF=$WINEPREFIX
  fi
  if [ -r "$WINEPREFIX/wineserver" ]; then
    read -r dir <"$WINEPREFIX/wineserver"
    dir=${TMPDIR:-/tmp}/$dir
  fi
  _VEXA_WINE_SOCKET=$dir/$_VEXA_WINE_ID/socket
}

# True when the server this harness started is alive and listening.
_vexa_wine_server_up() {
  _vexa_alive wineserver "${WINESERVER##*/}" && _vexa_wine_find_socket && [ -S "$_VEXA_WINE_SOCKET" ]
}

# Makes the prefix once, and applies the settings whenever they changed.
# Runs under the lock; every Wine process here closes fd 9 so the lock dies
# with this shell, not with services.exe.
_vexa_wine_prepare_prefix() {
  local log=$WINEPREFIX.log settings reg=$WINEPREFIX/.vexa-settings.reg
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: creating the Wine prefix $WINEPREFIX (once, about 15 s)" >&2
    # Made with Wine's own winspool and mpr: the stand-ins live in bin/ only.
    WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" wineboot -i </dev/null >"$log" 2>&1 9>&- ||
      { cat "$log" >&2; return 1; }
    "$WINESERVER" -w 9>&- || true
  fi
  settings=$(_vexa_wine_settings)
  [ "$(cat "$WINEPREFIX/.vexa-settings" 2>/dev/null)" = "$settings" ] && return 0
  # Windows are set up by the desktop process when a session starts, so
  # the session must end before a new choice can take effect.
  _vexa_wine_stop_server 9>&-
  printf '%s\n' "$settings" >"$reg"
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINELOADER" regedit /s "Z:${reg//\//\\}" </dev/null >"$log" 2>&1 9>&- ||
    { cat "$log" >&2; return 1; }
  "$WINESERVER" -w 9>&- || true
  printf '%s\n' "$settings" >"$WINEPREFIX/.vexa-settings"
}
_vexa_wine_start_server() {
  local pid tries=0
  _vexa_wine_server_up && return 0
  # -f keeps it in the foreground of this background job, so its pid is ours
  # to stop; -p60 keeps it up for a minute after the last program exits.
  (
    _vexa_close_extra_fds
    "$WINESERVER" -f -p60 </dev/null >/dev/null 2>&1 &
    echo $! >"$WINEPREFIX/.vexa-wineserver.pid"
  )
  printf '%s\n' "${DISPLAY:-none}" >"$WINEPREFIX/.vexa-wineserver.display"
  pid=$(cat "$WINEPREFIX/.vexa-wineserver.pid")
  until _vexa_wine_find_socket && [ -S "$_VEXA_WINE_SOCKET" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
      # Another server (not ours) owns the prefix; use it as it is.
      rm -f "$WINEPREFIX/.vexa-wineserver.pid"
      break
    fi
    tries=$((tries + 1))
    [ $tries -lt 200 ] || { echo "wine-env: wineserver did not start" >&2; return 1; }
    sleep 0.05
  done
  # The first program of a server session hands its stdout and stderr on to
  # services.exe, explorer.exe and friends, which outlive it: a pipe given to
  # that program never closes. A throw-away program takes that role here,
  # with a file for output, so real programs can be given live pipes.
  (
    _vexa_close_extra_fds
    exec "$WINELOADER" reg query 'HKCU\Software\Wine\Drivers' </dev/null >"$WINEPREFIX.warmup.log" 2>&1
  )
  return 0
}

vexa_wine_setup() {
  _vexa_wine_choose_display
  if [ -r "$WINEPREFIX/.vexa-settings" ] && [ "$(<"$WINEPREFIX/.vexa-settings")" = "$(_vexa_wine_settings)" ] &&
    _vexa_wine_export_display && _vexa_wine_server_up && _vexa_wine_session_matches; then
    return 0
  fi
  mkdir -p "${WINEPREFIX%/*}" || return
  (
    flock 9 || exit 1
    _vexa_wine_prepare_prefix || exit 1
    if [ -n "$_VEXA_WINE_OWN_X" ]; then _vexa_xvfb_start || exit 1; fi
    _vexa_wine_export_display || exit 1
    # A session on another display (or none, or a gone Xvfb) cannot show
    # this run's windows.
    if _vexa_wine_server_up && ! _vexa_wine_session_matches; then _vexa_wine_stop_server 9>&-; fi
    _vexa_wine_start_server
  ) 9>"$WINEPREFIX.lock" || return
  _vexa_wine_export_display
}

_vexa_wine_stop_server() { _vexa_stop wineserver "${WINESERVER##*/}" "$WINESERVER" -k 9>&-; }

# Ends the session of the server vexa_wine_setup started: every program of
# the prefix, services.exe and the others included (a plain SIGTERM to the
# server would leave those behind, orphaned); then the Xvfb they drew on.
vexa_wine_stop() {
  _vexa_wine_stop_server
  _vexa_stop xvfb Xvfb
}

# Runs a Windows program with this shell's stdin, stdout and stderr, so a
# session streams as it goes, and returns its exit status.
vexa_wine_exe() {
  local exe=${1:?usage: vexa_wine_exe EXE [ARGS]}
  shift
  [[ $exe == */* ]] || exe=$VEXA_BIN/$exe
  [ -f "$exe" ] || { echo "wine-env: no such program: $exe" >&2; return 127; }
  vexa_wine_setup || return
  "$WINELOADER" "$exe" "$@"
}

# SETUP.EXE's record of its last /S run, in Wine's temporary folder.
vexa_setup_log() {
  local user=${USER:-$(id -un)} temp
  for temp in Temp AppData/Local/Temp; do
    [ -f "$WINEPREFIX/drive_c/users/$user/$temp/SETUP.LOG" ] || continue
    printf '%s' "$WINEPREFIX/drive_c/users/$user/$temp/SETUP.LOG"
    return 0
  done
  return 1
}

# Installs the monitor as a user does: SETUP.EXE /S ARGS from bin/, where it
# sits beside the DLL and INI files as in the release. Its exit status (3010,
# "restart to finish", reaches Linux as 194); the log on stderr when it failed.
vexa_install() {
  local status=0
  vexa_wine_setup || return
  "$WINELOADER" "$VEXA_BIN/SETUP.EXE" /S "$@" </dev/null || status=$?
  case $status in
    0 | 194) ;;
    *) echo "wine-env: SETUP.EXE /S $* failed (exit $status):" >&2
       tr -d '\r' <"$(vexa_setup_log || echo /dev/null)" >&2 ;;
  esac
  return $status
}

# SETUP.EXE, unless the system folder holds this build's DLL already.
vexa_ensure_installed() {
  vexa_wine_setup || return
  cmp -s "$VEXA_BIN/Vexamon.dll" "$WINEPREFIX/drive_c/windows/system32/Vexamon.dll" ||
    vexa_install
}

vexa_spool() {
  vexa_ensure_installed || return
  "$WINELOADER" "$VEXA_BIN/vexaspool.exe" "$@"
}

# Forgets the ports the monitor saved: the next start of the monitor finds
# none. One Wine process, no monitor involved.
vexa_reset_ports() {
  vexa_wine_setup || return
  "$WINELOADER" reg delete "$VEXA_MONITOR_KEY\\Ports" /f </dev/null >/dev/null 2>&1 || true
}
