#!/usr/bin/env bash
# The main job: installs what a conversion needs (nothing for the tests), builds the launcher,
# lays out a working installation (Debian's Batik and FOP as the converter, the machine's Java
# as its runtime) and converts the sample drawing through it.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Set-up output is shown only when a step fails.
quietly() { "$@" >"$log" 2>&1 || { cat "$log"; exit 1; }; }
quietly bash scripts/install-deps.sh --conversion
# A build of its own without tests or benchmarks, which need packages a conversion does not,
# and which leaves the test build's settings alone.
quietly cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTOLVARINE_BUILD_TESTS=OFF -DTOLVARINE_BUILD_BENCHMARKS=OFF
quietly cmake --build build-demo --target tolvarine tolvarine_hand tolvarine_convert
prefix="$PWD/install"
rm -rf "$prefix"
quietly cmake --install build-demo --prefix "$prefix" --component launcher
work=$(mktemp -d)
cp samples/drawing.svg "$work/"
cd "$work"
echo "\$ $prefix/tolvarine drawing.svg -o drawing.pdf"
set +e
"$prefix/tolvarine" drawing.svg -o drawing.pdf
status=$?
set -e
echo "(exit status $status)"
if [ -s drawing.pdf ]; then
  pdfinfo drawing.pdf | grep -E '^(Producer|Pages|Page size)'
  echo "The PDF is $work/drawing.pdf"
fi
