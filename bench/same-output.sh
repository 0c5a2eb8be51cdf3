#!/usr/bin/env bash
# Converts the same drawings with two installations and shows whether their PDFs are the same
# apart from the dates and the document ID, and embed the same fonts: a speed change must not
# change a byte of what a conversion writes.
#   bash bench/same-output.sh BEFORE_INSTALLATION AFTER_INSTALLATION
# The drawings: the sample, the end-to-end tests' drawings, a graphviz graph and the
# benchmark's matplotlib figure. Needs qpdf, poppler-utils, graphviz and python3-matplotlib.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
before=$(realpath "$1") after=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$repo/samples/drawing.svg" "$repo"/tests/e2e/data/{shapes,text,colours,gradients,viewbox}.svg \
  "$work"
dot -Tsvg "$repo/bench/data/graph.dot" -o "$work/graph.svg"
dot -Tsvg "$repo/tests/e2e/data/graph.dot" -o "$work/labels.svg"
/usr/bin/python3 "$repo/bench/data/figure.py" "$work/figure.svg"
# The PDF's objects one per line, uncompressed, without what differs from run to run.
normal() {
  qpdf --qdf --object-streams=disable --deterministic-id "$1" - |
    sed -E 's#/(CreationDate|ModDate) \([^)]*\)##; /^ *\/ID \[/d'
}
differ=0
cd "$work"
for drawing in *.svg; do
  name=${drawing%.svg}
  for side in before after; do
    installation=$before
    [ "$side" = after ] && installation=$after
    "$installation/tolvarine" "$drawing" -o "$name.$side.pdf" >/dev/null || true
    normal "$name.$side.pdf" >"$name.$side.qdf"
    pdffonts "$name.$side.pdf" | awk 'NR > 2 { print $1, $2, $3, $(NF-4), $(NF-3), $(NF-2) }' |
      sed -E 's/^[A-Z]{6}\+//' >"$name.$side.fonts"
  done
  if cmp -s "$name.before.qdf" "$name.after.qdf" && cmp -s "$name.before.fonts" "$name.after.fonts"
  then
    echo "same: $drawing ($(wc -l <"$name.after.fonts") fonts)"
  else
    echo "DIFFERENT: $drawing"
    diff -a "$name.before.qdf" "$name.after.qdf" | head -n 20 || true
    diff "$name.before.fonts" "$name.after.fonts" || true
    differ=1
  fi
done
exit $differ
