# shellcheck shell=bash
# Real print servers for the end-to-end tests, on loopback only, each with
# a private configuration (no file under /etc is touched) and stopped by PID.
#   peer_lpd DIR PORT [QUEUE]     LPRng accepting only source ports 721-731
#   peer_raw DIR N                p910nd on 127.0.0.1:9100+N (N 0-9) writing DIR/raw.out
#   peer_fault DIR PORT MODE ...  a hand-written peer for faults (fault_peer.py)
#   peer_silent DIR PORT          accepts connections, reads, never answers
#   peer_ipp DIR PORT [--auth|--auth-all USER:PASS]
#                                 cupsd with one raw queue, ipp://127.0.0.1:PORT/printers/q;
#                                 with --auth, job operations need Basic USER:PASS;
#                                 with --auth-all, reading the printer's status too
#   peer_ipp_document DIR [JOB]   path of the document of job JOB as received
#                                 (default: the newest job the test sent)
#   peer_ipp_state DIR PORT STATE REASONS
#                                 printer-state 3, 4 or 5 and printer-state-reasons
#                                 (comma-separated keywords, or none), read back
#   peer_ipp_accepting DIR PORT yes|no
#                                 printer-is-accepting-jobs, read back
#   peer_ipp_attrs DIR PORT       prints "STATE REASONS ACCEPTING", e.g. "5 media-empty-error false"
#   peer_proxy DIR PORT           tinyproxy; DIR/tinyproxy.log names each request it relayed
#   peer_proxy_requests DIR       the request lines tinyproxy relayed, one a line
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

# Like raw mode, but each connection is served at once, so the second one is
# not left in the backlog waiting for the first to close.
peer_silent() {
  peer_fault "$1" "$2" --mode silent
}

# cupsd reads its PAM service (fixed to "cups") from /etc/pam.d and checks
# ServerBin, RequestRoot and the rest for ownership: everything lives under
# DIR, root-owned, and the folders on the way must let lp (its User) through.
peer_ipp() {
  local dir=${1:?} port=$2 auth='' status_operations=''
  case "${3:-}" in
    --auth) auth=$4 ;;
    --auth-all) auth=$4 status_operations=' Get-Printer-Attributes' ;;
  esac
  rm -rf "${dir:?}/etc" "${dir:?}/spool" "${dir:?}/state" "${dir:?}/cache" "${dir:?}/tmp" \
    "${dir:?}/lib" "${dir:?}/log"
  mkdir -p "$dir/etc" "$dir/spool" "$dir/state" "$dir/cache" "$dir/tmp" "$dir/log" "$dir/ipptool"
  chmod a+rx "$dir" "$(dirname "$dir")"
  rm -f "$dir/hold" "$dir/busy-jobs"
  cp -a /usr/lib/cups "$dir/lib"
  # A backend that keeps its job (and so the printer) processing while
  # DIR/hold exists: CUPS-Add-Modify-Printer refuses printer-state 4, and
  # only a job in progress makes cupsd report it.
  cat >"$dir/lib/backend/vexahold" <<BACKEND
#!/bin/sh
[ \$# -eq 0 ] && exit 0
while [ -e '$dir/hold' ]; do sleep 0.1; done
exit 0
BACKEND
  chmod 755 "$dir/lib/backend/vexahold"
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
  cat >"$dir/etc/printers.conf" <<CONF
<Printer q>
DeviceURI file:///dev/null
State Idle
Accepting Yes
</Printer>
CONF
  if [ -n "$auth" ]; then
    # libpam also reads "other" and the common-* files: copy them all.
    rm -rf "${dir:?}/pam.d"
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
  PEER_PIDS+=($!)
  peer_wait_port "$port" || { tail -n 5 "$dir/log/error_log" "$dir/cupsd.out" >&2; return 1; }
}

