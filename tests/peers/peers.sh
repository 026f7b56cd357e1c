# shellcheck shell=bash
# Real print servers for the end-to-end tests, on loopback only, each with
# a private configuration (no file under /etc is touched) and stopped by PID.
#   peer_lpd DIR PORT [QUEUE]     LPRng accepting only source ports 721-731
#   peer_raw DIR N                p910nd on 127.0.0.1:9100+N (N 0-9) writing DIR/raw.out
#   peer_fault DIR PORT MODE ...  a hand-written peer for faults (fault_peer.py)
#   peer_wait_port PORT           until something listens on 127.0.0.1:PORT
#   peer_stop_all                 stops everything started here
# Source it, then call peer_stop_all from an EXIT trap.

PEER_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PEER_PIDS=()

peer_wait_port() {
  local port=$1 i
  for i in $(seq 1 100); do
    ss -Hltn "sport = :$port" 2>/dev/null | grep -q LISTEN && return 0
    sleep 0.05
  done
  echo "peers: nothing listens on port $port" >&2
  return 1
}

peer_stop_all() {
  local pid
  for pid in "${PEER_PIDS[@]}"; do
    pkill -TERM -P "$pid" 2>/dev/null
    kill -TERM "$pid" 2>/dev/null
  done
  for pid in "${PEER_PIDS[@]}"; do
    for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    pkill -KILL -P "$pid" 2>/dev/null
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  PEER_PIDS=()
}

# LPRng reads its configuration only from /etc/lprng when run as root: give
# it a private one in its own mount namespace.
peer_lpd() {
  local dir=$1 port=$2 queue=${3:-lp}
  mkdir -p "$dir/etc" "$dir/spool" "$dir/run"
  # lpd reads its files as the daemon user: the folders on the way must let it.
  chmod a+rx "$dir" "$(dirname "$dir")" "$dir/etc"
  chown daemon:lp "$dir/spool" "$dir/run"
  chmod 775 "$dir/spool" "$dir/run"
  cat >"$dir/etc/lpd.conf" <<CONF
lpd_listen_port=$port
unix_socket_path=off
lockfile=$dir/run/lpd
printcap_path=$dir/etc/printcap
lpd_printcap_path=$dir/etc/printcap
CONF
  cat >"$dir/etc/printcap" <<CONF
$queue:\\
  :sd=$dir/spool:\\
  :lp=/dev/null:\\
  :mx=0:\\
  :save_when_done:\\
  :sh:
CONF
  printf 'REJECT SERVICE=X NOT PORT=721-731\nDEFAULT ACCEPT\n' >"$dir/etc/lpd.perms"
  unshare -m sh -c "mount --bind '$dir/etc' /etc/lprng && exec /usr/sbin/lpd -F" \
    </dev/null >"$dir/lpd.log" 2>&1 &
  PEER_PIDS+=($!)
  peer_wait_port "$port"
}

# p910nd needs /var/lock/p910nd: a private tmpfs over /run/lock.
peer_raw() {
  local dir=$1 n=$2
  mkdir -p "$dir"
  : >"$dir/raw.out"
  unshare -m sh -c "mount -t tmpfs tmpfs /run/lock && mkdir -p /var/lock/p910nd &&
    exec /usr/sbin/p910nd -d -f '$dir/raw.out' -i 127.0.0.1 $n" </dev/null >"$dir/p910nd.log" 2>&1 &
  PEER_PIDS+=($!)
  peer_wait_port $((9100 + n))
}

peer_fault() {
  local dir=$1 port=$2
  shift 2
  mkdir -p "$dir"
  python3 -u "$PEER_DIR/fault_peer.py" --port "$port" --dir "$dir" "$@" </dev/null \
    >"$dir/fault.log" 2>&1 &
  PEER_PIDS+=($!)
  peer_wait_port "$port"
}
