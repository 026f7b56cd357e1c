# shellcheck shell=bash
# A private IPv4 LAN for the printer discovery tests: network namespaces made
# here and joined by veth pairs to one bridge, with no link and no route to
# the host's namespace, so the monitor's broadcasts cannot leave the machine.
# Everything lives in 10.77.0.0/16; the host namespace must hold none of it.
#   lan_up                        client namespace LAN_NS with bridge vbr0, 10.77.0.1/24,
#                                 default route on vbr0; exports LAN_NS, LAN_CLIENT_ADDR
#   lan_agent NAME IP DESCR MAC   a namespace at IP/24 running snmpd (community mevola)
#                                 with sysDescr DESCR and ifPhysAddress MAC (12 hex
#                                 digits; "" leaves snmpd's own empty value)
#   lan_responder NAME FIRST COUNT MODE
#                                 a namespace holding COUNT addresses from FIRST (in one
#                                 /24) running snmp_responder.py (modes many, hostile,
#                                 hrdevice); its log and hostile manifest in $(lan_dir NAME)
#   lan_queue_server NAME DIR ENDPOINT...
#                                 queue_server.py inside namespace NAME (an agent or
#                                 responder), e.g. ENDPOINT 10.77.0.20:19541:one
#   lan_exec CMD...               CMD in the client namespace, in the foreground
#   lan_spawn CMD...              CMD in the client namespace, in the background; its PID
#                                 (the command's own, once it runs) in LAN_PID, stopped
#                                 by lan_down
#   lan_dir NAME                  the private folder of NAME (its logs)
#   lan_check_isolated            0 when no namespace made here reaches the host's;
#                                 says why otherwise
#   lan_pid_in_ns PID             0 when PID runs in the client namespace
#   lan_down                      stops every process, deletes every namespace; safe twice
# Each returns non-zero, saying why, when what it starts does not come up.
# Source it, call lan_up, and call lan_down from an EXIT trap.

LAN_PEER_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
LAN_NET=10.77
LAN_CLIENT_ADDR=10.77.0.1
# A fixed bridge address: a bridge otherwise takes the lowest address of its
# ports, which changes as agents join and leaves their ARP caches stale.
LAN_BRIDGE_MAC=02:77:00:00:00:01
LAN_NS=
LAN_DIR=
LAN_PID=
LAN_PIDS=()
LAN_NAMESPACES=()
declare -gA LAN_NS_OF=() LAN_INODES=()

_lan_fail() {
  echo "lan: $*" >&2
  return 1
}

_lan_host_clean() {
  local found
  found=$(ip -o -4 addr show | awk -v net="$LAN_NET." 'index($4, net) == 1 { print $2, $4 }')
  [ -z "$found" ] || _lan_fail "the host namespace holds $LAN_NET.x.x addresses: $found"
}

# _lan_new_ns NS: a namespace of that name, loopback up, IPv6 off (no
# router or neighbour solicitations to confuse a capture), recorded for lan_down.
_lan_new_ns() {
  [ -e "/run/netns/$1" ] && { _lan_fail "namespace $1 exists already"; return 1; }
  ip netns add "$1" || return 1
  LAN_NAMESPACES+=("$1")
  LAN_INODES[$1]=$(stat -L -c %i "/run/netns/$1") || return 1
  ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 \
    net.ipv6.conf.default.disable_ipv6=1 >/dev/null || return 1
  ip -n "$1" link set lo up
}

lan_up() {
  [ -z "$LAN_NS" ] || { _lan_fail "lan_up called twice"; return 1; }
  _lan_host_clean || return 1
  LAN_DIR=$(mktemp -d /tmp/vexalan.XXXXXX) || return 1
  chmod 755 "$LAN_DIR"
  _lan_new_ns "vexalan-$$-client" || return 1
  LAN_NS="vexalan-$$-client"
  ip -n "$LAN_NS" link add vbr0 address "$LAN_BRIDGE_MAC" type bridge &&
    ip -n "$LAN_NS" addr add "$LAN_CLIENT_ADDR/24" brd + dev vbr0 &&
    ip -n "$LAN_NS" link set vbr0 up &&
    # Without a default route sendto 255.255.255.255 fails with ENETUNREACH;
    # on-link, so any 10.77 address is reached through the bridge.
    ip -n "$LAN_NS" route add default dev vbr0 || return 1
  export LAN_NS LAN_CLIENT_ADDR
}

