#!/usr/bin/env python3
"""Writes the fidelity corpus's hand-made drawings into the folders given.

  drawings.py diagrams FOLDER            diagrams in the form diagram tools export: each label
                                         a <switch> of HTML in a foreignObject and a <text>
  drawings.py text FOLDER WEIGHT_FAMILY  one line of text per script, per family and per
                                         weight; texts.json maps each drawing to its text
"""
import json
import sys
from xml.sax.saxutils import escape

SCRIPTS = [
    ("latin", "The quick brown fox jumps over the lazy dog"),
    ("cyrillic", "Съешь же ещё этих мягких французских булок"),
    ("greek", "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία"),
    ("arabic", "مرحبا بالعالم"),
    ("hebrew", "שלום עולם"),
    ("cjk", "日本語のテキストと中文"),
    ("devanagari", "नमस्ते दुनिया"),
    ("emoji", "😀 🎉 👍 ☕ ✈"),
]
FAMILIES = ["serif", "sans-serif", "monospace", "Arial", "Helvetica", "Times New Roman",
            "Courier New"]
SAMPLE = "Hamburgefonstiv 0123456789 The quick brown fox"
XHTML_LABEL = ('<foreignObject pointer-events="none" width="100%" height="100%"{features} '
               'style="overflow: visible; text-align: left;"><div '
               'xmlns="http://www.w3.org/1999/xhtml" style="display: flex; align-items: '
               'unsafe center; justify-content: unsafe center; width: {w}px; height: 1px; '
               'padding-top: {cy}px; margin-left: {x}px;"><div style="box-sizing: '
               'border-box; font-size: 0px; text-align: center;"><div style="display: '
               'inline-block; font-size: 12px; font-family: Helvetica; color: rgb(0, 0, 0); '
               'line-height: 1.2; white-space: normal;">{label}</div></div></div>'
               '</foreignObject>')


def text_svg(text, family, weight=400, width=900):
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="64" '
            'viewBox="0 0 %d 64"><rect width="100%%" height="100%%" fill="white"/>'
            '<text x="16" y="42" font-family="%s" font-size="28" font-weight="%d">%s</text>'
            '</svg>\n' % (width, width, escape(family, {'"': "&quot;"}), weight, escape(text)))


def write_text(folder, weight_family):
    texts = {}

    def put(name, svg, text):
        with open("%s/%s.svg" % (folder, name), "w", encoding="utf-8") as out:
            out.write(svg)
        texts[name] = text

    for name, text in SCRIPTS:
        put("script-" + name, text_svg(text, "sans-serif"), text)
    for family in FAMILIES:
        put("family-" + family.lower().replace(" ", "-"), text_svg(SAMPLE, family), SAMPLE)
    for weight in range(100, 1000, 100):
        text = "Weight %d Hamburgefonstiv" % weight
        put("weight-%d" % weight, text_svg(text, weight_family, weight, 600), text)
    with open(folder + "/texts.json", "w", encoding="utf-8") as out:
        json.dump(texts, out, ensure_ascii=False, indent=1, sort_keys=True)


def diagram(features):
    """A small flow chart: four boxes, their labels in <switch>es, and arrows between them."""
    boxes = [("Start", 20, 20), ("Read drawing", 20, 110), ("Convert to PDF", 200, 110),
             ("Done", 200, 200)]
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" '
             'xmlns:xlink="http://www.w3.org/1999/xlink" version="1.1" width="341px" '
             'height="261px" viewBox="-0.5 -0.5 341 261"><defs/><g>']
    for label, x, y in boxes:
        parts.append('<rect x="%d" y="%d" width="120" height="40" rx="6" ry="6" '
                     'fill="rgb(255, 255, 255)" stroke="rgb(0, 0, 0)" '
                     'pointer-events="all"/>' % (x, y))
        parts.append('<g transform="translate(-0.5 -0.5)"><switch>')
        parts.append(XHTML_LABEL.format(features=features, w=118, cy=y + 20, x=x + 1,
                                        label=escape(label)))
        parts.append('<text x="%d" y="%d" fill="rgb(0, 0, 0)" font-family="Helvetica" '
                     'font-size="12px" text-anchor="middle">%s</text>'
                     % (x + 60, y + 24, escape(label)))
        parts.append('</switch></g>')
    for x1, y1, x2, y2 in [(80, 60, 80, 104), (140, 130, 194, 130), (260, 150, 260, 194)]:
        parts.append('<path d="M %d %d L %d %d" fill="none" stroke="rgb(0, 0, 0)" '
                     'stroke-miterlimit="10"/>' % (x1, y1, x2, y2))
        parts.append('<circle cx="%d" cy="%d" r="3" fill="rgb(0, 0, 0)"/>' % (x2, y2))
    parts.append('</g>')
    if features:
        parts.append('<switch><g requiredFeatures="http://www.w3.org/TR/SVG11/feature#'
                     'Extensibility"/><a transform="translate(0,-5)"><text '
                     'text-anchor="middle" font-size="10px" x="50%" y="100%">Text is not '
                     'SVG - cannot display</text></a></switch>')
    parts.append('</svg>\n')
    return "".join(parts)


def write_diagrams(folder):
    features = ' requiredFeatures="http://www.w3.org/TR/SVG11/feature#Extensibility"'
    for name, text in [("switch-plain", ""), ("switch-features", features)]:
        with open("%s/%s.svg" % (folder, name), "w", encoding="utf-8") as out:
            out.write(diagram(text))


if __name__ == "__main__":
    if sys.argv[1] == "diagrams":
        write_diagrams(sys.argv[2])
    else:
        write_text(sys.argv[2], sys.argv[3])
