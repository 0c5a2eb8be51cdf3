#!/usr/bin/env python3
"""Converts the fidelity corpus with tolvarine, rsvg-convert and cairosvg, compares the PDFs
with rsvg-convert's (page size, picture, text) and writes the report and its pictures.

Run through bench/fidelity.sh, which makes the corpus first. Conversions run one at a time, so
that their times can be compared; the PDFs are then measured two at a time.
"""
import argparse
import collections
import concurrent.futures
import datetime
import glob
import json
import os
import re
import subprocess
import time
import unicodedata

from PIL import Image, ImageChops, ImageDraw, ImageFilter

TOOLS = ["tolvarine", "rsvg-convert", "cairosvg"]
SOURCES = [
    ("graphviz", "graphviz `dot -Tsvg`, committed graphs (`bench/fidelity/dot/`)"),
    ("matplotlib", "matplotlib figures (`bench/fidelity/matplotlib_figures.py`)"),
    ("gnuplot", "gnuplot `set terminal svg` (`bench/fidelity/gnuplot/`)"),
    ("debian", "SVG files that Debian's installed packages ship under `/usr/share`"),
    ("diagrams", "diagram-tool export: labels as `<switch>` of `foreignObject` and `<text>`"),
    ("text", "text: scripts, families and weights (`bench/fidelity/drawings.py`)"),
]
DEBIAN_SAMPLE = 40
DEBIAN_MAX_BYTES = 1 << 20
TIME_LIMIT = 120
# Pictures: each first page at 48 dpi (more for small pages, so that the longer side has at
# least MIN_SIDE pixels), blurred with a radius of BLUR pixels so that antialiasing and
# sub-pixel shifts do not count. A pixel differs when a channel differs by more than
# THRESHOLD of 255; two pictures agree when at most AGREE of their pixels differ.
DPI = 48
MIN_SIDE = 256
BLUR = 1.5
THRESHOLD = 48
AGREE = 0.01
SIZE_TOLERANCE = 0.01
WORST = 8
PANEL = (400, 300)

BIDI_CONTROLS = re.compile("[\u200e\u200f\u202a-\u202e\u2066-\u2069]")

Drawing = collections.namedtuple("Drawing", "source name path")


def run(argv, timeout=TIME_LIMIT, cwd=None):
    try:
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout, cwd=cwd, check=False)
        return done.returncode, done.stdout.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return None, "no end after %d s" % timeout


def debian_sample():
    """Up to DEBIAN_SAMPLE drawings, shared out fairly among the folders that ship them (two
    levels under /usr/share), evenly spaced in each folder's sorted list."""
    groups = collections.defaultdict(list)
    for folder, _, files in os.walk("/usr/share"):
        for name in files:
            path = os.path.join(folder, name)
            # A link (an alternative's) is the file it names, found on its own.
            if name.endswith(".svg") and os.path.isfile(path) and not os.path.islink(path) \
                    and os.path.getsize(path) <= DEBIAN_MAX_BYTES:
                groups["/".join(path.split("/")[3:5])].append(path)
    quota = {group: 0 for group in groups}
    left = DEBIAN_SAMPLE
    while left and any(quota[g] < len(groups[g]) for g in groups):
        for group in sorted(groups):
            if left and quota[group] < len(groups[group]):
                quota[group] += 1
                left -= 1
    chosen = []
    for group in sorted(groups):
        paths = sorted(groups[group])
        step = len(paths) / quota[group] if quota[group] else 0
        chosen += [paths[int(i * step)] for i in range(quota[group])]
    return sorted(chosen)


def packages_of(paths):
    """Debian package of each path, as dpkg -S says."""
    code, text = run(["dpkg", "-S"] + paths)
    owner = {}
    for line in text.splitlines():
        if ": " in line:
            package, path = line.split(": ", 1)
            owner[path.strip()] = package.split(":")[0]
    return owner


def corpus(work):
    drawings = []
    for source, _ in SOURCES:
        if source == "debian":
            for path in debian_sample():
                drawings.append(Drawing(source, path[len("/usr/share/"):], path))
            continue
        for path in sorted(glob.glob(os.path.join(work, "corpus", source, "*.svg"))):
            drawings.append(Drawing(source, os.path.basename(path)[:-4], path))
    return drawings