# _lan_join NAME: namespace for NAME, a veth pair whose client end is a
# bridge port and whose other end is eth0 there, default route on eth0.
# Created inside the two namespaces, so no interface ever appears in the host's.
_lan_join() {
  local name=$1 ns="vexalan-$$-$1" veth="lv${#LAN_NAMESPACES[@]}"
  [ -n "$LAN_NS" ] || { _lan_fail "lan_up first"; return 1; }
  _lan_new_ns "$ns" || return 1
  LAN_NS_OF[$name]=$ns
  mkdir -p "$LAN_DIR/$name"
  ip -n "$LAN_NS" link add "$veth" type veth peer name eth0 netns "$ns" &&
    ip -n "$LAN_NS" link set "$veth" master vbr0 up &&
    ip -n "$ns" link set eth0 up &&
    ip -n "$ns" route add default dev eth0 &&
    # Answers to the client need no ARP round first: a burst of them would
    # otherwise wait in the neighbour queue, which drops beyond its limit.
    ip -n "$ns" neigh replace "$LAN_CLIENT_ADDR" lladdr "$LAN_BRIDGE_MAC" dev eth0 nud permanent
}

lan_dir() {
  [ -n "${LAN_NS_OF[$1]:-}" ] || { _lan_fail "no namespace $1"; return 1; }
  echo "$LAN_DIR/$1"
}

lan_exec() {
  [ -n "$LAN_NS" ] || { _lan_fail "lan_up first"; return 1; }
  ip netns exec "$LAN_NS" "$@"
}

# `ip netns exec` execs, so $! becomes the command's own PID; returns once
# it has, so that a check of its namespace or name cannot see ip still.
lan_spawn() {
  local ip_exe
  [ -n "$LAN_NS" ] || { _lan_fail "lan_up first"; return 1; }
  ip_exe=$(readlink -f "$(command -v ip)")
  ip netns exec "$LAN_NS" "$@" &
  LAN_PID=$!
  LAN_PIDS+=("$LAN_PID")
  for _ in $(seq 1 100); do
    [ "$(readlink -f "/proc/$LAN_PID/exe" 2>/dev/null)" != "$ip_exe" ] && return 0
    sleep 0.02
  done
}

# _lan_snmpget IP OID: the value as snmpget prints it, asked from the client.
_lan_snmpget() {
  ip netns exec "$LAN_NS" env MIBS= SNMP_PERSISTENT_DIR="$LAN_DIR/client-snmp" \
    snmpget -v1 -c mevola -On -Oqv -t 0.3 -r 0 "$1" "$2" 2>/dev/null
}

lan_agent() {
  local name=$1 ip=$2 descr=$3 mac=$4 dir=$LAN_DIR/$1 ns
  _lan_join "$name" || return 1
  ns=${LAN_NS_OF[$name]}
  ip -n "$ns" addr add "$ip/24" brd + dev eth0 || return 1
  mkdir -p "$dir/persist" "$LAN_DIR/client-snmp"
  {
    echo "agentAddress udp:0.0.0.0:161"
    echo "rocommunity mevola default"
    echo "sysDescr $descr"
    [ -z "$mac" ] || echo "override .1.3.6.1.2.1.2.2.1.6.1 octet_str 0x$mac"
  } >"$dir/snmpd.conf"
  ip netns exec "$ns" env MIBS= SNMP_PERSISTENT_DIR="$dir/persist" \
    /usr/sbin/snmpd -f -Lo -C -c "$dir/snmpd.conf" -p "$dir/snmpd.pid" \
    </dev/null >"$dir/snmpd.log" 2>&1 &
  LAN_PIDS+=($!)
  # snmpget waits out its whole time-out when nothing listens yet: ask only
  # once the port is bound.
  for _ in $(seq 1 200); do
    [ -n "$(ip netns exec "$ns" ss -Huln 'sport = :161')" ] && break
    kill -0 "${LAN_PIDS[-1]}" 2>/dev/null || break
    sleep 0.02
  done
  for _ in $(seq 1 20); do
    [ "$(_lan_snmpget "$ip" .1.3.6.1.2.1.1.1.0)" = "\"$descr\"" ] && return 0
    kill -0 "${LAN_PIDS[-1]}" 2>/dev/null || break
    sleep 0.05
  done
  tail -n 5 "$dir/snmpd.log" >&2
  _lan_fail "agent $name at $ip does not answer with its sysDescr"
}

