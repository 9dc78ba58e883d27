#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UBSan) and runs each
# for a bounded time: VONKEL_FUZZ_SECONDS per target (default 30). Findings
# are written to build/fuzz/findings/; the corpora grow in build/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${VONKEL_FUZZ_SECONDS:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzz_core fuzz_keys fuzz_args fuzz_run
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for target in core keys args run; do
  corpus=build/fuzz/corpus/$target
  findings=build/fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  cp -n tests/fuzz/seeds/$target/* "$corpus"/ 2>/dev/null || true
  log=build/fuzz/$target.log
  # A core input is one byte per frame: short inputs keep each run quick.
  limit=4096
  [ "$target" = core ] && limit=300
  if build/fuzz/tests/fuzz/fuzz_$target "$corpus" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -max_len="$limit" \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz_$target: $runs executions, no finding"
  else
    echo "fuzz_$target: FINDING (see $log and $findings)"
    tail -n 40 "$log"
    status=1
  fi
done
exit $status
