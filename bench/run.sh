#!/usr/bin/env bash
# Builds a Release launcher in build-bench/ and lays out its installation in
# build-bench/install, measures the launcher beside the converter run directly and piped into
# cat, and the whole conversion (an empty drawing, the sample, a matplotlib figure, a graphviz
# graph and 20,000 elements) beside plain java, rsvg-convert and cairosvg; prints the table and
# writes docs/performance.md and docs/performance-output.png. Takes about ten minutes; not part
# of the test command.
#   bash bench/run.sh              the full run (the report)
#   bash bench/run.sh --quick      fewer rounds, for a trial
#   bash bench/run.sh --jobs-only  only the whole conversions, printed, no report
set -euo pipefail
cd "$(dirname "$0")/.."
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if ! command -v gnuplot >/dev/null || ! command -v python3 >/dev/null ||
    ! command -v rsvg-convert >/dev/null || ! command -v pdfinfo >/dev/null ||
    ! command -v dot >/dev/null || ! /usr/bin/python3 -c 'import cairosvg, matplotlib' 2>/dev/null
then
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    gnuplot-nox python3 librsvg2-bin python3-cairosvg python3-matplotlib graphviz poppler-utils
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVARINE_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench
rm -rf build-bench/install
cmake --install build-bench --prefix build-bench/install >/dev/null
python3 bench/run.py --build build-bench --install build-bench/install "$@"
