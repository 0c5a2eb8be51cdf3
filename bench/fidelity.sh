#!/usr/bin/env bash
# Measures how faithfully tolvarine converts drawings that real programs write: makes a corpus
# in a temporary folder (graphviz, matplotlib and gnuplot from the inputs in bench/fidelity/,
# a sample of the SVG files Debian's packages ship, diagram-tool labels, lines of text in
# every script, family and weight), converts each drawing with tolvarine, rsvg-convert and
# cairosvg, compares the PDFs with rsvg-convert's and writes docs/fidelity.md and the pictures
# in docs/fidelity/. Takes a few minutes; not part of the test command.
#   bash bench/fidelity.sh                 builds a Release launcher in build-bench/ and lays
#                                           out its installation in build-bench/install
#   bash bench/fidelity.sh INSTALLATION [DESCRIPTION]
#                                           measures that installation instead; the report
#                                           names it by DESCRIPTION (what it was built from)
#   --keep (first)                          keeps the corpus, the PDFs and their pictures
set -euo pipefail
keep=0
if [ "${1:-}" = "--keep" ]; then keep=1; shift; fi
cd "$(dirname "$0")/.."
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
# The Debian Python, which has the packaged cairosvg and matplotlib (a python3 earlier on PATH
# may not).
python=/usr/bin/python3
missing=0
for program in dot gnuplot rsvg-convert pdftoppm pdfinfo pdffonts pdftotext fc-list; do
  command -v "$program" >/dev/null || missing=1
done
"$python" -c 'import cairosvg, matplotlib, PIL' 2>/dev/null || missing=1
if [ "$missing" = 1 ]; then
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    graphviz gnuplot-nox librsvg2-bin poppler-utils python3-cairosvg python3-matplotlib \
    python3-pil fonts-noto-core fonts-noto-cjk fonts-liberation2 fonts-lato
fi

if [ $# -ge 1 ]; then
  install=$(cd "$1" && pwd)
  built_from=${2:-an installation given to the bench}
else
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTOLVARINE_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench
  rm -rf build-bench/install
  cmake --install build-bench --prefix build-bench/install >/dev/null
  install=$PWD/build-bench/install
  built_from="this repository at commit $(git log -1 --format='%h %cs' 2>/dev/null || echo '?')"
fi
[ -x "$install/tolvarine" ] || { echo "fidelity: no launcher in $install" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvarine-fidelity.XXXXXX")
if [ "$keep" = 1 ]; then echo "fidelity: keeping $work"; else trap 'rm -rf "$work"' EXIT; fi
corpus=$work/corpus
mkdir -p "$corpus"/{graphviz,matplotlib,gnuplot,diagrams,text}

# A graph named NAME.LAYOUT.dot is laid out by that engine, any other by dot.
for graph in bench/fidelity/dot/*.dot; do
  name=$(basename "$graph" .dot)
  layout=dot
  case $name in *.*) layout=${name##*.} ;; esac
  dot -K"$layout" -Tsvg "$graph" >"$corpus/graphviz/$name.svg"
done
MPLCONFIGDIR=$work/matplotlib "$python" bench/fidelity/matplotlib_figures.py "$corpus/matplotlib"
for plot in bench/fidelity/gnuplot/*.gp; do
  gnuplot "$plot" >"$corpus/gnuplot/$(basename "$plot" .gp).svg"
done
"$python" bench/fidelity/drawings.py diagrams "$corpus/diagrams"
# The weights are set in a family installed in all nine, where there is one.
weight_family="Noto Sans"
[ -n "$(fc-list ':family=Lato:style=Hairline')" ] && weight_family=Lato
"$python" bench/fidelity/drawings.py text "$corpus/text" "$weight_family"

"$python" bench/fidelity/compare.py --install "$install" --work "$work" \
  --built-from "$built_from" --weight-family "$weight_family" \
  --report docs/fidelity.md --pictures docs/fidelity
