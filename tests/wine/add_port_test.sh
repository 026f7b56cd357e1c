#!/bin/bash
# Ports made the way a person makes them: `vexaspool add` goes through the
# add-port wizard page by page, and each port it made prints byte for byte
# to a real server of its kind (cupsd, also behind tinyproxy and behind
# Basic authentication, LPRng, p910nd). What the wizard refuses ends with
# its message, a press of Cancel and nothing written.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
chmod 755 "$work"
INTERNET='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
internet() { "$WINELOADER" reg "$@" </dev/null >/dev/null 2>&1; }
clear_internet() { for v in ProxyEnable ProxyServer; do internet delete "$INTERNET" /v $v /f; done; }
trap 'peer_stop_all; clear_internet; rm -rf "$work"' EXIT
head -c $((256 * 1024)) /dev/urandom >"$work/doc"

need vexa_install
vexa_reset_ports
clear_internet
need peer_ipp "$work/cups" 8631
need peer_ipp "$work/auth" 8632 --auth-all alice:secret
need peer_proxy "$work/proxy" 8888
need peer_lpd "$work/lpd" 515 lp
need peer_raw "$work/raw" 0

# The pages a run showed, as their indices: "0 6 1 7".
pages() { sed -n 's/^page \([0-9]*\).*/\1/p' <<<"$out" | paste -sd' '; }

# made NAME PAGES VALUES ARGS...: `add ARGS` goes through PAGES, ends with
# "added NAME", and the key holds VALUES (space-separated VALUE=DATA).
made() {
  local name=$1 want_pages=$2 want_values=$3 value
  shift 3
  out=$(vexa_spool --answer cancel add "$@" 2>&1)
  [ $? -eq 0 ] && [ "$(tail -1 <<<"$out")" = "added $name" ] && [ "$(pages)" = "$want_pages" ] ||
    fail "add $*: want pages $want_pages and 'added $name'; got:
$out"
  expect "$name: its key" "$(tr ' ' '\n' <<<"$want_values" | sort)" \
    "$(values "$name" $(for value in $want_values; do printf '%s ' "${value%%=*}"; done))"
}

# --- one port of each kind -------------------------------------------------------
IPP=ipp://127.0.0.1:8631/printers/q
made LprPort "0 6 1 7" "PrintMode=0 HostName=127.0.0.1 PortName=lp PortNum=19541" \
  lpr 127.0.0.1 lp --name LprPort
made IppPort "0 2 3 4 1 5" "PrintMode=1 URL=$IPP UseProxy=0" ipp "$IPP" --name IppPort
made IppProxy "0 2 3 4 1 5" "UseProxy=1 ProxyName=127.0.0.1 ProxyNum=8888" \
  ipp "$IPP" --proxy 127.0.0.1:8888 --name IppProxy
# Its connection test gets a 401 and passes without a question.
made IppAuth "0 2 3 4 1 5" "URL=ipp://127.0.0.1:8632/printers/q" \
  ipp ipp://127.0.0.1:8632/printers/q --name IppAuth
grep -q 'Returning HTTP Unauthorized for Get-Printer-Attributes' "$work/auth/log/error_log" ||
  fail "the connection test never met the printer's 401"
# The proposed name stays without --name.
made 127.0.0.1_9100 "0 13 1 14" "PrintMode=2 HostName=127.0.0.1 PortNum=9100" raw 127.0.0.1

# With ProxyEnable set the wizard skips the modem-or-LAN page and its proxy
# page keeps what it read from the Internet Settings; --modem cannot be had.
internet add "$INTERNET" /v ProxyEnable /t REG_DWORD /d 1 /f
internet add "$INTERNET" /v ProxyServer /d "http=127.0.0.1:8888;ftp=10.0.0.8:21" /f
made IppSettings "0 3 4 1 5" "UseProxy=1 ProxyName=127.0.0.1 ProxyNum=8888" \
  ipp "$IPP" --name IppSettings
out=$(vexa_spool add ipp "$IPP" --modem 2>&1)
expect "--modem while ProxyEnable is set" "2 vexaspool: --modem: ProxyEnable is set in this user's Internet Settings, so the wizard skips the modem-or-LAN page" \
  "$? $(head -1 <<<"$out")"
