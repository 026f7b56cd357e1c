# shellcheck shell=bash
# Real print servers for the end-to-end tests, on loopback only, each with
# a private configuration (no file under /etc is touched) and stopped by PID.
# Each returns non-zero, saying why, when its server does not come up.
#   peer_lpd DIR PORT [--any-port] [QUEUE...]
#                                 LPRng accepting only source ports 721-731 (any with
#                                 --any-port); one queue (lp) spools to DIR/spool,
#                                 each of several to DIR/spool/QUEUE
#   peer_raw DIR N                p910nd on 127.0.0.1:9100+N (N 0-9) writing DIR/raw.out
#   peer_fault DIR PORT MODE ...  a hand-written peer for faults (fault_peer.py)
#   peer_silent DIR PORT          accepts connections, reads, never answers
#   peer_ipp DIR PORT [--auth|--auth-all USER:PASS | --queues N]
#                                 cupsd with one raw queue, ipp://127.0.0.1:PORT/printers/q
#                                 (and with --queues, raw queues q1 to qN besides);
#                                 with --auth, job operations need Basic USER:PASS;
#                                 with --auth-all, reading the printer's status too
#   peer_ipp_document DIR         path of the newest document cupsd received, as received
#   peer_ipp_state DIR PORT STATE REASONS
#                                 printer-state (3 or 5) and printer-state-reasons
#                                 (comma-separated keywords, or none), read back
#   peer_ipp_accepting DIR PORT yes|no
#                                 printer-is-accepting-jobs, read back
#   peer_ipp_attrs DIR PORT       prints "STATE REASONS ACCEPTING", e.g. "5 media-empty-error false"
#   peer_proxy DIR PORT           tinyproxy; DIR/tinyproxy.log names each request it relayed
#   peer_proxy_requests DIR       the request lines tinyproxy relayed, one a line
#   peer_stop_all                 stops everything started here
# Source it, then call peer_stop_all from an EXIT trap.

PEER_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PEER_PIDS=()

# _peer_started PORT LOG: the process started last listens on 127.0.0.1:PORT
# (it is stopped with the others either way); if it dies first or never
# listens, and another holds the port instead, the end of LOG says why.
_peer_started() {
  local pid=$!
  PEER_PIDS+=("$pid")
  for _ in $(seq 1 100); do
    ss -Hltnp "sport = :$1" 2>/dev/null | grep -q "pid=$pid," && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "peers: process $pid does not listen on port $1; $2 ends:" >&2
  tail -n 5 "$2" >&2
  return 1
}

# Every step may find its process gone already: under `set -e` (the demo)
# one such answer must not end the clean-up early.
peer_stop_all() {
  local pid
  for pid in "${PEER_PIDS[@]}"; do
    pkill -TERM -P "$pid" 2>/dev/null || true
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${PEER_PIDS[@]}"; do
    for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    pkill -KILL -P "$pid" 2>/dev/null || true
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  PEER_PIDS=()
}