# _lan_wait_ready FILE LOG WHAT: until the process started last writes FILE
# (UDP has no listening state to wait for); its LOG's tail when it does not.
_lan_wait_ready() {
  for _ in $(seq 1 100); do
    [ -e "$1" ] && return 0
    kill -0 "${LAN_PIDS[-1]}" 2>/dev/null || break
    sleep 0.05
  done
  tail -n 5 "$2" >&2
  _lan_fail "$3 did not start"
}

lan_responder() {
  local name=$1 first=$2 count=$3 mode=$4 ns dir=$LAN_DIR/$1 addrs=() i
  _lan_join "$name" || return 1
  ns=${LAN_NS_OF[$name]}
  # Each in its /24, so a datagram to that /24's broadcast address reaches it.
  for ((i = 0; i < count; i++)); do
    addrs+=("${first%.*}.$((${first##*.} + i))")
    ip -n "$ns" addr add "${addrs[-1]}/24" brd + dev eth0 || return 1
  done
  ip netns exec "$ns" /usr/bin/python3 -S -u "$LAN_PEER_DIR/snmp_responder.py" --mode "$mode" \
    --dir "$dir" "${addrs[@]}" </dev/null >"$dir/responder.out" 2>&1 &
  LAN_PIDS+=($!)
  _lan_wait_ready "$dir/ready" "$dir/responder.out" "responder $name"
}

lan_queue_server() {
  local name=$1 dir=$2
  shift 2
  [ -n "${LAN_NS_OF[$name]:-}" ] || { _lan_fail "no namespace $name"; return 1; }
  mkdir -p "$dir"
  rm -f "$dir/ready"
  ip netns exec "${LAN_NS_OF[$name]}" /usr/bin/python3 -S -u "$LAN_PEER_DIR/queue_server.py" \
    --logdir "$dir" --ready "$dir/ready" "$@" </dev/null >"$dir/queue_server.out" 2>&1 &
  LAN_PIDS+=($!)
  _lan_wait_ready "$dir/ready" "$dir/queue_server.out" "queue server in $name"
}

