#!/bin/bash
# Ports changed the way a person changes them: `vexaspool configure` types,
# clicks and chooses in the port's configure dialog and presses OK. What the
# dialog writes is read back from the port's key and through `vexaspool
# show`; what it refuses ends with its message, Cancel, and the key as it
# was. Then changed ports print: an IPP port given its password in the
# dialog to a cupsd that demands one, and an LPR port switched to the
# streamed data file to a peer that takes that form.
set -u
source "$(dirname "$0")/lib.sh"
source "$VEXA_ROOT/tests/peers/peers.sh"

work=$(mktemp -d)
chmod 755 "$work"
trap 'peer_stop_all; rm -rf "$work"' EXIT
head -c $((64 * 1024)) /dev/urandom >"$work/doc"

need vexa_install
vexa_reset_ports
IPP=ipp://127.0.0.1:8633/printers/q
{
  port_key Lp PrintMode=0 HostName=127.0.0.1 PortName=lp CmdTmout=300000 DatTmout=300000
  port_key Rw PrintMode=2 HostName=127.0.0.1 PortNum=9100
  port_key Ipp PrintMode=1 URL=ipp://192.0.2.1/ipp Language=en-us CmdTmout=300000 \
    DatTmout=300000 MaxChunk=4096
  port_key IppAuth PrintMode=1 URL=$IPP Language=en-us CmdTmout=300000 DatTmout=300000
  port_key IppBare PrintMode=1 URL=$IPP
  port_key Mail PrintMode=3 SmtpServer=smtp.example.com "FromName=Vexa Test" \
    FromAddr=vexa@example.com ToAddr=b@example.com,a@example.com NoPrint=1 EditBody=0
} | reg_import

key() { "$WINELOADER" reg query "$PORTS_KEY\\$1" </dev/null 2>/dev/null | tr -d '\r'; }

