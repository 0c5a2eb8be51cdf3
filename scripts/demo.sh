#!/usr/bin/env bash
# The main job: installs what is needed, builds the launcher, lays out a working installation
# (Debian's Batik and FOP as the converter, the machine's Java as its runtime) and converts
# the sample drawing through it.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Set-up output is shown only when a step fails.
quietly() { "$@" >"$log" 2>&1 || { cat "$log"; exit 1; }; }
quietly bash scripts/install-deps.sh
quietly cmake --preset native
quietly cmake --build --preset native --target tolvarine tolvarine_convert
prefix="$PWD/install"
rm -rf "$prefix"
quietly cmake --install build --prefix "$prefix" --component launcher
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
