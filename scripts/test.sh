#!/usr/bin/env bash
# Installs what the tests need, builds both platforms, and runs every test: natively, and the
# Windows build under Wine; then the native tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of every fuzz target, and the behavioural tests'
# launcher runs under valgrind's memcheck. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export WINEDEBUG=-all
step() { echo "== $1"; started=$SECONDS; }
took() { echo "   took $((SECONDS - started)) s"; }

step "native build and tests"
cmake --preset native
cmake --build --preset native
ctest --preset native
took

step "Windows build"
cmake --preset windows
cmake --build --preset windows
# A Wine prefix of the run's own, and one Wine server for the whole run instead of one
# started and stopped per test.
export WINEPREFIX="${WINEPREFIX:-$PWD/build-win/wine-prefix}"
wineboot --init >/dev/null 2>&1
wineserver -w  # the server wineboot left behind, so that ours can be the persistent one
wineserver -p
# Start Wine's own services now, away from CTest's pipes: a service that inherited a test's
# output pipe would hold it open after the test ended.
wineboot >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
took

# The tests under Wine mostly wait on Wine, not on the processor: they run beside the
# sanitizer build, and their output follows it.
windows_log="$(mktemp)"
ctest --preset windows >"$windows_log" 2>&1 &
windows_tests=$!
windows_started=$SECONDS

step "sanitizer build (clang, ASan + UBSan), native tests but the end-to-end ones, fuzz runs"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize -LE e2e
bash scripts/fuzz.sh 5
took

echo "== Windows tests under Wine (beside the sanitizer step)"
windows_status=0
wait "$windows_tests" || windows_status=$?
cat "$windows_log"
rm -f "$windows_log"
echo "   took $((SECONDS - windows_started)) s"
[ "$windows_status" -eq 0 ]

step "memcheck over the behavioural tests' launcher runs"
TOLVARINE_TEST_VALGRIND=1 ctest --preset native -L behaviour
took
