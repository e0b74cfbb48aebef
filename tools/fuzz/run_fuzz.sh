#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a while and prints, per target, the
# executions, the speed and the outcome. The repository's corpus seeds each run and is
# left untouched: what a run finds goes into <build>/corpus/<name>, a crash's input into
# <build>/artifacts/<name>/ (copy it into fuzz/corpus/<name>/ with its fix).
# Usage: run_fuzz.sh <build folder> <seconds per target> [target names...]
# FUZZ_RUNS=N runs each target for N executions instead of the time. FUZZ_TIMEOUT (30 s)
# is how long one input may take: a run at nice 19 beside a build can stall for 10 s.
set -u
build=$1
seconds=$2
shift 2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$build"/fuzz/fuzz_*; do
    [ -x "$f" ] && names+=("$(basename "$f" | sed 's/^fuzz_//')")
  done
fi
export TZ=${TZ:-Europe/Paris}
failed=0
printf '%-22s %12s %10s  %s\n' target executions exec/s outcome
for name in "${names[@]}"; do
  binary="$build/fuzz/fuzz_$name"
  work="$build/corpus/$name"
  artifacts="$build/artifacts/$name/"
  log="$build/logs/$name.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  if [ -n "${FUZZ_RUNS:-}" ]; then limit=(-runs="$FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  # The targets' own standard error is closed (the JSON reader reports each refused text
  # there, millions of times); libFuzzer's and the sanitizers' reports still come through.
  "$binary" "${limit[@]}" -print_final_stats=1 -rss_limit_mb=2048 -timeout="${FUZZ_TIMEOUT:-30}" -close_fd_mask=2 \
    -artifact_prefix="$artifacts" "$work" "$source_dir/fuzz/corpus/$name" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  if [ $status -eq 0 ]; then
    outcome="ok"
  else
    failed=1
    found=$(ls -t "$artifacts" 2>/dev/null | head -1)
    outcome="FAILED (exit $status) ${found:+input $artifacts$found}, see $log"
  fi
  printf '%-22s %12s %10s  %s\n' "$name" "${runs:-?}" "${speed:-?}" "$outcome"
done
exit $failed
