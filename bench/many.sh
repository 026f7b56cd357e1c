# shellcheck shell=bash
# Many ports printing at once, as the Windows 95 spooler prints each
# printer's jobs on a thread of its own: 32 ports (10 Raw, 12 LPR, 10 IPP),
# each to a peer queue of its own, print a file of their own from the
# background lines of one vexaspool session; beside them one port of each
# kind alone, printing the same way. Every copy is compared byte for byte.
# Sourced by run.sh, which runs many_ports after its other rows: it stops
# their peers and starts its own (10 p910nd, an LPRng with 12 queues that
# takes any source port, a cupsd with 10 queues).
#   BENCH_MANY=0       skip it
#   BENCH_MANY_RUNS=3  runs of each session
#   BENCH_MANY_MB=16   the file each port prints
MANY=${BENCH_MANY:-1}
MANY_RUNS=${BENCH_MANY_RUNS:-3}
MANY_MB=${BENCH_MANY_MB:-16}
MANY_IPP_PORT=8631
many_failed=0

# The ports in the session's order, kinds taking turns: "KIND NAME N" a line.
many_ports_list() {
  local n
  for n in $(seq 1 12); do
    [ "$n" -le 10 ] && echo "raw ManyRaw$((n - 1)) $((n - 1))"
    echo "lpr ManyLpr$n $n"
    [ "$n" -le 10 ] && echo "ipp ManyIpp$n $n"
  done
}

