#!/bin/bash
# Runs one fuzz target for SECONDS on a copy of its seed corpus.
#   fuzz/run.sh BUILD/fuzz/TARGET SECONDS
# The copy lives beside the binary (work/TARGET) and keeps what each run
# adds; the seeds in fuzz/corpus/TARGET are never written. A crash leaves
# its input in work/TARGET-crash-* and fails the run.
set -euo pipefail
binary=$1
seconds=${2:-60}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
name=$(basename "$binary")
work=$(dirname "$binary")/work
mkdir -p "$work/$name"
cp -n "$here/corpus/$name"/* "$work/$name"/ 2>/dev/null || true
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/$name-" "$work/$name"