# row PORT FIELDS WANT: `configure PORT FIELDS`, boxes answered OK. WANT is
# "VALUE=DATA..." as the key holds them afterwards, or "!KEY": that
# message, the dialog cancelled (error 1223) and the key as it was.
row() {
  local port=$1 want=$3 before status names pair
  local -a fields
  eval "fields=($2)"
  before=$(key "$port")
  out=$(vexa_spool --answer ok configure "$port" "${fields[@]}" 2>&1)
  status=$?
  if [[ $want == !* ]]; then
    grep -qxF "box: $(message TITLE) | $(message "${want#!}")" <<<"$out" && [ $status -eq 1 ] &&
      [[ $(tail -1 <<<"$out") == "vexaspool: $port not configured: "*"the message above"*", so vexaspool cancelled it: operation canceled by user (error 1223)" ]] ||
      fail "configure $port $2: want ${want#!} and error 1223; got ($status):
$out"
    expect "configure $port $2: the key as it was" "$before" "$(key "$port")"
    return
  fi
  [ $status -eq 0 ] && [ "$(tail -1 <<<"$out")" = "configured $port" ] ||
    fail "configure $port $2: got ($status):
$out"
  names=$(for pair in $want; do printf '%s ' "${pair%%=*}"; done)
  expect "configure $port $2: the key" "$(tr ' ' '\n' <<<"$want" | sort)" "$(values "$port" $names)"
}

# --- LPR and Raw: one time-out for both, 60 to 3600 s in a 4-character field
row Lp 'Timeout=60 Reconnection=1 NonByteCount=1' \
  'CmdTmout=60000 DatTmout=60000 Reconnection=1 NonByteCount=1'
row Lp 'Timeout=36000 NonByteCount=0' 'CmdTmout=3600000 DatTmout=3600000 NonByteCount=0'
row Lp 'Timeout=59' '!IDS_INVALID_TIMEOUT'
row Lp 'Timeout=36010' '!IDS_INVALID_TIMEOUT'
row Rw 'Timeout=120' 'CmdTmout=120000 DatTmout=120000 Reconnection=0'
expect "Raw: no byte count written" "" "$(values Rw NonByteCount)"

# --- IPP: tab 1, the advanced settings, tab 2; checks on OK and on leaving tab 1
row Ipp "URL=$IPP Timeout=3600 UseProxy=1 ProxyName=127.0.0.1 ProxyNum=8888 Reconnection=1 --apply" \
  "URL=$IPP CmdTmout=3600000 DatTmout=3600000 UseProxy=1 ProxyName=127.0.0.1 ProxyNum=8888 Reconnection=1"
row Ipp 'Timeout=3601' '!IDS_INVALID_TIMEOUT'
row Ipp 'ProxyNum=0' '!IDS_INVALID_PROXYNUMBER'
row Ipp 'ProxyName=' '!IDS_INVALID_PROXYNAME'
row Ipp 'URL=http:// Base64=1' '!IDS_INVALID_URI'
row Ipp 'Chunked=1 MaxChunk=1023' '!IDS_INVALID_CHUNKSIZE'
row Ipp 'UseProxy=0 Chunked=1 MaxChunk=16384 Language=fr' 'UseProxy=0 Chunked=1 MaxChunk=16384 Language=fr'
row Ipp 'MaxChunk=1024 Language=ja-jp Base64=1 UserName=bob PassWord=' \
  'MaxChunk=1024 Language=ja-jp Base64=1 UserName=bob PassWord=0000'
expect "show: the IPP dialog as written" "URL=$IPP
Timeout=3600
UseProxy=0
ProxyName=127.0.0.1
ProxyNum=8888
Reconnection=1
Chunked=1
MaxChunk=1024
Language=ja-jp
Base64=1
UserName=bob
PassWord=(empty)" "$(vexa_spool show Ipp 2>&1)"

# A control another setting turns off is refused before anything is pressed.
before=$(key Ipp)
out=$(vexa_spool configure Ipp Base64=0 UserName=eve 2>&1)
expect "a disabled field" "1 vexaspool: Ipp not configured: cannot set UserName: its control is hidden or disabled (a setting earlier on the line may enable it), so vexaspool cancelled it: operation canceled by user (error 1223)" \
  "$? $out"
expect "a disabled field: the key as it was" "$before" "$(key Ipp)"
out=$(vexa_spool configure Lp URL=$IPP 2>&1)
expect "a field the dialog lacks" "2 vexaspool: an LPR port's dialog has no URL" "$? $(head -1 <<<"$out")"

# --- E-mail: the four tabs and the body editor ------------------------------------------
row Mail '"SmtpServer=smtp example.com"' '!IDS_INVALID_CHARACTER'
row Mail 'ToAddr+=b@example.com' '!IDS_EMALREADYEXISTS'
row Mail 'ToAddr-=a@example.com ToAddr-=b@example.com' '!IDS_INVALID_TO_ADDR'
row Mail 'ToAddr+=B@example.com ToAddr-=a@example.com' 'ToAddr=B@example.com,b@example.com'
row Mail 'ToAddr-=B@example.com ToAddr+=c@example.com' 'ToAddr=b@example.com,c@example.com'
row Mail 'NoPrint=0 EditBody=0 "Subject=it'\''s"' '!IDS_INVALID_CHARACTER'
row Mail 'NoPrint=0 EditBody=0 Subject=Hello Body=one\\ntwo Signature=S CharCode=2 --apply' \
  'NoPrint=0 EditBody=0 Subject=48656C6C6F Body=6F6E650D0A74776F Signature=53 CharCode=2'
row Mail 'AuthType=1 AuthID=id AuthPass=pw' 'AuthType=1 AuthID=id AuthPass=E2E6'
expect "show: the E-mail dialog as written" "SmtpServer=smtp.example.com
FromName=Vexa Test
FromAddr=vexa@example.com
ToAddr=b@example.com,c@example.com
NoPrint=0
EditBody=0
CharCode=2
Subject=Hello
Body=one\\ntwo
Signature=S
AuthType=1
AuthID=id
AuthPass=(set)" "$(vexa_spool show Mail 2>&1)"

# --- they print as changed ----------------------------------------------------------------
# The password typed into the dialog is the one cupsd asks for: no prompt.
out=$(vexa_spool show IppBare 2>&1)
expect "a key without time-outs: the dialog shows what a job uses" "Timeout=180" \
  "$(grep '^Timeout=' <<<"$out" || echo "$out")"

need peer_ipp "$work/auth" 8633 --auth-all alice:secret
row IppAuth 'Base64=1 UserName=alice PassWord=secret' \
  'Base64=1 UserName=alice PassWord=0600564846554857'
print_job IppAuth "$work/doc"
printed $((64 * 1024)) && cmp -s "$work/doc" "$(peer_ipp_document "$work/auth")" &&
  ! grep -q '^prompt 394' <<<"$out" || fail "IppAuth, its password set in the dialog: $out"

# Streamed: the data file announced with no byte count. LPRng refuses that
# length; the hand-written peer takes the data until the connection closes.
need peer_fault "$work/stream" 515 --mode lpd
row Lp 'NonByteCount=1' 'NonByteCount=1'
print_job Lp "$work/doc" --job 5
sleep 0.3
printed $((64 * 1024)) && cmp -s "$work/doc" "$work/stream/conn-1.data" &&
  grep -q "subcommand b'\\\\x03125899906843000 dfA005" "$work/stream/fault.log" ||
  fail "Lp, streamed: $out
$(cat "$work/stream/fault.log")"

vexa_reset_ports
finish configure
