#!/bin/bash
# vexaspool and its stand-ins under Wine: sessions that stream through pipes
# (even as the first program of a new Wine session), exit statuses, the
# stand-in network as the monitor sees it, and boxes answered by --answer.
set -u
source "$(dirname "$0")/lib.sh"

TAB=$'\t'
LPT2_LINE="LPT2:${TAB}Vexa Network Printer Port${TAB}\\\\server\\queue${TAB}5"

# --- the stand-ins' own rules (buffers, error codes, events under threads) ---
vexa_wine_exe standin_check.exe || fail "standin_check.exe"

# --- install, and resetting the saved ports ----------------------------------
vexa_spool install || fail "install"
query=$("$WINELOADER" reg query "$VEXA_MONITOR_KEY" 2>&1 | tr -d '\r')
expected_path="Z:${VEXA_BIN//\//\\}"
grep -qE "^ +Driver +REG_SZ +Vexamon\.dll$" <<<"$query" || fail "Driver value: $query"
grep -qF "InstallPath    REG_SZ    $expected_path" <<<"$query" && ! grep -q 'bin\\$' <<<"$query" ||
  fail "InstallPath is not $expected_path: $query"
"$WINELOADER" reg add "$VEXA_MONITOR_KEY\\Ports\\Stale" /f >/dev/null 2>&1
vexa_reset_ports
"$WINELOADER" reg query "$VEXA_MONITOR_KEY\\Ports" >/dev/null 2>&1 && fail "Ports key survived vexa_reset_ports"

# --- a session as the first program of a new server session ------------------
# The first Wine program of a session hands its output to services.exe and
# friends; were that our pipe, it would stay open long after vexaspool ends.
# "timeout cat" turns such a hang into a failure instead of a CTest timeout.
vexa_wine_stop
out=$(printf '%s\n' 'net connect LPT2 \\server\queue' ports 'open NOSUCH:' |
  vexa_spool - 2>&1 | timeout 60 cat
  echo "status ${PIPESTATUS[1]} ${PIPESTATUS[2]}")
status_line=${out##*$'\n'}
out=${out%$'\n'*}
[ "$status_line" != "status 1 124" ] || fail "the session's output pipe was still open after 60 s"
expect "session exits with its last command's status" "status 1 0" "$status_line"
expect "fresh session output" "ok
$LPT2_LINE
ok" "$(head -3 <<<"$out")"
[[ $(tail -1 <<<"$out") =~ ^error\ [0-9]+$ ]] || fail "open of an unknown port: $(tail -1 <<<"$out")"

# --- one command per run: exit status and stderr -----------------------------
err=$(vexa_spool open NOSUCH: 2>&1 >/dev/null)
expect "failed command exits 1" 1 $?
[[ $err =~ ^error\ [0-9]+$ ]] || fail "failed command's stderr: $err"
vexa_spool frobnicate >/dev/null 2>&1
expect "unknown command exits 2" 2 $?
vexa_spool ports --level x >/dev/null 2>&1
expect "a level that is no number exits 2" 2 $?
out=$(vexa_spool ports --level 1 2>&1)
expect "no connection in a new process, no network port" "" "$out"

# --- a session in lock step: each reply arrives before the next command -------
session_start --answer yes

ask 'net connect LPT2 \\server\queue'
expect "connect" "ok" "$reply"
ask 'ports --buffer 10'
needed=$(sed -n 's/^needed //p' <<<"$reply")
expect "ports with too small a buffer" "needed $needed
error 122" "$reply"
ask "ports --buffer $needed"
expect "ports with exactly the size needed" "needed $needed
$LPT2_LINE
ok" "$reply"
ask 'ports --level 1'
expect "ports level 1" "LPT2:
ok" "$reply"
ask 'net disconnect LPT9'
expect "disconnect what is not connected" "error 2250" "$reply"
ask 'box yesno "Default" "answered by the session"'
expect "session-wide --answer" "box: Default | answered by the session
pressed yes
ok" "$reply"
ask '--answer retry box retrycancel "Two lines" "first\nsecond"'
expect "box text keeps its line break" "box: Two lines | first
second
pressed retry
ok" "$reply"
ask '--answer cancel box ok "Only OK" "x"'
expect "an absent button falls back to the only one" "box: Only OK | x
pressed ok
ok" "$reply"
ask '--answer retry box yesno "No retry" "y"'
expect "an absent button falls back to the default one" "box: No retry | y
pressed yes
ok" "$reply"
ask 'frobnicate'
expect "unknown command in a session" "usage: unknown command or option
error 87" "$reply"
session_end
expect "session exits with its last command's status (usage)" 2 $?

finish host_session