# LPRng reads its configuration only from /etc/lprng when run as root: give
# it a private one in its own mount namespace.
peer_lpd() {
  local dir=$1 port=$2 perms='REJECT SERVICE=X NOT PORT=721-731\n' queue spool queues
  shift 2
  [ "${1:-}" = --any-port ] && { perms= && shift; }
  queues=("${@:-lp}")
  mkdir -p "$dir/etc" "$dir/spool" "$dir/run"
  # lpd reads its files as the daemon user: the folders on the way must let it.
  chmod a+rx "$dir" "$(dirname "$dir")" "$dir/etc"
  chown daemon:lp "$dir/spool" "$dir/run"
  chmod 775 "$dir/spool" "$dir/run"
  : >"$dir/etc/printcap"
  for queue in "${queues[@]}"; do
    spool=$dir/spool
    if [ ${#queues[@]} -gt 1 ]; then
      spool=$dir/spool/$queue
      mkdir -p "$spool" && chown daemon:lp "$spool" && chmod 775 "$spool"
    fi
    cat >>"$dir/etc/printcap" <<CONF
$queue:\\
  :sd=$spool:\\
  :lp=/dev/null:\\
  :mx=0:\\
  :save_when_done:\\
  :sh:
CONF
  done
  cat >"$dir/etc/lpd.conf" <<CONF
lpd_listen_port=$port
unix_socket_path=off
lockfile=$dir/run/lpd
printcap_path=$dir/etc/printcap
lpd_printcap_path=$dir/etc/printcap
CONF
  printf '%bDEFAULT ACCEPT\n' "$perms" >"$dir/etc/lpd.perms"
  unshare -m sh -c "mount --bind '$dir/etc' /etc/lprng && exec /usr/sbin/lpd -F" \
    </dev/null >"$dir/lpd.log" 2>&1 &
  _peer_started "$port" "$dir/lpd.log"
}

# p910nd needs /var/lock/p910nd: a private tmpfs over /run/lock.
peer_raw() {
  local dir=$1 n=$2
  mkdir -p "$dir"
  : >"$dir/raw.out"
  unshare -m sh -c "mount -t tmpfs tmpfs /run/lock && mkdir -p /var/lock/p910nd &&
    exec /usr/sbin/p910nd -d -f '$dir/raw.out' -i 127.0.0.1 $n" </dev/null >"$dir/p910nd.log" 2>&1 &
  _peer_started $((9100 + n)) "$dir/p910nd.log"
}

peer_fault() {
  local dir=$1 port=$2
  shift 2
  mkdir -p "$dir"
  python3 -u "$PEER_DIR/fault_peer.py" --port "$port" --dir "$dir" "$@" </dev/null \
    >"$dir/fault.log" 2>&1 &
  _peer_started "$port" "$dir/fault.log"
}

# Like raw mode, but each connection is served at once, so the second one is
# not left in the backlog waiting for the first to close.
peer_silent() {
  peer_fault "$1" "$2" --mode silent
}

# cupsd reads its PAM service (fixed to "cups") from /etc/pam.d and checks
# ServerBin, RequestRoot and the rest for ownership: everything lives under
# DIR, root-owned, and the folders on the way must let lp (its User) through.
peer_ipp() {
  local dir=${1:?} port=$2 auth='' status_operations='' queues=0 n
  case "${3:-}" in
    --auth) auth=$4 ;;
    --auth-all) auth=$4 status_operations=' Get-Printer-Attributes' ;;
    --queues) queues=$4 ;;
  esac
  rm -rf "${dir:?}"/{etc,spool,state,cache,tmp,lib,log,pam.d}
  mkdir -p "$dir/etc" "$dir/spool" "$dir/state" "$dir/cache" "$dir/tmp" "$dir/log" "$dir/ipptool"
  chmod a+rx "$dir" "$(dirname "$dir")"
  cp -a /usr/lib/cups "$dir/lib"
  cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/tmp
StateDir $dir/state
CacheDir $dir/cache
ServerBin $dir/lib
ServerKeychain $dir/state/ssl
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/state/printcap
FileDevice Yes
User lp
Group lp
SystemGroup root
CONF
  # With --auth, what a printer on a network asks for: a password to put
  # or touch a job, none to read its status (nor for our own admin calls).
  local limit_auth=
  [ -n "$auth" ] && limit_auth="  <Limit${status_operations} Print-Job Print-URI Validate-Job Create-Job Send-Document Send-URI Cancel-Job Hold-Job Release-Job Restart-Job Set-Job-Attributes Cancel-My-Jobs Close-Job>
    AuthType Basic
    Require valid-user
    Order deny,allow
  </Limit>"
  cat >"$dir/etc/cupsd.conf" <<CONF
LogLevel debug
Listen 127.0.0.1:$port
Browsing No
WebInterface No
PreserveJobFiles Yes
PreserveJobHistory Yes
IdleExitTimeout 0
DefaultEncryption Never
DefaultAuthType Basic
DefaultPolicy open
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy open>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
$limit_auth
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  for n in q $(seq -f 'q%g' 1 "$queues"); do
    printf '<Printer %s>\nDeviceURI file:///dev/null\nState Idle\nAccepting Yes\n</Printer>\n' "$n"
  done >"$dir/etc/printers.conf"
  if [ -n "$auth" ]; then
    # libpam also reads "other" and the common-* files: copy them all.
    cp -a /etc/pam.d "$dir/pam.d"
    printf '%s' "$auth" >"$dir/credentials"
    chmod 600 "$dir/credentials"
    # pam_exec hands over the password NUL-terminated on standard input.
    cat >"$dir/pam-check" <<CHECK
#!/bin/bash
[ "\$PAM_TYPE" = auth ] || exit 0
IFS= read -r -d '' pass
[ "\$PAM_USER:\$pass" = "\$(cat '$dir/credentials')" ]
CHECK
    chmod 700 "$dir/pam-check"
    cat >"$dir/pam.d/cups" <<PAM
