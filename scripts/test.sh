#!/usr/bin/env bash
# Installs what is missing, builds vonkel and runs the whole test suite:
#   release      unit tests, soak, and the end-to-end checks of the real game
#   asan-ubsan   unit tests and soak under AddressSanitizer + UndefinedBehaviorSanitizer
#   tsan         unit tests and the two-thread tests under ThreadSanitizer (the
#                soak is single-threaded: it runs in the first two stages)
#   fuzz         each libFuzzer target for a bounded time
#   web          the web page (preset web) in headless Chromium, against the
#                release build's vonkel-lab
# VONKEL_TEST_STAGES picks stages, e.g. VONKEL_TEST_STAGES="release" for a quick run.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=${VONKEL_TEST_STAGES:-"release asan-ubsan tsan fuzz web"}
# The browser and the wasm compiler only when the web stage runs.
case " $stages " in
  *" web "*) bash scripts/setup.sh web-test ;;
  *) bash scripts/setup.sh ;;
esac
jobs=$(nproc)
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

passed=0
failed=0
tests_passed=0
tests_failed=0
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
run_stage() {
  local name=$1
  shift
  echo "== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "== $name passed in $((SECONDS - start)) s"
  else
    failed=$((failed + 1))
    echo "== $name FAILED after $((SECONDS - start)) s"
  fi
}

# Adds ctest's "N tests failed out of M" to the totals.
count_tests() {
  local line total failures
  line=$(grep -E 'tests failed out of [0-9]+' "$summary" | tail -n 1) || return 0
  total=${line##* }
  failures=$(sed -E 's/.* ([0-9]+) tests failed out of.*/\1/' <<<"$line")
  tests_passed=$((tests_passed + total - failures))
  tests_failed=$((tests_failed + failures))
}

# Each stage's test preset (CMakePresets.json) says which labels it runs.
build_and_test() {
  local preset=$1
  : >"$summary"
  local status=0
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$jobs" &&
    { ctest --preset "$preset" -j "$jobs" | tee "$summary"; status=${PIPESTATUS[0]}; } || status=1
  count_tests
  return "$status"
}

# The page's tests run in Debian's Python, which has the selenium package.
web_test() {
  : >"$summary"
  local status=0
  cmake --preset release >/dev/null &&
    cmake --build --preset release -j "$jobs" --target vonkel-lab &&
    cmake --preset web >/dev/null &&
    cmake --build --preset web -j "$jobs" &&
    { /usr/bin/python3 -m unittest discover -s tests/web -p 'test_*.py' -v 2>&1 | tee "$summary";
      status=${PIPESTATUS[0]}; } || status=1
  local ran failures
  ran=$(grep -oE '^Ran [0-9]+ test' "$summary" | grep -oE '[0-9]+' || echo 0)
  failures=$(grep -cE '^(FAIL|ERROR): ' "$summary" || true)
  tests_passed=$((tests_passed + ran - failures))
  tests_failed=$((tests_failed + failures))
  return "$status"
}

for stage in $stages; do
  case $stage in
    release) run_stage release build_and_test release ;;
    asan-ubsan) run_stage asan-ubsan build_and_test asan-ubsan ;;
    tsan) run_stage tsan build_and_test tsan ;;
    fuzz) run_stage fuzz bash scripts/fuzz.sh ;;
    web) run_stage web web_test ;;
    *) echo "unknown stage $stage" >&2; exit 2 ;;
  esac
done

echo "stages: $passed passed, $failed failed"
echo "tests: $tests_passed passed, $tests_failed failed"
[ "$failed" -eq 0 ]
