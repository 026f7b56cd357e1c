#!/bin/bash
# The printer search and the print server's queue name query end to end, in
# a network lab of the test's own (tests/peers/lan.sh): real snmpd agents
# and a test print server on a bridge in network namespaces that have no
# link to the host's. The search broadcasts to 255.255.255.255, and Wine
# sends from the wineserver's namespace, so this script starts the prefix's
# wineserver inside the lab and proves it before any test program runs;
# the test program proves it once more itself (tests/wine/lab/lab_main.cpp).
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/lan.sh"

lab_server=
stop_lab_server() {
  [ -n "$lab_server" ] || return 0
  lan_exec "$WINESERVER" -k 9>&- 2>/dev/null || true
  for _ in $(seq 1 100); do kill -0 "$lab_server" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$lab_server" 2>/dev/null || true
  lab_server=
}
trap 'stop_lab_server; lan_down' EXIT
trap 'exit 1' INT TERM HUP

refuse() {
  echo "discovery_test: refusing to run: $*"
  exit 1
}

# --- a wineserver inside the lab, before anything answers -----------------------
lan_up || refuse "no lab network"
query_logs=$LAN_DIR/query
udp_logs=$LAN_DIR/udp
lan_check_isolated || refuse "the lab is not isolated"
# A guard that cannot see a way out guards nothing: a link whose other end is
# no namespace of the lab's, an address outside it.
guard_sees() {
  ip -n "$LAN_NS" $1 && ! lan_check_isolated 2>/dev/null && ip -n "$LAN_NS" $2 ||
    refuse "the isolation check does not see 'ip $1'"
}
guard_sees "link add stray0 type veth peer name stray1" "link del stray0"
guard_sees "addr add 192.168.77.1/24 dev vbr0" "addr del 192.168.77.1/24 dev vbr0"
# Prefix, settings and X display as every Wine test has them; the server this
# starts outside the lab is stopped again before anything can broadcast.
vexa_wine_setup || refuse "no Wine"
vexa_ensure_installed || refuse "SETUP.EXE did not install the monitor"
_vexa_wine_stop_server
_vexa_wine_find_socket || refuse "no prefix"
server_dir=${_VEXA_WINE_SOCKET%/socket}
# No server of this prefix may run anywhere else: every program of the
# prefix would connect to it and send from the host's namespace.
for pid in $(pgrep -x "${WINESERVER##*/}"; pgrep -x wineserver); do
  [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" != "$server_dir" ] ||
    refuse "wineserver $pid of this prefix runs outside the lab"
done
(
  _vexa_close_extra_fds
  lan_spawn "$WINESERVER" -f -p60 </dev/null >/dev/null 2>&1
  echo "$LAN_PID" >"$LAN_DIR/wineserver.pid"
)
read -r lab_server <"$LAN_DIR/wineserver.pid"
# The socket of the server stopped above may still be there: the new server
# serves the prefix once it runs in the prefix's server folder.
serving() {
  [ "$(readlink "/proc/$lab_server/cwd" 2>/dev/null)" = "$server_dir" ] && [ -S "$_VEXA_WINE_SOCKET" ]
}
for _ in $(seq 1 200); do serving && break; sleep 0.05; done
serving || refuse "wineserver $lab_server does not serve this prefix"
lan_pid_in_ns "$lab_server" || refuse "wineserver $lab_server is not in the lab's namespace"
! lan_pid_in_ns $$ || refuse "the namespace check takes the host's namespace for the lab's"
# The session's first program hands its output on to services.exe and the
# others, which outlive it: that must not be a pipe of the test's.
(
  _vexa_close_extra_fds
  lan_exec "$WINELOADER" reg query 'HKCU\Software\Wine\Drivers' </dev/null >"$LAN_DIR/warmup.log" 2>&1
)

export VEXA_LAN_CLIENT=$LAN_CLIENT_ADDR VEXA_LAN_LOG_DIR=$udp_logs
export VEXA_QUERY_LOG_DIR=$query_logs VEXA_QUERY_SERVER=10.77.0.11
# run FILTER: the lab's test program in the lab, one process per filter,
# once the lab (with whatever joined it since) is proven isolated again.
run() {
  lan_check_isolated || refuse "the lab is not isolated"
  lan_exec timeout 120 "$WINELOADER" "$VEXA_BIN/discovery_wine_tests.exe" \
    --gtest_filter="$1" --gtest_brief=1 </dev/null 2>&1 | grep -v '^Note: Google Test filter'
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$1"
}

run 'SearchLab.OkBeforeAnyAnswerChoosesNothing'

# --- agents and a print server ----------------------------------------------------
long_description="harlune LX-9000 $(printf 'w%.0s' $(seq 1 184))"
lan_agent a 10.77.0.11 "Harlune LX-4020 network printer" 008077123456 || refuse "agent a"
lan_agent b 10.77.0.12 "Othermaker OfficeJet 9" 001122334455 || refuse "agent b"
lan_agent c 10.77.0.13 "HARLUNE LX-4020 second interface" 008077123456 || refuse "agent c"
lan_agent d 10.77.0.14 "$long_description" 008077aabb01 || refuse "agent d"
lan_agent e 10.77.0.15 "Harlune LX-100 no hardware address" "" || refuse "agent e"

# The print server answers on one port per behaviour (see queue_query_test.cpp).
lan_queue_server a "$query_logs" \
  10.77.0.11:19541:one 10.77.0.11:19542:three:LPT1,COM1,LPT2,SIO,PRN \
  10.77.0.11:19543:wrong-offset 10.77.0.11:19544:silent 10.77.0.11:19545:big \
  10.77.0.11:19546:one:prn,Printer 10.77.0.11:19547:one:LPT12,FOO \
  10.77.0.11:19548:wrong-type || refuse "no print server"

# The user's own broadcast addresses point at two listeners on the client's
# loopback, which log each datagram as hex.
mkdir -p "$udp_logs"
for address in 127.0.0.2 127.0.0.3; do
  lan_spawn /usr/bin/python3 -S -u -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 161))