auth required pam_exec.so quiet expose_authtok $dir/pam-check
account required pam_permit.so
session required pam_permit.so
password required pam_deny.so
PAM
    unshare -m sh -c "mount --bind '$dir/pam.d' /etc/pam.d &&
      exec /usr/sbin/cupsd -f -c '$dir/etc/cupsd.conf' -s '$dir/etc/cups-files.conf'" \
      </dev/null >"$dir/cupsd.out" 2>&1 &
  else
    /usr/sbin/cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
      </dev/null >"$dir/cupsd.out" 2>&1 &
  fi
  _peer_started "$port" "$dir/log/error_log" || { tail -n 5 "$dir/cupsd.out" >&2; return 1; }
}

# Documents are kept as dNNNNN-001, NNNNN the job id: the last name is the newest.
peer_ipp_document() {
  local docs=("$1"/spool/d[0-9][0-9][0-9][0-9][0-9]-001)
  [ -f "${docs[-1]}" ] || { echo "peers: no document in $1/spool" >&2; return 1; }
  echo "${docs[-1]}"
}

# _peer_ipptool DIR PORT OPERATION [LINES]: one IPP/1.0 request, as the
# monitor asks, with LINES added to the test; ipptool's report on stdout.
_peer_ipptool() {
  cat >"$1/ipptool/$3.test" <<TEST
{
  NAME "$3"
  OPERATION $3
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
${4:-}
  STATUS successful-ok
}
TEST
  ipptool -t -T 10 -V 1.0 "ipp://127.0.0.1:$2/printers/q" "$1/ipptool/$3.test" 2>&1
}

peer_ipp_attrs() {
  # DISPLAY lines read "name (type) = value"; enums come back by name.
  _peer_ipptool "$1" "$2" Get-Printer-Attributes "  ATTR keyword requested-attributes printer-state,printer-state-reasons,printer-is-accepting-jobs
  DISPLAY printer-state
  DISPLAY printer-state-reasons
  DISPLAY printer-is-accepting-jobs" | awk '
    { v = $0; sub(/^[^=]* = /, "", v) }
    $1 == "printer-state" { s = v }
    $1 == "printer-state-reasons" { r = v }
    $1 == "printer-is-accepting-jobs" { a = v }
    END {
      if (s == "") exit 1
      s = (s == "idle") ? 3 : (s == "processing") ? 4 : (s == "stopped") ? 5 : s
      print s, r, a
    }'
}

peer_ipp_state() {
  local dir=$1 port=$2 state=$3 reasons=$4 got
  got=$(_peer_ipptool "$dir" "$port" CUPS-Add-Modify-Printer "  GROUP printer-attributes-tag
  ATTR enum printer-state $state
  ATTR keyword printer-state-reasons $reasons") || { echo "$got" >&2; return 1; }
  for _ in $(seq 1 100); do
    got=$(peer_ipp_attrs "$dir" "$port")
    [ "${got% *}" = "$state $reasons" ] && return 0
    sleep 0.05
  done
  echo "peers: printer on port $port reads back '$got', want '$state $reasons ...'" >&2
  return 1
}

peer_ipp_accepting() {
  local dir=$1 port=$2 op=CUPS-Accept-Jobs want=true got
  [ "$3" = yes ] || op=CUPS-Reject-Jobs want=false
  got=$(_peer_ipptool "$dir" "$port" $op) || { echo "$got" >&2; return 1; }
  got=$(peer_ipp_attrs "$dir" "$port")
  [ "${got##* }" = "$want" ] && return 0
  echo "peers: printer on port $port reads back '$got', want accepting $want" >&2
  return 1
}

# tinyproxy drops to nobody (it warns when left as root), so its log must be
# writable by nobody. It closes the client's connection after each response.
peer_proxy() {
  local dir=$1 port=$2
  mkdir -p "$dir"
  chmod a+rx "$dir" "$(dirname "$dir")"
  : >"$dir/tinyproxy.log"
  chown nobody:nogroup "$dir/tinyproxy.log"
  cat >"$dir/tinyproxy.conf" <<CONF
User nobody
Group nogroup
Port $port
Listen 127.0.0.1
Allow 127.0.0.1
DisableViaHeader Yes
Timeout 60
MaxClients 20
LogFile "$dir/tinyproxy.log"
LogLevel Info
CONF
  /usr/bin/tinyproxy -d -c "$dir/tinyproxy.conf" </dev/null >"$dir/tinyproxy.out" 2>&1 &
  _peer_started "$port" "$dir/tinyproxy.out"
}

peer_proxy_requests() {
  sed -n 's/.*Request (file descriptor [0-9]*): //p' "$1/tinyproxy.log"
}