def convert(tool, drawing, pdf, install):
    # Each runs in the drawing's folder and is given its bare name, which messages repeat.
    name = os.path.basename(drawing.path)
    argv = {
        "tolvarine": [os.path.join(install, "tolvarine"), name, "-o", pdf],
        "rsvg-convert": ["rsvg-convert", "-f", "pdf", "-o", pdf, name],
        "cairosvg": ["/usr/bin/python3", "-m", "cairosvg", name, "-o", pdf],
    }[tool]
    start = time.monotonic()
    code, text = run(argv, cwd=os.path.dirname(drawing.path))
    seconds = time.monotonic() - start
    # The launcher says success with status 1.
    success = code == (1 if tool == "tolvarine" else 0)
    made = success and os.path.isfile(pdf) and os.path.getsize(pdf) > 0
    return {"ok": made, "status": code, "seconds": seconds, "output": text}


def page_size(pdf):
    _, text = run(["pdfinfo", pdf])
    found = re.search(r"Page size:\s+([\d.]+) x ([\d.]+) pts", text)
    return (float(found.group(1)), float(found.group(2))) if found else None


def fonts(pdf):
    _, text = run(["pdffonts", pdf])
    names = []
    for line in text.splitlines()[2:]:
        if line.strip():
            name = re.sub(r"^[A-Z]{6}\+", "", line.split()[0])
            if name not in names:
                names.append(name)
    return names


def pdf_text(pdf):
    _, text = run(["pdftotext", "-enc", "UTF-8", "-f", "1", "-l", "1", pdf, "-"])
    # pdftotext marks right-to-left runs with direction controls, which no drawing holds.
    return BIDI_CONTROLS.sub("", unicodedata.normalize("NFKC", text))


def measure(pdf, dpi, picture):
    """Page size, text, fonts and the first page's picture of one PDF."""
    run(["pdftoppm", "-r", "%.2f" % dpi, "-f", "1", "-l", "1", "-singlefile", "-png", pdf,
         picture[:-4]])
    return {"size": page_size(pdf), "text": pdf_text(pdf), "fonts": fonts(pdf),
            "picture": picture if os.path.isfile(picture) else None}


def picture_difference(one, other):
    """Share of the pixels that differ, over the area the two pictures have in common."""
    first = Image.open(one).convert("RGB")
    second = Image.open(other).convert("RGB")
    width, height = min(first.width, second.width), min(first.height, second.height)
    if width == 0 or height == 0:
        return 1.0
    blur = ImageFilter.GaussianBlur(BLUR)
    first = first.crop((0, 0, width, height)).filter(blur)
    second = second.crop((0, 0, width, height)).filter(blur)
    bands = ImageChops.difference(first, second).split()
    largest = ImageChops.lighter(ImageChops.lighter(bands[0], bands[1]), bands[2])
    differing = largest.point(lambda value: 255 if value > THRESHOLD else 0).histogram()[255]
    return differing / float(width * height)


def words(text):
    return text.split()


def characters(text):
    return sorted("".join(text.split()))


def compare_text(text, reference):
    """None when both hold the same characters, whatever the blanks and the order (pdftotext
    orders what is placed apart by its own guesses), else the words that differ."""
    if characters(text) == characters(reference):
        return None
    missing = collections.Counter(words(reference)) - collections.Counter(words(text))
    extra = collections.Counter(words(text)) - collections.Counter(words(reference))
    parts = []
    if missing:
        parts.append("missing %s" % quote_words(missing))
    if extra:
        parts.append("extra %s" % quote_words(extra))
    return "text differs: " + "; ".join(parts)


def quote_words(counter):
    listed = sorted(counter.elements())
    shown = " ".join(listed[:6]) + (" ..." if len(listed) > 6 else "")
    return "%d word%s (`%s`)" % (len(listed), "" if len(listed) == 1 else "s",
                                 shown.replace("`", "'"))


def same_size(size, reference):
    return size is not None and reference is not None and \
        abs(size[0] - reference[0]) <= SIZE_TOLERANCE and \
        abs(size[1] - reference[1]) <= SIZE_TOLERANCE