peer_ipp_document() {
  local dir=$1 job=${2:-} f
  if [ -z "$job" ]; then
    for f in "$dir"/spool/d*-001; do
      f=${f##*/d}
      f=${f%-001}
      [ "$f" = '*' ] && continue
      f=$((10#$f))
      grep -qx "$f" "$dir/busy-jobs" 2>/dev/null || [ "$f" -le "${job:-0}" ] || job=$f
    done
    [ -n "$job" ] || { echo "peers: no job in $dir/spool" >&2; return 1; }
  fi
  f=$(printf '%s/spool/d%05d-001' "$dir" "$job")
  [ -f "$f" ] || { echo "peers: no document for job $job in $dir/spool" >&2; return 1; }
  echo "$f"
}

# _peer_ipptool DIR PORT NAME [OPTION...]: runs DIR/ipptool/NAME.test against
# the queue.
_peer_ipptool() {
  local dir=$1 port=$2 name=$3
  shift 3
  ipptool -t -T 10 "$@" "ipp://127.0.0.1:$port/printers/q" "$dir/ipptool/$name.test"
}

_peer_ipp_test_head() {
  cat <<TEST
{
  NAME "$1"
  OPERATION $2
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
TEST
}

peer_ipp_attrs() {
  local dir=$1 port=$2
  { _peer_ipp_test_head "read back" Get-Printer-Attributes
    cat <<'TEST'
  ATTR keyword requested-attributes printer-state,printer-state-reasons,printer-is-accepting-jobs
  STATUS successful-ok
  DISPLAY printer-state
  DISPLAY printer-state-reasons
  DISPLAY printer-is-accepting-jobs
}
TEST
  } >"$dir/ipptool/attrs.test"
  # DISPLAY lines read "name (type) = value"; enums come back by name.
  # Asked in IPP/1.0, as the monitor asks.
  _peer_ipptool "$dir" "$port" attrs -V 1.0 | awk '
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

# _peer_ipp_release DIR PORT: lets a held job finish and waits for the printer
# to leave processing, so that stopping it cannot requeue that job.
_peer_ipp_release() {
  local dir=$1 port=$2
  [ -e "$dir/hold" ] || return 0
  rm -f "$dir/hold"
  for _ in $(seq 1 100); do
    case $(peer_ipp_attrs "$dir" "$port") in 4\ *) sleep 0.05 ;; *) return 0 ;; esac
  done
  echo "peers: printer on port $port stays processing" >&2
  return 1
}

# _peer_uri_escape TEXT: TEXT percent-encoded for a URI's user:password part.
_peer_uri_escape() {
  local LC_ALL=C text=$1 out='' c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in
      [A-Za-z0-9._~:-]) out+=$c ;;
      *) out+=$(printf '%%%02X' "'$c") ;;
    esac
  done
  printf '%s' "$out"
}

peer_ipp_state() {
  local dir=$1 port=$2 state=$3 reasons=$4 set_state=$3 device=file:///dev/null got
  _peer_ipp_release "$dir" "$port" || return 1
  if [ "$state" = 4 ]; then
    set_state=3 device=vexahold:/
  fi
  { _peer_ipp_test_head "set state" CUPS-Add-Modify-Printer
    cat <<TEST
  GROUP printer-attributes-tag
  ATTR uri device-uri $device
  ATTR enum printer-state $set_state
  ATTR keyword printer-state-reasons $reasons
  STATUS successful-ok
}
TEST
  } >"$dir/ipptool/state.test"
  _peer_ipptool "$dir" "$port" state >"$dir/ipptool/state.out" 2>&1 ||
    { cat "$dir/ipptool/state.out" >&2; return 1; }
  if [ "$state" = 4 ]; then
    # A job of our own keeps the printer busy; the test's jobs queue behind it.
    : >"$dir/hold"
    { _peer_ipp_test_head "busy" Print-Job
      cat <<'TEST'
  ATTR name requesting-user-name peers
  ATTR name job-name vexa-busy
  FILE $filename
  STATUS successful-ok
  EXPECT job-id OF-TYPE integer
  DISPLAY job-id
}
TEST
    } >"$dir/ipptool/busy.test"
    echo "keeps the printer busy" >"$dir/ipptool/busy.txt"
    # With --auth, ipptool takes the user and password from the URI.
    local creds=
    [ -f "$dir/credentials" ] && creds="$(_peer_uri_escape "$(cat "$dir/credentials")")@"
    got=$(ipptool -T 10 -c -f "$dir/ipptool/busy.txt" "ipp://${creds}127.0.0.1:$port/printers/q" \
      "$dir/ipptool/busy.test" | sed -n 2p) ||
      { echo "peers: could not start a job to keep port $port busy" >&2; return 1; }
    echo "$got" >>"$dir/busy-jobs"
  fi
  for _ in $(seq 1 100); do
    got=$(peer_ipp_attrs "$dir" "$port")
    [ "${got% *}" = "$state $reasons" ] && return 0
    sleep 0.05
  done
  echo "peers: printer on port $port reads back '$got', want '$state $reasons ...'" >&2
  return 1
}

peer_ipp_accepting() {
  local dir=$1 port=$2 op got want
  case $3 in
    yes) op=CUPS-Accept-Jobs want=true ;;
    no) op=CUPS-Reject-Jobs want=false ;;
    *) echo "peers: peer_ipp_accepting wants yes or no" >&2; return 1 ;;
  esac
  { _peer_ipp_test_head "$op" "$op"
    printf '  STATUS successful-ok\n}\n'
  } >"$dir/ipptool/accepting.test"
  _peer_ipptool "$dir" "$port" accepting >"$dir/ipptool/accepting.out" 2>&1 ||
    { cat "$dir/ipptool/accepting.out" >&2; return 1; }
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
  PEER_PIDS+=($!)
  peer_wait_port "$port"
}

peer_proxy_requests() {
  sed -n 's/.*Request (file descriptor [0-9]*): //p' "$1/tinyproxy.log"
}
