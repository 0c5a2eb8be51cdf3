#!/usr/bin/env bash
# Installs what the tests need, builds both platforms, and runs every test: natively, and the
# Windows build under Wine; then the native tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of every fuzz target, and the behavioural tests'
# launcher runs under valgrind's memcheck. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export WINEDEBUG=-all

echo "== native build and tests"
started=$SECONDS
cmake --preset native
cmake --build --preset native
ctest --preset native
echo "   took $((SECONDS - started)) s"

echo "== Windows build, tests under Wine"
started=$SECONDS
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
ctest --preset windows
echo "   took $((SECONDS - started)) s"

echo "== sanitizer build (clang, ASan + UBSan), all native tests, short fuzz runs"
started=$SECONDS
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize
bash scripts/fuzz.sh 15
echo "   took $((SECONDS - started)) s"

echo "== memcheck over the behavioural tests' launcher runs"
started=$SECONDS
TOLVARINE_TEST_VALGRIND=1 ctest --preset native -L behaviour
echo "   took $((SECONDS - started)) s"