def judge(result):
    """Fills in, for tolvarine and cairosvg, whether each agrees with rsvg-convert."""
    reference = result["rsvg-convert"]
    for tool in ["tolvarine", "cairosvg"]:
        mine = result[tool]
        mine["size_ok"] = mine["picture_ok"] = mine["text_ok"] = None
        mine["reasons"] = []
        if not mine["ok"]:
            mine["reasons"].append("no PDF: " + failure_line(mine))
            continue
        if not reference["ok"]:
            continue
        mine["size_ok"] = same_size(mine["size"], reference["size"])
        if not mine["size_ok"]:
            mine["reasons"].append("page %s pt, rsvg-convert's %s pt" % (
                format_size(mine["size"]), format_size(reference["size"])))
        if mine["picture"] and reference["picture"]:
            mine["difference"] = picture_difference(mine["picture"], reference["picture"])
            mine["picture_ok"] = mine["size_ok"] and mine["difference"] <= AGREE
            if mine["difference"] > AGREE:
                mine["reasons"].append("pictures differ in %.1f%% of pixels"
                                       % (100 * mine["difference"]))
        why = compare_text(mine["text"], reference["text"])
        mine["text_ok"] = why is None
        if why:
            mine["reasons"].append(why)
        if result["drawing"].source == "text" and \
                sorted(mine["fonts"]) != sorted(reference["fonts"]):
            mine["reasons"].append("fonts %s, rsvg-convert's %s" % (
                ", ".join(mine["fonts"]) or "none", ", ".join(reference["fonts"]) or "none"))


def failure_line(outcome):
    lines = [line.strip() for line in outcome["output"].splitlines()]
    for line in lines:
        if "error" in line.lower():
            return line
    meaningful = [line for line in lines if line and not line.startswith(("=", "["))]
    text = meaningful[-1] if meaningful else ""
    return "status %s%s" % (outcome["status"], (", " + text) if text else "")


def warnings(outcome):
    return [line.strip() for line in outcome["output"].splitlines() if ": warning:" in line]


def format_size(size):
    return "%g x %g" % size if size else "none"


def analyse(drawings, work, install):
    results = []
    for drawing in drawings:
        folder = os.path.join(work, "out", drawing.source)
        os.makedirs(folder, exist_ok=True)
        stem = os.path.join(folder, re.sub(r"[^\w.-]", "_", drawing.name))
        result = {"drawing": drawing}
        for tool in TOOLS:
            result[tool] = convert(tool, drawing, "%s.%s.pdf" % (stem, tool), install)
            result[tool]["pdf"] = "%s.%s.pdf" % (stem, tool)
        results.append(result)
        print("%-10s %-50s %s" % (drawing.source, drawing.name[-50:], " ".join(
            "%s:%s" % (tool, "ok" if result[tool]["ok"] else "FAILED") for tool in TOOLS)),
            flush=True)

    def measure_all(result):
        sizes = [page_size(result[tool]["pdf"]) for tool in TOOLS if result[tool]["ok"]]
        longest = max(max(size) for size in sizes if size) if any(sizes) else 1
        dpi = max(DPI, min(300.0, MIN_SIDE * 72.0 / longest))
        for tool in TOOLS:
            if result[tool]["ok"]:
                pdf = result[tool]["pdf"]
                result[tool].update(measure(pdf, dpi, pdf[:-4] + ".png"))
        judge(result)

    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        list(pool.map(measure_all, results))
    return results


def versions(built_from):
    def package(name):
        _, text = run(["dpkg-query", "-W", "-f", "${Version}", name])
        return text.strip() if text and "no packages" not in text else "not installed"

    _, java = run(["java", "-version"])
    return [
        ("tolvarine", built_from),
        ("Batik (libbatik-java)", package("libbatik-java")),
        ("FOP (fop)", package("fop")),
        ("Java", java.splitlines()[0] if java else "?"),
        ("rsvg-convert (librsvg2-bin)", package("librsvg2-bin")),
        ("cairosvg (python3-cairosvg)", package("python3-cairosvg")),
        ("graphviz", package("graphviz")),
        ("matplotlib (python3-matplotlib)", package("python3-matplotlib")),
        ("gnuplot (gnuplot-nox)", package("gnuplot-nox")),
        ("poppler-utils", package("poppler-utils")),
    ]


def mark(value):
    return {True: "yes", False: "**no**", None: "-"}[value]


def count(results, tool, key):
    return sum(1 for result in results if result[tool].get(key))


def fraction(results, tool, key):
    judged = [result for result in results if result[tool].get(key) is not None]
    return "%d/%d" % (sum(1 for result in judged if result[tool][key]), len(judged))


