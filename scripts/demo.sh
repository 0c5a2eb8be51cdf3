#!/usr/bin/env bash
# The main job: installs what is needed, builds the launcher, lays out a working installation
# (Debian's Batik and FOP as the converter, the machine's Java as its runtime) and converts
# the sample drawing through it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native --target tolvarine tolvarine_convert >/dev/null
prefix="$PWD/install"
rm -rf "$prefix"
cmake --install build --prefix "$prefix" --component launcher >/dev/null
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
