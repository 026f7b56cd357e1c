#!/bin/bash
# Proves the discovery lab of lan.sh with ordinary tools before any test of
# the monitor relies on it: the namespaces are isolated (and the check says
# so when they are not), real snmpd agents answer the printer search's
# broadcast with the configured sysDescr and MAC, the hand-written responders
# answer as documented, and processes are proven inside the client namespace.
# The test print server is proven by the queue query tests themselves, which
# check every packet it logged.
# Prints "N passed, N failed".
set -u
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/lan.sh"
work=$(mktemp -d)
trap 'lan_down; rm -rf "$work"' EXIT
# Without these the shell dies on a signal without running the EXIT trap.
trap 'exit 1' INT TERM HUP

passed=0 failed=0
t0=$(date +%s%N)
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
section() { echo "== $1 (at $(ms "$t0") ms)"; }

# check NAME WANT GOT
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
    echo "ok   $1"
  else
    failed=$((failed + 1))
    echo "FAIL $1"
    echo "     want: ${2//$'\n'/$'\n'           }"
    echo "     got:  ${3//$'\n'/$'\n'           }"
  fi
}

py() { /usr/bin/python3 -S "$@"; }
probe() { lan_exec /usr/bin/python3 -S "$HERE/snmp_probe.py" "$@" 2>&1; }

section "lan_up"
# Other tests on this machine may add interfaces of their own: look for ours.
ours_in_host() { ip -o link show | grep -cE '^[0-9]+: (vbr0|lv[0-9]+|stray0)[:@]'; }
start=$(date +%s%N)
lan_up || { echo "FAIL lan_up"; exit 1; }
echo "     up after $(ms "$start") ms"
check "none of its interfaces is in the host namespace" 0 "$(ours_in_host)"
lan_check_isolated 2>"$work/why"
check "isolated" "0 " "$? $(cat "$work/why")"
ip -n "$LAN_NS" link add stray0 type veth peer name stray1
lan_check_isolated 2>"$work/why"
check "a veth whose other end is not in a lab namespace is reported" "1 stray0" \
  "$? $(grep -o 'stray0' "$work/why" | head -n 1)"
ip -n "$LAN_NS" link del stray0
ip -n "$LAN_NS" link add stray0 type bridge
lan_check_isolated 2>"$work/why"
check "a second bridge is reported" "1 stray0" "$? $(grep -o 'interface stray0' "$work/why" | cut -c11-)"
ip -n "$LAN_NS" link del stray0
ip -n "$LAN_NS" addr add 192.168.77.1/24 dev vbr0
lan_check_isolated 2>"$work/why"
check "an address outside 10.77 is reported" "1 192.168.77.1/24" \
  "$? $(grep -o '192.168.77.1/24' "$work/why" | head -n 1)"
ip -n "$LAN_NS" addr del 192.168.77.1/24 dev vbr0
lan_check_isolated 2>/dev/null
check "isolated again" 0 $?
py "$HERE/snmp_probe.py" --wait 0 >/dev/null 2>&1
check "the probe refuses to run in the host namespace" 2 $?

section "snmpd agents"
MAC1=008077123456 MAC2=00807700beef MAC4=008077000200
LONG="Harlune $(printf '%0192d' 0 | tr 0 L)"
start=$(date +%s%N)
lan_agent harlune 10.77.0.11 "Harlune LX-4020 network printer" "$MAC1" &&
  lan_agent other 10.77.0.12 "Othermaker Office Jet 9" "$MAC2" &&
  lan_agent twin 10.77.0.13 "Harlune LX-4020 second unit" "$MAC1" &&
  lan_agent long 10.77.0.14 "$LONG" "$MAC4" || { echo "FAIL an agent did not start"; exit 1; }
echo "     four agents answering after $(ms "$start") ms"
lan_agent nomac 10.77.0.15 "harlune lx-10 without a MAC" "" || { echo "FAIL agent nomac"; exit 1; }
lan_agent toolong 10.77.0.16 "$LONG$LONG" "" 2>/dev/null
check "a sysDescr snmpd cannot hold is refused" 1 $?
lan_agent dup 10.77.0.11 "Harlune" "" 2>/dev/null
check "an address already taken is refused" 1 $?
lan_check_isolated 2>"$work/why"
check "isolated with agents" "0 " "$? $(cat "$work/why")"
check "a 200-character description" 200 "${#LONG}"

agents="10.77.0.11 00:80:77:12:34:56 Harlune LX-4020 network printer
10.77.0.12 00:80:77:00:be:ef Othermaker Office Jet 9
10.77.0.13 00:80:77:12:34:56 Harlune LX-4020 second unit
10.77.0.14 00:80:77:00:02:00 $LONG
10.77.0.15 none harlune lx-10 without a MAC"
# The first broadcast right after the agents came up: no settling time.
check "the first broadcast: each agent once, its MAC and whole description" "$agents" \
  "$(probe --wait 1 --count 5 | sort)"
lost=0
for i in 1 2 3 4 5; do
  [ "$(probe --wait 1 --count 5 | sort)" = "$agents" ] || lost=$((lost + 1))
done
check "five broadcasts more, every agent answers every one" 0 "$lost"
# net-snmp answers from the address a request was sent to, and no datagram
# can leave from x.255: a directed broadcast needs the responders.
check "snmpd does not answer the subnet's broadcast address" "" "$(probe --to 10.77.0.255 --wait 0.5)"
check "a unicast request reaches one agent" "10.77.0.12 00:80:77:00:be:ef Othermaker Office Jet 9" \
  "$(probe --to 10.77.0.12 --wait 0.5)"