def seconds(results, tool):
    return "%.1f" % sum(result[tool]["seconds"] for result in results)


def summary_table(results):
    lines = ["| Source | Drawings | Converted (tolvarine / rsvg-convert / cairosvg) | "
             "Page size equal (tolvarine / cairosvg) | Pictures agree (tolvarine / cairosvg) | "
             "Text equal (tolvarine / cairosvg) | Time, s (tolvarine / rsvg-convert / "
             "cairosvg) |", "|---|---:|---|---|---|---|---|"]
    groups = [(source, [r for r in results if r["drawing"].source == source])
              for source, _ in SOURCES] + [("**all**", results)]
    for source, rows in groups:
        if not rows:
            continue
        lines.append("| %s | %d | %s | %s | %s | %s | %s |" % (
            source, len(rows), " / ".join(str(count(rows, tool, "ok")) for tool in TOOLS),
            " / ".join(fraction(rows, tool, "size_ok") for tool in ["tolvarine", "cairosvg"]),
            " / ".join(fraction(rows, tool, "picture_ok") for tool in ["tolvarine", "cairosvg"]),
            " / ".join(fraction(rows, tool, "text_ok") for tool in ["tolvarine", "cairosvg"]),
            " / ".join(seconds(rows, tool) for tool in TOOLS)))
    return lines


def cell(outcome):
    if not outcome["ok"]:
        return "**no PDF**"
    if outcome.get("size_ok") is None:
        return "converted"
    parts = ["size %s" % ("=" if outcome["size_ok"] else "**differs**")]
    if "difference" in outcome:
        shown = "%.1f%%" % (100 * outcome["difference"])
        parts.append("pixels %s" % (shown if outcome["picture_ok"] else "**%s**" % shown))
    parts.append("text %s" % ("=" if outcome["text_ok"] else "**differs**"))
    return ", ".join(parts)


def source_table(rows):
    lines = ["| Drawing | rsvg-convert's page, pt | tolvarine | cairosvg | Time, s (t / r / c) |",
             "|---|---|---|---|---|"]
    for result in rows:
        reference = result["rsvg-convert"]
        lines.append("| %s | %s | %s | %s | %s |" % (
            result["drawing"].name, format_size(reference.get("size")) if reference["ok"]
            else "**no PDF**", cell(result["tolvarine"]), cell(result["cairosvg"]),
            " / ".join("%.2f" % result[tool]["seconds"] for tool in TOOLS)))
    return lines


def text_table(rows, texts):
    lines = ["| Drawing | Source text | tolvarine's font | rsvg-convert's font | Same fonts | "
             "pdftotext = source (tolvarine / rsvg-convert) | Picture agrees |",
             "|---|---|---|---|---|---|---|"]

    def matches(outcome, text):
        if not outcome["ok"]:
            return "no PDF"
        got = "".join(outcome["text"].split())
        return "yes" if got == "".join(text.split()) else "**no** (`%s`)" % got[:40]

    for result in rows:
        name = result["drawing"].name
        text = texts.get(name, "")
        mine = result["tolvarine"].get("fonts", [])
        theirs = result["rsvg-convert"].get("fonts", [])
        lines.append("| %s | %s | %s | %s | %s | %s / %s | %s |" % (
            name, text, ", ".join(mine) or "-", ", ".join(theirs) or "-",
            mark(sorted(mine) == sorted(theirs) if result["tolvarine"]["ok"] and
                 result["rsvg-convert"]["ok"] else None),
            matches(result["tolvarine"], text), matches(result["rsvg-convert"], text),
            mark(result["tolvarine"].get("picture_ok"))))
    return lines


def gallery_picture(pdf, side):
    """The first page with its longer side SIDE pixels, for the eye rather than the count."""
    stem = pdf[:-4] + ".gallery"
    run(["pdftoppm", "-scale-to", str(side), "-f", "1", "-l", "1", "-singlefile", "-png", pdf,
         stem])
    return Image.open(stem + ".png").convert("RGB")