lan_pid_in_ns() {
  local got
  [ -n "$LAN_NS" ] || return 1
  got=$(stat -L -c %i "/proc/$1/ns/net" 2>/dev/null) || return 1
  [ "$got" = "${LAN_INODES[$LAN_NS]}" ]
}
# _lan_check_ns NS: every interface but lo is the client's bridge or a veth
# whose other end lies in another namespace made here; every IPv4 address is
# loopback or 10.77; no IPv6 address; every route leaves by lo, vbr0 or eth0.
# One ip process per namespace: a fork per line took seconds on a busy machine.
_lan_check_ns() {
  local ns=$1 ok=0 line ifname peer
  local -A ours=()
  local link_re='^[0-9]+: ([^:@ ]+)(@[^:]+)?: <' addr_re='^[0-9]+: ([^ ]+) +(inet6?) ([^ ]+)'
  for peer in "${LAN_NAMESPACES[@]}"; do ours[$peer]=1; done
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    if [[ $line =~ $link_re ]]; then
      ifname=${BASH_REMATCH[1]}
      [ "$ifname" = lo ] && continue
      if [[ $line =~ \\\ +bridge\  ]] && [ "$ns" = "$LAN_NS" ] && [ "$ifname" = vbr0 ]; then
        continue
      fi
      if ! [[ $line =~ \\\ +veth( |$) ]]; then
        echo "lan: $ns has interface $ifname that is neither the bridge nor a veth" >&2
        ok=1
        continue
      fi
      peer=
      if [[ $line =~ \ link-netns\ ([^ ]+) ]]; then
        peer=${BASH_REMATCH[1]}
      elif [[ $line =~ \ link-netnsid\ ([0-9]+) ]]; then
        # Only a number when iproute2 cannot name the other namespace.
        peer=$(ip -n "$ns" netns list-id 2>/dev/null |
          sed -n "s/^nsid ${BASH_REMATCH[1]} (iproute2 netns name: \(.*\))\$/\1/p")
      fi
      if [ -z "$peer" ] || [ -z "${ours[$peer]:-}" ] || [ "$peer" = "$ns" ]; then
        echo "lan: $ns: the other end of $ifname is not in another namespace made here (${peer:-unknown})" >&2
        ok=1
      fi
    elif [[ $line =~ $addr_re ]]; then
      case "${BASH_REMATCH[2]} ${BASH_REMATCH[1]} ${BASH_REMATCH[3]}" in
        "inet lo 127."* | "inet "*" $LAN_NET."*) ;;
        *) echo "lan: $ns has an address outside $LAN_NET.0.0/16: ${BASH_REMATCH[*]:1}" >&2; ok=1 ;;
      esac
    elif ! [[ $line =~ \ dev\ (lo|vbr0|eth0)(\ |$) ]]; then
      echo "lan: $ns has a route elsewhere: $line" >&2
      ok=1
    fi
  done < <(printf 'link show\naddr show\nroute show table all\n' | ip -n "$ns" -o -d -batch -)
  return $ok
}

lan_check_isolated() {
  local ns ok=0 host
  [ -n "$LAN_NS" ] || { _lan_fail "lan_up first"; return 1; }
  host=$(stat -L -c %i /proc/self/ns/net)
  for ns in "${LAN_NAMESPACES[@]}"; do
    [ "${LAN_INODES[$ns]}" != "$host" ] || { echo "lan: $ns is the host namespace" >&2; ok=1; }
    [ "$(stat -L -c %i "/run/netns/$ns" 2>/dev/null)" = "${LAN_INODES[$ns]}" ] ||
      { echo "lan: $ns is not the namespace made here" >&2; ok=1; }
    _lan_check_ns "$ns" || ok=1
  done
  _lan_host_clean || ok=1
  return $ok
}

# Every step may find its process or namespace gone already: under `set -e`
# one such answer must not end the clean-up early. A process the test started
# in a namespace of ours without telling us (a wineserver) is stopped too:
# it would keep the namespace alive after its name is gone.
lan_down() {
  local pid ns inode p
  local -A inodes=()
  for ns in "${LAN_NAMESPACES[@]}"; do inodes[${LAN_INODES[$ns]:-x}]=1; done
  # One stat for all: a fork per process would take seconds on a busy machine.
  while read -r inode p; do
    [ -n "${inodes[$inode]:-}" ] || continue
    pid=${p#/proc/}
    pid=${pid%%/*}
    [ "$pid" != "$BASHPID" ] || continue
    case " ${LAN_PIDS[*]} " in *" $pid "*) ;; *)
      echo "lan: stopping process $pid ($(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-60)) left in a namespace of ours" >&2
      LAN_PIDS+=("$pid") ;;
    esac
  done < <(stat -L -c '%i %n' /proc/[0-9]*/ns/net 2>/dev/null)
  for pid in "${LAN_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${LAN_PIDS[@]}"; do
    for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  LAN_PIDS=()
  for ns in "${LAN_NAMESPACES[@]}"; do ip netns del "$ns" 2>/dev/null || true; done
  LAN_NAMESPACES=()
  LAN_NS_OF=()
  LAN_INODES=()
  LAN_NS=
  [ -z "$LAN_DIR" ] || rm -rf "$LAN_DIR"
  LAN_DIR=
  return 0
}