clear_internet

# --- they print -------------------------------------------------------------------------
proxied_before=$(peer_proxy_requests "$work/proxy" | grep -c '^POST http://127.0.0.1:8631/printers/q')
for port in IppPort IppProxy IppAuth; do
  server=$work/cups
  [ $port = IppAuth ] && server=$work/auth
  print_job $port "$work/doc" --credentials alice:secret
  printed $((256 * 1024)) && cmp -s "$work/doc" "$(peer_ipp_document "$server")" || fail "$port: $out"
done
grep -q '^prompt 394 ' <<<"$out" || fail "IppAuth printed without asking for the password: $out"
proxied=$(peer_proxy_requests "$work/proxy" | grep -c '^POST http://127.0.0.1:8631/printers/q')
[ "$proxied_before" -ge 2 ] && [ "$proxied" -gt "$proxied_before" ] ||
  fail "tinyproxy relayed $proxied_before requests of the connection tests and $proxied in all"
print_job LprPort "$work/doc" --job 42
sleep 0.5
printed $((256 * 1024)) && cmp -s "$work/doc" "$work"/lpd/spool/dfA042* || fail "LprPort: $out"
print_job 127.0.0.1_9100 "$work/doc"
printed $((256 * 1024)) && cmp -s "$work/doc" "$work/raw/raw.out" || fail "Raw: $out"

# --- refusals: the wizard's message, Cancel, error 1223 ----------------------------------
# refused ANSWER PAGE KEY ARG ARGS...: `add ARGS` answered ANSWER shows
# KEY's message (formatted with ARG) and stays on PAGE.
refused() {
  local answer=$1 page=$2 key=$3 arg=$4
  shift 4
  out=$(vexa_spool --answer "$answer" add "$@" 2>&1)
  local status=$?
  grep -qxF "box: $(message TITLE) | $(message "$key" "$arg")" <<<"$out" && [ $status -eq 1 ] &&
    [ "$(tail -1 <<<"$out")" = "vexaspool: no port added: the wizard stayed on page $page after the message above, so vexaspool cancelled it: operation canceled by user (error 1223)" ] ||
    fail "add $* (--answer $answer): want $key on page $page, error 1223; got ($status):
$out"
}
refused cancel 4 IDS_INVALID_URI "" ipp http://
refused cancel 1 IDS_PORTALREADYEXISTS_S lprport raw 127.0.0.2 --name lprport
refused cancel 1 IDS_NULL_PORT_ERROR "" raw 127.0.0.2 --name ""
refused cancel 6 IDS_INVALIDPORTNAME_S "" lpr nosuchhost.invalid lp
# A question answered no, or cancel, which means no here.
refused no 4 IDS_INVALID_CONNECT "" ipp ipp://127.0.0.1:8639/printers/q
refused cancel 4 IDS_INVALID_CONNECT "" ipp ipp://127.0.0.1:8639/printers/q
expect "nothing written by a refusal" "127.0.0.1_9100 IppAuth IppPort IppProxy IppSettings LprPort" \
  "$(vexa_spool ports --level 1 | sort | paste -sd' ')"
# Answered yes, the port is made all the same, named after its URL.
url=ipp://127.0.0.1:8639/printers/queue_number_one
out=$(vexa_spool --answer yes add ipp $url 2>&1)
[ "$(tail -1 <<<"$out")" = "added ${url:0:38}" ] || fail "a failed test answered yes: $out"

# --- a wizard nobody drives ---------------------------------------------------------------
# import with no key left opens the wizard; with nobody at it the command
# ends after a few seconds instead of waiting for ever.
out=$(vexa_spool import 2>&1)
[ "$(tail -1 <<<"$out")" = "vexaspool: no new port key to import: the add-port wizard opened and nobody answered it within 5 s, so it was cancelled (see --answer): operation canceled by user (error 1223)" ] ||
  fail "import, a wizard nobody answers: $out"

vexa_reset_ports
finish add_port