def side_by_side(result, target):
    """tolvarine's page beside rsvg-convert's, each fitted into one panel."""
    panels = []
    for tool in ["tolvarine", "rsvg-convert"]:
        picture = gallery_picture(result[tool]["pdf"], max(PANEL))
        picture.thumbnail(PANEL)
        panels.append((tool, picture))
    width = sum(picture.width for _, picture in panels) + 30
    height = max(picture.height for _, picture in panels) + 24
    sheet = Image.new("RGB", (width, height), "white")
    draw = ImageDraw.Draw(sheet)
    x = 10
    for tool, picture in panels:
        draw.text((x, 4), tool, fill="black")
        sheet.paste(picture, (x, 20))
        draw.rectangle((x - 1, 19, x + picture.width, 20 + picture.height), outline="gray")
        x += picture.width + 10
    sheet.quantize(64).save(target, optimize=True)


def worst_cases(results, pictures):
    """The worst disagreement of each source, then the next worst of any, up to WORST."""
    shown = [r for r in results if r["tolvarine"].get("reasons") and
             r["tolvarine"].get("picture") and r["rsvg-convert"].get("picture")]
    shown.sort(key=lambda r: (-r["tolvarine"]["difference"], r["drawing"].name))
    chosen = []
    for source, _ in SOURCES:
        chosen += [r for r in shown if r["drawing"].source == source][:1]
    chosen += [r for r in shown if r not in chosen]
    chosen = sorted(chosen[:WORST], key=lambda r: shown.index(r))
    lines = []
    for index, result in enumerate(chosen):
        drawing = result["drawing"]
        file_name = "%d-%s-%s.png" % (index + 1, drawing.source,
                                      re.sub(r"[^\w-]", "-", os.path.basename(drawing.name)))
        side_by_side(result, os.path.join(pictures, file_name))
        lines += ["", "**%s / %s**: %s." % (drawing.source, drawing.name,
                                           "; ".join(result["tolvarine"]["reasons"])), "",
                  "![tolvarine | rsvg-convert](%s/%s)" % (os.path.basename(pictures),
                                                          file_name)]
    return lines or ["", "None: every drawing agrees."]


def text_sheet(rows, target):
    """Every text drawing, tolvarine's beside rsvg-convert's, one row each."""
    width, height, label = 400, 30, 130
    sheet = Image.new("RGB", (label + 2 * (width + 10), 20 + len(rows) * (height + 4)), "white")
    draw = ImageDraw.Draw(sheet)
    draw.text((label, 4), "tolvarine", fill="black")
    draw.text((label + width + 10, 4), "rsvg-convert", fill="black")
    for index, result in enumerate(rows):
        y = 20 + index * (height + 4)
        draw.text((4, y + 10), result["drawing"].name, fill="black")
        for column, tool in enumerate(["tolvarine", "rsvg-convert"]):
            if result[tool]["ok"]:
                picture = gallery_picture(result[tool]["pdf"], width)
                picture.thumbnail((width, height))
                sheet.paste(picture, (label + column * (width + 10), y))
    sheet.convert("L").quantize(16).save(target, optimize=True)


def problems(results):
    lines = []
    for result in results:
        outcome = result["tolvarine"]
        notes = list(outcome.get("reasons", []))
        if not result["rsvg-convert"]["ok"]:
            notes.append("rsvg-convert made no PDF (%s)" % failure_line(result["rsvg-convert"]))
        if not notes:
            continue
        said = warnings(outcome)
        if said:
            notes.append("tolvarine said `%s`%s" % (
                said[0].replace("`", "'"),
                " and %d more warning%s" % (len(said) - 1, "" if len(said) == 2 else "s")
                if len(said) > 1 else ""))
        lines.append("- %s / %s: %s." % (result["drawing"].source, result["drawing"].name,
                                         "; ".join(notes)))
    return lines or ["- None."]