open(sys.argv[2] + ".ready", "w").close()
while True:
    data = s.recv(4096)
    with open(sys.argv[2], "a") as log:
        log.write(data.hex() + "\n")
' "$address" "$udp_logs/$address.log" </dev/null >/dev/null 2>&1
done
for address in 127.0.0.2 127.0.0.3; do
  for _ in $(seq 1 100); do [ -e "$udp_logs/$address.log.ready" ] && break; sleep 0.05; done
  [ -e "$udp_logs/$address.log.ready" ] || refuse "no listener on $address"
done

run 'QueueQuery.*:QueueList.*'
for test in ListsEachHarlunePrinterOnceAndHandsBackTheChosenOne ColumnClicksSortAsAUserExpects \
  SearchAgainListsTheAnswersAfresh ColumnWidthsAreKeptAndDamagedOnesIgnored; do
  run "SearchLab.$test"
done

# --- vexaspool search: the wizard's Search button, a pick, its queue list ----------
# Agents a and c share a hardware address, so the first row is whichever
# answered first: both get a print server that names LPT1 and COM1.
lan_queue_server c "$LAN_DIR/query-c" 10.77.0.13:19541:one || refuse "no print server on c"
spool_in_lab() {
  lan_check_isolated || refuse "the lab is not isolated"
  lan_exec timeout 120 "$WINELOADER" "$VEXA_BIN/vexaspool.exe" \
    --answer cancel "$@" </dev/null 2>&1
}
out=$(spool_in_lab search --wait 2000 --pick 1)
first=$(head -1 <<<"$out" | cut -f1)
expect "search --pick 1: the rows, then the queues the first printer's server offers" \
  "$first	00:80:77:12:34:56	$([ "$first" = 10.77.0.11 ] && echo "Harlune LX-4020 network printer" || echo "HARLUNE LX-4020 second interface")
10.77.0.14	00:80:77:aa:bb:01	${long_description:0:127}
10.77.0.15	4e:55:4c:4c:00:00	Harlune LX-100 no hardware address
lp_p1
lp_s1" "$out"

need lan_responder hostile 10.77.1.1 1 hostile
hostile=${LAN_PIDS[-1]}
need lan_responder hrdevice 10.77.1.2 1 hrdevice
hrdevice=${LAN_PIDS[-1]}
VEXA_HOSTILE_MANIFEST=$(lan_dir hostile)/hostile.txt run 'SearchLab.SurvivesHostileAnswers'
kill "$hostile" "$hrdevice" 2>/dev/null || true

need lan_responder crowd 10.77.2.1 130 many
run 'SearchLab.ListsNoMoreThan128Printers'

stop_lab_server
lan_down
[ -z "$(ip netns list | grep "^vexalan-$$-")" ] || fail "lan_down left namespaces of the lab behind"

finish discovery_test
