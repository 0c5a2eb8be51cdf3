#!/usr/bin/env bash
# The main job: installs what is needed, builds the launcher, lays out an installation, and
# converts the sample drawing through it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native --target tolvarine >/dev/null
prefix="$PWD/install"
cmake --install build --prefix "$prefix" --component launcher >/dev/null
work=$(mktemp -d)
cp samples/drawing.svg "$work/"
cd "$work"
echo "\$ tolvarine drawing.svg -o drawing.pdf"
set +e
"$prefix/tolvarine" drawing.svg -o drawing.pdf
status=$?
set -e
echo "(exit status $status; output folder $work)"