def report(results, args, texts, weight_family):
    owner = packages_of([r["drawing"].path for r in results if r["drawing"].source == "debian"])
    debian = collections.Counter(owner.get(r["drawing"].path, "?") for r in results
                                 if r["drawing"].source == "debian")
    lines = [
        "# Fidelity on real-world drawings",
        "",
        "Written by `bash bench/fidelity.sh` on %s; not part of the test command. It makes a "
        "corpus with real generators, converts every drawing with tolvarine (through the "
        "installed launcher), rsvg-convert (`-f pdf`) and cairosvg, and compares tolvarine's "
        "and cairosvg's PDFs with rsvg-convert's." % datetime.date.today().isoformat(),
        "",
        "| Program | Version |", "|---|---|",
    ] + ["| %s | %s |" % row for row in versions(args.built_from)] + [
        "",
        "## How it was made",
        "",
    ]
    for source, description in SOURCES:
        count_here = sum(1 for r in results if r["drawing"].source == source)
        lines.append("- **%s** (%d drawings): %s." % (source, count_here, description))
    lines += [
        "",
        "The Debian drawings are a fixed sample: every `.svg` file of at most 1 MiB under "
        "`/usr/share`, grouped by the folder two levels down, up to %d shared out evenly among "
        "the groups and evenly spaced in each group's sorted list. This machine's: %s."
        % (DEBIAN_SAMPLE, ", ".join("%s (%d)" % item for item in sorted(debian.items()))),
        "The text drawings set one line of 28 px text each: `sans-serif` for the scripts, "
        "then each family, then the weights 100 to 900 in **%s**." % weight_family,
        "",
        "Rules of comparison, always against rsvg-convert's PDF:",
        "",
        "- *Converted*: the program ended with success (tolvarine: status 1) and wrote a PDF.",
        "- *Page size equal*: `pdfinfo`'s page size within %g pt on both sides." % SIZE_TOLERANCE,
        "- *Pictures agree*: the first pages, rendered by `pdftoppm` at %d dpi (more for "
        "pages whose longer side would have fewer than %d pixels, the same resolution for "
        "the three PDFs of a drawing), blurred with a radius of %g pixels so that "
        "antialiasing and sub-pixel shifts do not count; a pixel differs where a colour "
        "channel differs by more than %d of 255. The pictures agree when the page sizes are "
        "equal and at most %g%% of the pixels differ. Small labels weigh little in this count: "
        "lost or misdrawn words show in the text check." % (DPI, MIN_SIDE, BLUR, THRESHOLD,
                                                            100 * AGREE),
        "- *Text equal*: `pdftotext` of the first page (NFKC-normalised, without the "
        "direction marks it adds) gives the same characters, whatever the blanks and their "
        "order; the list below shows the words that differ. The order of right-to-left text "
        "shows in the text section, against the drawing's own text.",
        "- *Time*: the wall time of each conversion, one at a time, summed per source.",
        "",
        "## Summary",
        "",
    ]
    lines += summary_table(results)
    lines += ["", "## Where tolvarine fails or disagrees", "",
              "Against rsvg-convert, which is not always right: rsvg-convert 2.54 and cairosvg "
              "2.5 draw a `<switch>`'s `foreignObject` (as nothing) where it has no "
              "`requiredFeatures`, so in `switch-plain` the words only tolvarine has are the "
              "labels; both draw a private-use character that no font has as a box of its "
              "code (`E232` in `mathtext-none`).", ""] + problems(results)
    for old in glob.glob(os.path.join(args.pictures, "*.png")):
        os.remove(old)
    os.makedirs(args.pictures, exist_ok=True)
    lines += ["", "## The worst cases (tolvarine | rsvg-convert)", "",
              "The worst disagreement of each source, then the next worst, by the share of "
              "differing pixels."] + worst_cases(results, args.pictures)
    lines += ["", "## Text", "",
              "Embedded fonts as `pdffonts` lists them (subset prefix removed); the text "
              "as `pdftotext` extracts it, against the drawing's, blanks ignored.", ""]
    text_rows = [r for r in results if r["drawing"].source == "text"]
    lines += text_table(text_rows, texts)
    if text_rows:
        text_sheet(text_rows, os.path.join(args.pictures, "text.png"))
        lines += ["", "![every text drawing: tolvarine | rsvg-convert](%s/text.png)"
                  % os.path.basename(args.pictures)]
    lines += ["", "## Every drawing", "",
              "Pixels: the share of differing pixels, in bold when the pictures disagree."]
    for source, _ in SOURCES:
        rows = [r for r in results if r["drawing"].source == source]
        if rows:
            lines += ["", "### " + source, ""] + source_table(rows)
    with open(args.report, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--install", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--built-from", required=True)
    parser.add_argument("--report", required=True)
    parser.add_argument("--pictures", required=True)
    parser.add_argument("--weight-family", required=True)
    args = parser.parse_args()
    with open(os.path.join(args.work, "corpus", "text", "texts.json"), encoding="utf-8") as f:
        texts = json.load(f)
    results = analyse(corpus(args.work), args.work, args.install)
    report(results, args, texts, args.weight_family)
    print("\n".join(summary_table(results)))
    print("wrote %s" % args.report)


if __name__ == "__main__":
    main()