many_clear_sinks() {
  local dir=$1 out
  for out in "$dir"/raw*/raw.out; do : >"$out"; done
  rm -f "$dir"/lpd/spool/*/[cdh]f* "$dir"/cups/spool/d*-001
}

# many_verify DIR PORTS: every port of PORTS ("KIND NAME N" lines) left
# exactly its file (DIR/fLINE, LINE its place in the session) in its sink.
# cupsd's documents are matched by content: which job went to which queue
# is not in their names.
many_verify() {
  local dir=$1 kind name n line=0 ok=0 expected_ipp=() docs
  while read -r kind name n; do
    line=$((line + 1))
    case $kind in
      raw) sink_raw_matches "$dir/raw$n/raw.out" "$dir/f$line" $((9100 + n)) || ok=1 ;;
      lpr) sink_lpd_matches "$dir/lpd/spool/m$n" "$dir/f$line" || ok=1 ;;
      ipp) expected_ipp+=("$dir/f$line") ;;
    esac
  done <<<"$2"
  [ ${#expected_ipp[@]} -eq 0 ] && return $ok
  docs=("$dir"/cups/spool/d*-001)
  [ "$(md5sum "${expected_ipp[@]}" | cut -d' ' -f1 | sort)" = \
    "$(md5sum "${docs[@]}" 2>/dev/null | cut -d' ' -f1 | sort)" ] || ok=1
  return $ok
}

# many_session DIR RECORDS KIND RUN PORTS: one session printing on every
# port of PORTS at once, then wait; one record. KIND idle: as many lines
# that only sleep, for what a thread costs.
many_session() {
  local dir=$1 records=$2 kind=$3 run=$4 ports=$5 count line=0 k name n ok=0 jobs=- key value
  local -A cost=() kinds=()
  count=$(wc -l <<<"$ports")
  while read -r k name n; do
    line=$((line + 1))
    kinds[$line]=$k
    if [ "$kind" = idle ]; then
      echo "sleep 1000 &"
    else
      echo "print $name $(winpath "$dir/f$line") --job $line &"
    fi
  done <<<"$ports" >"$dir/session.in"
  echo wait >>"$dir/session.in"
  many_clear_sinks "$dir"
  vexa_wine_setup
  rm -f "$dir/cost"
  python3 "$BENCH/many.py" run --out "$dir/cost" --log "$dir/session.log" --input "$dir/session.in" \
    --lpd-port 515 -- timeout -s KILL 600 "$WINELOADER" "$VEXA_BIN/vexaspool.exe" --answer cancel - \
    >"$dir/errors.log" 2>&1
  [ -f "$dir/cost" ] && while IFS== read -r key value; do cost[$key]=$value; done <"$dir/cost"
  if [ "$kind" = idle ]; then
    [ "${cost[exit]:-1}" = 0 ] && ok=1
  elif [ "${cost[exit]:-1}" = 0 ] && [ "${cost[printed]:-0}" = "$count" ] &&
    many_verify "$dir" "$ports"; then
    ok=1
  fi
  # LINE:MS to KIND:MS
  if [ "${cost[jobs]:--}" != - ]; then
    jobs=$(tr ',' '\n' <<<"${cost[jobs]}" | while IFS=: read -r l ms; do
      printf '%s:%s,' "${kinds[$l]}" "$ms"; done)
    jobs=${jobs%,}
  fi
  [ "$count" -gt 1 ] || cost[fallbacks]=-
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$count" "$kind" "$run" "$ok" \
    "${cost[rss_kb]:-0}" "${cost[threads]:-0}" "${cost[span]:-0}" $((count * (MANY_MB << 20))) \
    "${cost[fallbacks]:--}" "$jobs" >>"$records"
  if [ $ok != 1 ]; then
    many_failed=$((many_failed + 1))
    cat "$dir/session.log" "$dir/errors.log" >"$OUT/failed-many-$many_failed.log" 2>/dev/null
    say "FAILED: $count ports ($kind) run $run (its output: build/bench/failed-many-$many_failed.log)"
  fi
}

many_ports() {
  local dir=$work/many records=$work/many/records.tsv all line=0 kind name n run tw
  say "many ports at once: $MANY_MB MB a port, peers and files"
  peer_stop_all
  mkdir -p "$dir"
  chmod 755 "$dir"
  all=$(many_ports_list)
  while read -r kind name n; do
    line=$((line + 1))
    head -c $((MANY_MB << 20)) /dev/urandom >"$dir/f$line"
  done <<<"$all"
  for n in $(seq 0 9); do peer_raw "$dir/raw$n" "$n" || die "p910nd $n did not start"; done
  peer_lpd "$dir/lpd" 515 --any-port $(seq -f 'm%g' 1 12) || die "LPRng did not start"
  peer_ipp "$dir/cups" "$MANY_IPP_PORT" --queues 10 || die "cupsd did not start"
  while read -r kind name n; do
    case $kind in
      raw) port_key "$name" PrintMode=2 HostName=127.0.0.1 PortNum=$((9100 + n)) ;;
      lpr) port_key "$name" PrintMode=0 HostName=127.0.0.1 PortName="m$n" NonRFCPorts=1 ;;
      ipp) port_key "$name" PrintMode=1 URL="ipp://127.0.0.1:$MANY_IPP_PORT/printers/q$n" Language=en-us ;;
    esac
  done <<<"$all" | reg_import
  set_send_buffer 16384
  printf 'ports\tkind\trun\tok\trss_kb\tthreads\tspan\tbytes\tfallbacks\tjobs\n' >"$records"
  # A source port closed by the last run waits out TIME_WAIT for a minute
  # and cannot be bound meanwhile: without it, only the jobs beyond the
  # eleven reserved ports of one run fall back. This namespace only.
  tw=$(sysctl -n net.ipv4.tcp_max_tw_buckets)
  sysctl -qw net.ipv4.tcp_max_tw_buckets=0
  for run in $(seq 1 "$MANY_RUNS"); do
    say "many ports at once, round $run of $MANY_RUNS"
    for kind in raw lpr ipp; do
      many_session "$dir" "$records" "$kind" "$run" "$(grep -m1 "^$kind " <<<"$all")"
    done
    many_session "$dir" "$records" mix "$run" "$all"
  done
  many_session "$dir" "$records" idle 1 "$(head -1 <<<"$all")"
  many_session "$dir" "$records" idle 1 "$all"
  sysctl -qw net.ipv4.tcp_max_tw_buckets="$tw"
  cp "$records" "$OUT/many-records.tsv"
  {
    echo
    echo "Many ports at once: one vexaspool session, one background print line a port, then wait;"
    echo "$MANY_MB MB a port, each to a peer queue of its own (p910nd 127.0.0.1:9100-9109, LPRng queues m1-m12"
    echo "taking any source port, cupsd queues q1-q10), each copy compared byte for byte. MB/s: the bytes"
    echo "over first StartDocPort to last EndDocPort. Peak RSS: the wine64 process of vexaspool.exe."
    echo "TIME_WAIT is off in the bench's namespace for these runs (see bench/many.sh)."
    python3 "$BENCH/many.py" report "$records" || many_failed=$((many_failed + 1))
  } >>"$notes"
}