section "responders"
start=$(date +%s%N)
lan_responder many 10.77.1.1 5 many &&
  lan_responder hostile 10.77.0.60 1 hostile || { echo "FAIL a responder did not start"; exit 1; }
echo "     two responders ready after $(ms "$start") ms"
lan_responder edge 10.77.2.250 10 many 2>/dev/null
check "a range over a /24's broadcast address is refused" 1 $?
lan_check_isolated 2>"$work/why"
check "isolated with responders" "0 " "$? $(cat "$work/why")"
got=$(probe --to 10.77.1.3 --wait 1 --count 5)
want=$(for k in 1 2 3 4 5; do echo "10.77.1.$k 02:00:00:00:00:0$k Harlune LX-9000 responder #$k"; done)
check "many: five answers, one from each address, each its MAC" "$want" "$(sort <<<"$got")"
check "many: the unicast request is logged with its destination" \
  "request from 10.77.0.1 to 10.77.1.3 id=0 pdu=0xA1 bytes=98" \
  "$(sed -n '1s/:[0-9]* to / to /p' "$(lan_dir many)/responder.log")"

got=$(probe --to 10.77.0.60 --wait 3 --until "Harlune sentinel")
manifest=$(lan_dir hostile)/hostile.txt
check "hostile: the sentinel comes last" "10.77.0.60 02:00:00:00:ff:ff Harlune sentinel" \
  "$(tail -n 1 <<<"$got")"
check "hostile: every datagram of the manifest arrived, then the sentinel" \
  "$(($(wc -l <"$manifest") + 1))" "$(wc -l <<<"$got")"
# An independent strict decoder must agree with the responder's verdicts:
# what it calls reject is no usable answer, what it calls valid is one.
verdicts=$(paste -d '|' <(head -n -1 <<<"$got") "$manifest" | awk -F '|' '
  { split($2, m, " "); verdict = m[2]; answer = ($1 ~ / 02:00:00:00:fe:/) }
  verdict == "reject" && answer { print "reject answered:", $0 }
  verdict == "valid" && !answer { print "valid refused:", $0 }
  verdict == "valid" && index($1, " Harlune hostile " m[1] " ") == 0 { print "valid out of order:", $0 }
  { n[verdict]++ }
  END { printf "reject %d valid %d open %d\n", n["reject"], n["valid"], n["open"] }')
check "hostile: the probe's decoder agrees with the manifest" "reject 10 valid 2 open 68" "$verdicts"
check "hostile: the 4000-byte datagrams are among them" 2 "$(grep -c ' bytes=4000 ' "$manifest")"
check "the subnet's broadcast address reaches a responder in the client's /24" \
  "$(wc -l <<<"$got") 10.77.0.60 02:00:00:00:ff:ff Harlune sentinel" \
  "$(probe --to 10.77.0.255 --wait 3 --until "Harlune sentinel" | { mapfile -t l; echo "${#l[@]} ${l[-1]}"; })"
lan_directed 10.77.1.255
check "with lan_directed, another /24's broadcast address reaches the responder there" "$want" \
  "$(probe --to 10.77.1.255 --wait 1 --count 5 | sort)"
check "which sees it as sent to that address" 1 "$(grep -c ' to 10.77.1.255 ' "$(lan_dir many)/responder.log")"

got=$(probe --wait 2 --count 91)
check "one broadcast: 5 agents, 5 addresses of many, 81 hostile datagrams" 91 "$(wc -l <<<"$got")"
check "the broadcast reached the responders as a broadcast" 2 \
  "$(cat "$(lan_dir many)/responder.log" "$(lan_dir hostile)/responder.log" | grep -c ' to 255.255.255.255 ')"

section "processes in the namespaces"
lan_spawn sleep 30
check "lan_spawn's PID is the command's" sleep "$(cat "/proc/$LAN_PID/comm")"
lan_pid_in_ns "$LAN_PID"
check "a process started by lan_spawn is in the client namespace" 0 $?
check "its namespace inode is the client's" "$(lan_netns_inode)" "$(stat -L -c %i "/proc/$LAN_PID/ns/net")"
lan_pid_in_ns $$
check "this shell is not" 1 $?
snmpd_pid=$(cat "$(lan_dir harlune)/snmpd.pid")
check "an agent's snmpd lives in its own namespace" "$(lan_netns_inode harlune)" \
  "$(stat -L -c %i "/proc/$snmpd_pid/ns/net")"
lan_pid_in_ns "$snmpd_pid"
check "not in the client's" 1 $?
check "lan_exec runs in the client namespace" "$(lan_netns_inode)" "$(lan_exec stat -L -c %i /proc/self/ns/net)"

section "lan_down"
ip netns exec "$LAN_NS" sleep 60 &
stray=$!
pids=$(cat "$(lan_dir harlune)/snmpd.pid") spawned=$LAN_PID
namespaces=$(ip netns list | grep -c "^vexalan-$$-")
check "five agents, two responders and the client namespace existed" 8 "$namespaces"
start=$(date +%s%N)
(set -e; lan_down 2>/dev/null; lan_down)
lan_down 2>/dev/null
echo "     down after $(ms "$start") ms"
alive=
for pid in $pids $spawned $stray; do kill -0 "$pid" 2>/dev/null && alive+=" $pid"; done
check "every process stopped, the unrecorded one too" "" "$alive"
check "every namespace deleted" 0 "$(ip netns list | grep -c "^vexalan-$$-")"
check "none of its interfaces is left in the host namespace" 0 "$(ours_in_host)"
section end
echo "lan: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
