#!/usr/bin/env python3
"""Measures the launcher beside the converter run directly and piped into cat, and the whole
conversion through the installed launcher beside plain java, rsvg-convert and cairosvg.

Run through bench/run.sh, which builds and installs the Release programs first. Every row runs
its variants in turn, round after round, so that a change in the machine's load falls on all
of them alike; the figures are medians. Writes docs/performance.md and
docs/performance-output.png.
"""
import argparse
import datetime
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
# The launcher before its output was streamed (the report of 2026-12-06): wall seconds and
# peak MiB by output size, and the start-up's (a) and (b) in ms.
BEFORE = {"volumes": {1: (0.007, 2.6), 10: (0.043, 12.5), 100: (0.530, 102.9),
                      200: (0.704, 203.3), 1024: (3.843, 1030.6)},
          "start": (0.88, 1.69)}
PAUSE_MS = 2000


class Bench:
    def __init__(self, build, install, workspace, quick):
        self.install = install
        self.workspace = workspace
        self.quick = quick
        self.launcher = os.path.join(build, "tolvarine")
        self.converter = os.path.join(build, "bench", "bench_converter")
        self.patch_timer = os.path.join(build, "bench", "patch_timer")
        self.measure = os.path.join(build, "bench", "measure")
        self.spreads = []

    def rounds(self, full, quick=1):
        return quick if self.quick else full

    def installation(self, name, run_exe, private_java=False):
        folder = os.path.join(self.workspace, name)
        os.makedirs(folder)
        shutil.copy2(self.launcher, folder)
        shutil.copy2(self.converter, folder)
        with open(os.path.join(folder, "config.dat"), "w") as config:
            config.write("[Info]\nRunEXE=%s\nDefaultJavaEXE=java\nJavaDownloadURL=\n" % run_exe)
        if private_java:
            os.makedirs(os.path.join(folder, "jre", "bin"))
            shutil.copy2(self.converter, os.path.join(folder, "jre", "bin", "java"))
        return os.path.join(folder, "tolvarine")

    def run_once(self, argv, env=None):
        """Wall seconds, peak resident kilobytes, exit status and CPU seconds of one run."""
        text = subprocess.run([self.measure] + argv, env=env, stdout=subprocess.PIPE, text=True,
                              check=False).stdout.split()
        if len(text) != 4:
            sys.exit("bench: %s did not run to an exit status" % argv)
        return float(text[0]), int(text[1]), int(text[2]), float(text[3])

    def compare(self, variants, runs, warm_up=1):
        """Runs each variant once per round: name -> (wall, peak KiB, Q1, Q3, CPU) medians."""
        samples = {name: [] for name, _ in variants}
        for round_number in range(-warm_up, runs):
            turn = round_number % len(variants)
            for name, (argv, env) in variants[turn:] + variants[:turn]:
                sample = self.run_once(argv, env)
                if round_number >= 0:
                    samples[name].append(sample)
        result = {}
        for name, rows in samples.items():
            walls = [row[0] for row in rows]
            median = statistics.median(walls)
            quartiles = statistics.quantiles(walls, n=4) if runs >= 4 else [median] * 3
            self.spreads.append((quartiles[2] - quartiles[0]) / median)
            result[name] = (median, statistics.median(row[1] for row in rows), quartiles[0],
                            quartiles[2], statistics.median(row[3] for row in rows),
                            statistics.mean(walls))
        return result

    def log_variants(self, launcher, args):
        """The converter to /dev/null, piped into cat, and through the launcher."""
        command = " ".join([self.converter] + args)
        return [("direct", ([self.converter] + args, None)),
                ("cat", (["/bin/sh", "-c", command + " | cat >/dev/null"], None)),
                ("launcher", ([launcher] + args, None))]

    # --- Rows --------------------------------------------------------------------------------

    def check_output(self, launcher):
        """The launcher must show the log and patch the file, or its figures mean nothing."""
        out = os.path.join(self.workspace, "check.pdf")
        shown = subprocess.run([launcher, "--bytes", str(3 * MIB), "in.svg", "-o", out],
                               stdout=subprocess.PIPE, check=False).stdout
        with open(out, "rb") as patched:
            patched_ok = b"(Tolvarine SVG to PDF Converter)" in patched.read()
        if len(shown) < 2 * MIB or not shown.rstrip().endswith(b"successful.") or not patched_ok:
            sys.exit("bench: the launcher did not show the log or did not patch the file")

    def start_up(self, launcher):
        args = ["--bytes", "0", "in.svg", "-o", os.path.join(self.workspace, "start.pdf")]
        return self.compare(self.log_variants(launcher, args)[::2], self.rounds(301, 41), 5)

    def java_resolution(self):
        template = "[{EXEDIR}/bench_converter] --java [{JAVAEXE}]"
        private = self.installation("private-java", template, private_java=True)
        probing = self.installation("system-java", template)
        # The probe's phrase test fails for a runtime that does not call itself "Java(TM) SE";
        # a kept runtime in the temporary-files folder then ends the search without a download.
        kept = os.path.join(self.workspace, "tmp")
        os.makedirs(os.path.join(kept, "TolvarineJava", "bin"))
        shutil.copy2(self.converter, os.path.join(kept, "TolvarineJava", "bin", "java"))
        env = dict(os.environ, TMPDIR=kept)
        args = ["--bytes", "0", "in.svg", "-o", os.path.join(self.workspace, "java.pdf")]
        return self.compare([("private", ([private] + args, env)),
                             ("probe", ([probing] + args, env)),
                             ("bare", ([shutil.which("java"), "-version"], None))],
                            self.rounds(41, 7), 2)

    def output_volume(self, launcher, mebibytes, one_line=False):
        args = ["--bytes", str(mebibytes * MIB), "in.svg", "-o",
                os.path.join(self.workspace, "volume.pdf")] + (["--one-line"] if one_line else [])
        runs = self.rounds({1: 21, 10: 11, 100: 5, 200: 5}.get(mebibytes, 3))
        return self.compare(self.log_variants(launcher, args), runs, 0 if mebibytes >= 100 else 1)

    def first_line(self, launcher):
        """When the first line of a converter that then works for PAUSE_MS reaches the user."""
        args = ["--bytes", str(MIB), "--pause-ms", str(PAUSE_MS), "in.svg", "-o",
                os.path.join(self.workspace, "first.pdf")]
        start = time.monotonic()
        run = subprocess.Popen([launcher] + args, stdout=subprocess.PIPE)
        for _ in range(3):  # the framing lines, then the converter's first line
            run.stdout.readline()
        shown = time.monotonic() - start
        run.stdout.read()
        run.wait()
        return shown, time.monotonic() - start

    def producer_patch(self, size):
        path = os.path.join(self.workspace, "patch-%d.pdf" % size)
        tail = (b"9 0 obj << /Producer (Apache FOP Version 1.0beta2: PDF Transcoder for Batik)"
                b" >> endobj\n" + b"0000000000 65535 f \n" * 100 + b"%%EOF\n")
        with open(path, "wb") as file:
            if size <= 16 * MIB:
                block = bytes(range(256)) * 4096
                for _ in range((size - len(tail)) // len(block)):
                    file.write(block)
            file.truncate(size - len(tail))  # a sparse body for the big sizes
            file.seek(size - len(tail))
            file.write(tail)
        text = subprocess.run([self.patch_timer, path, str(self.rounds(51, 11))],
                              stdout=subprocess.PIPE, check=True, text=True).stdout.split()
        os.remove(path)
        return float(text[0]) / 1000.0, float(text[1]) / 1000.0

    # --- The whole job -----------------------------------------------------------------------

    def converters(self):
        """Each way of converting: name -> argv for (input, output)."""
        with open(os.path.join(self.install, "config.dat")) as config:
            found = re.search(r"-jar \[([^\]]*)\]", config.read())
        if found is None:
            sys.exit("bench: no -jar [...] in the installation's config.dat")
        jar = found.group(1).replace("{EXEDIR}", self.install)
        ways = {
            "launcher (installed)": lambda i, o: [os.path.join(self.install, "tolvarine"), i,
                                                  "-o", o],
            # As a run that finds no converter waiting: its own Java converts.
            SELF: lambda i, o: [os.path.join(self.install, "tolvarine"), i, "-o", o],
            "plain java": lambda i, o: [shutil.which("java"), "-Djava.awt.headless=true", "-jar",
                                        jar, i, "-o", o],
        }
        if shutil.which("rsvg-convert"):
            ways["rsvg-convert"] = lambda i, o: ["rsvg-convert", "-f", "pdf", "-o", o, i]
        # Debian's package brings the module only; its interpreter is the system's.
        if subprocess.run(["/usr/bin/python3", "-c", "import cairosvg"], check=False,
                          stderr=subprocess.DEVNULL).returncode == 0:
            ways["cairosvg"] = lambda i, o: ["/usr/bin/python3", "-m", "cairosvg", i, "-o", o]
        return ways

    def java_version(self):
        """`java -version` with the options the installation's config.dat starts the converter
        with: the floor under any conversion through it."""
        with open(os.path.join(self.install, "config.dat")) as config:
            run_exe = re.search(r"^RunEXE=(.*)$", config.read(), re.M).group(1)
        words = run_exe.split(" -jar ")[0].split()
        java_at = next(i for i, word in enumerate(words) if "{JAVAEXE}" in word)
        options = [word.strip("[]").replace("{EXEDIR}", self.install)
                   for word in words[java_at + 1:]]
        java = os.path.join(self.install, "jre", "bin", "java")
        return [java if os.path.exists(java) else shutil.which("java")] + options + ["-version"]

    def whole_job(self, drawing, runs, with_java_version=False):
        variants, outputs = [], {}
        if with_java_version:
            variants.append(("java -version (installation's options)", (self.java_version(), None)))
        for name, argv in self.converters().items():
            out = os.path.join(self.workspace, "%s-%d.pdf" % (os.path.basename(drawing),
                                                              len(outputs)))
            outputs[name] = out
            argv = argv(drawing, out)
            argv[0] = shutil.which(argv[0]) or argv[0]
            env = dict(os.environ, TOLVARINE_SERVER="0") if name == SELF else None
            variants.append((name, (argv, env)))
        figures = self.compare(variants, self.rounds(runs), 1)
        rows = {name: figures[name][:5] + (page_size(out), os.path.getsize(out)
                                           if os.path.exists(out) else 0, figures[name][5])
                for name, out in outputs.items()}
        if with_java_version:
            name = variants[0][0]
            rows[name] = figures[name][:5] + ("-", 0, figures[name][5])
        return rows


def page_size(pdf):
    info = subprocess.run(["pdfinfo", pdf], stdout=subprocess.PIPE, text=True,
                          check=False).stdout
    found = re.search(r"Page size:\s*(.*)", info)
    return found.group(1).strip() if found else "(no PDF)"


EMPTY = "empty drawing"
SELF = "launcher, converting itself"


def job_drawings(workspace):
    """(path, label, rounds) of the drawings the whole job converts, made in `workspace`: an
    empty one, the sample, a matplotlib figure and a graphviz graph as those programs write
    them, and the drawing of 20,000 elements."""
    bench = os.path.dirname(os.path.abspath(__file__))
    empty = os.path.join(workspace, "empty.svg")
    with open(empty, "w") as svg:
        svg.write('<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"/>\n')
    figure = os.path.join(workspace, "figure.svg")
    # Debian's matplotlib, as cairosvg, belongs to the system's interpreter.
    subprocess.run(["/usr/bin/python3", os.path.join(bench, "data", "figure.py"), figure],
                   check=True)
    graph = os.path.join(workspace, "graph.svg")
    subprocess.run(["dot", "-Tsvg", os.path.join(bench, "data", "graph.dot"), "-o", graph],
                   check=True)
    large = os.path.join(workspace, "elements-20000.svg")
    write_drawing(large, 20000)
    return [(empty, EMPTY, 15), (os.path.join(os.path.dirname(bench), "samples", "drawing.svg"),
                                 "samples/drawing.svg", 11),
            (figure, "matplotlib figure", 9), (graph, "graphviz graph", 9),
            (large, "20,000 elements", 5)]


def write_drawing(path, elements):
    """A drawing of `elements` shapes in a grid: rectangles, circles and paths in turn."""
    columns = 200
    with open(path, "w") as svg:
        svg.write('<?xml version="1.0" encoding="UTF-8"?>\n<svg xmlns="http://www.w3.org/2000/'
                  'svg" width="800" height="%d" viewBox="0 0 800 %d">\n'
                  % ((elements // columns + 1) * 8, (elements // columns + 1) * 8))
        for i in range(elements):
            x, y = (i % columns) * 4, (i // columns) * 8
            color = "#%06x" % (i * 2654435761 % 0xffffff)
            shape = (('<rect x="%d" y="%d" width="3" height="6" fill="%s"/>' % (x, y, color)),
                     ('<circle cx="%d" cy="%d" r="1.5" fill="%s"/>' % (x + 2, y + 4, color)),
                     ('<path d="M%d %d l3 6 l-3 0 z" fill="%s"/>' % (x, y, color)))[i % 3]
            svg.write(shape + "\n")
        svg.write("</svg>\n")


# --- The report ------------------------------------------------------------------------------

def machine_description():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as meminfo:
        memory_kib = int(meminfo.readline().split()[1])
    compiler = subprocess.run(["c++", "--version"], stdout=subprocess.PIPE, text=True,
                              check=False).stdout.splitlines()[0]
    return ("%s, %d cores, %.0f GiB memory; Linux %s; %s"
            % (model, os.cpu_count(), memory_kib / 1024 / 1024, platform.release(), compiler))


def ms(seconds):
    return "%.2f" % (seconds * 1000)


def verdict(passed):
    return "met" if passed else "MISSED"


def write_plot(volumes, data_path, png_path):
    with open(data_path, "w") as data:
        for mebibytes, row in volumes:
            before = BEFORE["volumes"].get(mebibytes, (float("nan"),))[0]
            data.write("%d %.4f %.4f %.4f %.4f\n" % (mebibytes, row["direct"][0], row["cat"][0],
                                                     row["launcher"][0], before))
    script = "\n".join([
        "set terminal pngcairo size 900,560 font ',11'",
        "set output '%s'" % png_path,
        "set title 'Wall time against converter output (medians)'",
        "set xlabel 'converter output (MiB)'", "set ylabel 'wall time (s)'",
        "set logscale xy", "set xrange [0.8:1500]", "set grid", "set key top left",
        "plot '%s' using 1:2 with linespoints title 'converter > /dev/null', \\" % data_path,
        "     '' using 1:3 with linespoints title 'converter | cat > /dev/null', \\",
        "     '' using 1:4 with linespoints title 'tolvarine, streamed', \\",
        "     '' using 1:5 with linespoints title 'tolvarine before (whole output held)'", ""])
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def report(results, notes_path):
    start, java, volumes = results["start"], results["java"], results["volumes"]
    lines = []
    add = lines.append
    add("# Performance")
    add("")
    add("Written by `bash bench/run.sh` on %s." % results["date"])
    add("")
    add("- Machine: %s." % results["machine"])
    add("- Load average when the run began and ended: %s and %s (the machine is shared; "
        "other work ran beside the benchmark)." % (results["load_before"], results["load_after"]))
    add("- Noise: the interquartile range of a variant's runs was %.0f%% of its median at "
        "the median row, %.0f%% at the worst. Each row runs its variants in turn, round after "
        "round, so a change of load falls on all of them alike; figures are medians."
        % (100 * statistics.median(results["spreads"]), 100 * max(results["spreads"])))
    add("- The log converter is `bench_converter` (bench/tools): it formats its log line by "
        "line, about 100 bytes a line, and writes a small PDF-like output file with the "
        "producer text near its end; the launcher's runs include the report and the patch.")
    add("")
    add("## 1. Start-up (a converter that exits at once; %d rounds)" % results["start_runs"])
    add("")
    add("| way of running | wall median (ms) | wall quartiles (ms) | CPU median (ms) | "
        "peak memory (MiB) | wall before (ms) |")
    add("|---|---:|---:|---:|---:|---:|")
    for name, label, before in (("direct", "(a) converter directly", BEFORE["start"][0]),
                                ("launcher", "(b) launcher", BEFORE["start"][1])):
        row = start[name]
        add("| %s | %s | %s-%s | %s | %.1f | %.2f |" % (label, ms(row[0]), ms(row[2]),
                                                       ms(row[3]), ms(row[4]), row[1] / 1024,
                                                       before))
    add("")
    add("## 2. Java resolution (%d rounds)" % results["java_runs"])
    add("")
    add("| way of running | wall median (ms) | wall quartiles (ms) | CPU median (ms) |")
    add("|---|---:|---:|---:|")
    for name, label in (("private", "launcher, private runtime (no probe)"),
                        ("probe", "launcher, system `java -version` probe"),
                        ("bare", "one bare `java -version`")):
        row = java[name]
        add("| %s | %s | %s-%s | %s |" % (label, ms(row[0]), ms(row[2]), ms(row[3]), ms(row[4])))
    add("")
    add("## 3. Output volume (wall and CPU medians in seconds, peak memory in MiB)")
    add("")
    add("`direct` writes to /dev/null, `cat` is `converter | cat >/dev/null`; the launcher's "
        "CPU counts the converter's too. *Before*: the launcher that held the whole output.")
    add("")
    add("| output | direct | cat | launcher | launcher / cat | launcher / direct | launcher CPU "
        "| launcher peak | before: wall | before: peak |")
    add("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    rows = [("%d MiB" % size, size, row) for size, row in volumes]
    rows.append(("%d MiB, one line" % results["one_line"][0], None, results["one_line"][1]))
    for label, size, row in rows:
        before = BEFORE["volumes"].get(size)
        add("| %s | %.3f | %.3f | %.3f | %.2fx | %.2fx | %.3f | %.1f | %s | %s |" % (
            label, row["direct"][0], row["cat"][0], row["launcher"][0],
            row["launcher"][0] / row["cat"][0], row["launcher"][0] / row["direct"][0],
            row["launcher"][4], row["launcher"][1] / 1024,
            "%.3f" % before[0] if before else "-", "%.1f" % before[1] if before else "-"))
    add("")
    add("![Wall time against output volume](performance-output.png)")
    add("")
    shown, ended = results["first_line"]
    add("A converter that prints its first line and then works for %d ms: the line reached the "
        "launcher's standard output after %.0f ms, the run ended after %.0f ms."
        % (PAUSE_MS, shown * 1000, ended * 1000))
    add("")
    add("## 4. Producer text patch (text near the end; median of %d patches)"
        % results["patch_runs"])
    add("")
    add("| file size | median (ms) | fastest (ms) |")
    add("|---:|---:|---:|")
    for size, (median, fastest) in results["patches"]:
        add("| %s | %.3f | %.3f |" % (human(size), median, fastest))
    add("")
    lines.extend(jobs_report(results))
    if os.path.exists(notes_path):
        with open(notes_path) as notes:
            add(notes.read().rstrip("\n"))
            add("")
    add(targets(results))
    return "\n".join(lines)


def jobs_report(results):
    lines = ["## 5. The whole job: SVG to PDF (wall mean and median, CPU median, in seconds; "
             "peak memory in MiB)", "",
             "The launcher as `cmake --install` lays it out, beside the same converter started "
             "plainly (`java -jar .../tolvarine-convert.jar`, no class-data archive or other "
             "start-up option), beside two other SVG to PDF converters from Debian's packages, "
             "and for the empty drawing beside `java -version` with the installation's options. "
             "The ratios compare means. The installed launcher hands its conversions to the "
             "converter that its first run left waiting: its CPU and peak memory are the run's "
             "own processes', not the waiting converter's (see below); `launcher, converting "
             "itself` is a run that finds none waiting (`TOLVARINE_SERVER=0`).", "",
             "| drawing | way of converting | wall mean | wall median | wall quartiles | CPU | "
             "peak | page size | PDF bytes | / plain java | / cairosvg | / rsvg-convert |",
             "|---|---|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|"]
    for drawing, rows_of_job in results["jobs"]:
        def ratio(name, row):
            return "%.2fx" % (row[7] / rows_of_job[name][7]) if name in rows_of_job else "-"
        for name, row in rows_of_job.items():
            lines.append("| %s | %s | %.3f | %.3f | %.3f-%.3f | %.3f | %.1f | %s | %s | %s | %s "
                         "| %s |" % (drawing, name, row[7], row[0], row[2], row[3], row[4],
                                     row[1] / 1024, row[5], row[6] or "-",
                                     ratio("plain java", row), ratio("cairosvg", row),
                                     ratio("rsvg-convert", row)))
    lines.append("")
    return lines


def job_targets(results):
    """Each conversion target as (text, measured, met)."""
    jobs = dict(results.get("jobs", []))
    launcher = "launcher (installed)"
    found = []

    def mean(drawing, name):
        return jobs[drawing][name][7] if drawing in jobs and name in jobs[drawing] else None

    empty = mean(EMPTY, launcher)
    version = mean(EMPTY, "java -version (installation's options)")
    if empty is not None:
        found.append(("empty drawing: at most 150 ms wall", "%.0f ms (`java -version` with the "
                      "same options: %.0f ms)" % (empty * 1000, (version or 0) * 1000),
                      empty <= 0.150))
    for drawing, other, limit in (("samples/drawing.svg", "cairosvg", 0.8),
                                  ("matplotlib figure", "cairosvg", 0.8),
                                  ("20,000 elements", "rsvg-convert", 1.5),
                                  ("samples/drawing.svg", "plain java", 0.4)):
        ours, theirs = mean(drawing, launcher), mean(drawing, other)
        if ours is not None and theirs is not None:
            found.append(("%s: at most %.1fx %s" % (drawing, limit, other),
                          "%.2fx (%.3f s against %.3f s)" % (ours / theirs, ours, theirs),
                          ours <= limit * theirs))
    return found


def targets(results):
    start, volumes = results["start"], dict(results["volumes"])
    lines = ["## Targets", "", "Each target, as this run measured it.", "",
             "| target | measured | verdict |", "|---|---|---|"]
    add = lines.append
    peaks = {size: row["launcher"][1] / 1024 for size, row in volumes.items()}
    peaks["%d MiB, one line" % results["one_line"][0]] = results["one_line"][1]["launcher"][1] / 1024
    add("| peak memory flat and under 8 MiB at every size | %s | %s |" % (
        ", ".join("%.1f MiB at %s" % (peak, size if isinstance(size, str) else "%d MiB" % size)
                  for size, peak in peaks.items()),
        verdict(max(peaks.values()) < 8 and max(peaks.values()) - min(peaks.values()) < 1)))
    for size in (200, 1024):
        if size in volumes:
            row = volumes[size]
            add("| %d MiB: wall at most 2x `converter \\| cat` | %.2fx (%.2fx of `> /dev/null`; "
                "CPU %.2fx of cat's) | %s |" % (
                    size, row["launcher"][0] / row["cat"][0],
                    row["launcher"][0] / row["direct"][0], row["launcher"][4] / row["cat"][4],
                    verdict(row["launcher"][0] <= 2 * row["cat"][0])))
    gap = start["launcher"][0] - start["direct"][0]
    add("| start-up: launcher within 1 ms of the converter run directly | %+.2f ms wall "
        "(%+.2f ms CPU) | %s |" % (gap * 1000, (start["launcher"][4] - start["direct"][4]) * 1000,
                                   verdict(gap <= 0.001)))
    shown, ended = results["first_line"]
    add("| first line shown while the converter still runs | after %.0f ms of a %d ms pause "
        "(run ended at %.0f ms) | %s |" % (shown * 1000, PAUSE_MS, ended * 1000,
                                           verdict(shown * 1000 < PAUSE_MS)))
    for text, measured, met in job_targets(results):
        add("| %s | %s | %s |" % (text, measured, verdict(met)))
    add("")
    return "\n".join(lines)


def human(size):
    return "%d GiB" % (size >> 30) if size >= 1 << 30 else "%d MiB" % (size >> 20)


def load_average():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])


def measure_all(bench, options, results):
    launcher = bench.installation("plain", "[{EXEDIR}/bench_converter]")
    bench.check_output(launcher)
    print("start-up ...", flush=True)
    results["start"] = bench.start_up(launcher)
    results["start_runs"] = bench.rounds(301, 41)
    print("Java resolution ...", flush=True)
    results["java"] = bench.java_resolution()
    results["java_runs"] = bench.rounds(41, 7)
    results["volumes"] = []
    for mebibytes in [int(size) for size in options.sizes.split(",")]:
        print("output volume %d MiB ..." % mebibytes, flush=True)
        results["volumes"].append((mebibytes, bench.output_volume(launcher, mebibytes)))
    largest = results["volumes"][-1][0]
    print("one line of %d MiB ..." % largest, flush=True)
    results["one_line"] = (largest, bench.output_volume(launcher, largest, one_line=True))
    print("first line ...", flush=True)
    results["first_line"] = bench.first_line(launcher)
    results["patches"] = []
    results["patch_runs"] = bench.rounds(51, 11)
    for size in (1 * MIB, 16 * MIB, 256 * MIB, 1 << 30, 4 << 30):
        print("producer patch %s ..." % human(size), flush=True)
        results["patches"].append((size, bench.producer_patch(size)))
    measure_jobs(bench, results)


def measure_jobs(bench, results):
    """The whole job on each drawing, every way of converting side by side."""
    results["jobs"] = []
    for drawing, label, runs in job_drawings(bench.workspace):
        print("whole job, %s ..." % label, flush=True)
        results["jobs"].append((label, bench.whole_job(drawing, runs, label == EMPTY)))


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Release build folder")
    parser.add_argument("--install", required=True, help="the installation laid out from it")
    parser.add_argument("--docs", default="docs", help="where the report and plot go")
    parser.add_argument("--quick", action="store_true", help="fewer rounds (a trial, not a report)")
    parser.add_argument("--sizes", default="1,10,100,200,1024", help="output volumes in MiB")
    parser.add_argument("--report-only", action="store_true",
                        help="write the report again from the last run's figures")
    parser.add_argument("--jobs-only", action="store_true",
                        help="only the whole job (section 5): print its table and targets, "
                             "write no report")
    options = parser.parse_args()
    figures = os.path.join(options.build, "bench-figures.json")
    if options.report_only:
        with open(figures) as saved:
            publish(json.load(saved), options.docs)
        return
    workspace = tempfile.mkdtemp(prefix="tolvarine-bench-")
    try:
        bench = Bench(os.path.abspath(options.build), os.path.abspath(options.install),
                      workspace, options.quick)
        results = {"date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                   "machine": machine_description(), "load_before": load_average()}
        if options.jobs_only:
            measure_jobs(bench, results)
            print("\n".join(jobs_report(results)))
            for text, measured, met in job_targets(results):
                print("%s: %s, %s" % (text, measured, verdict(met)))
            print("load average: %s and %s" % (results["load_before"], load_average()))
            return
        measure_all(bench, options, results)
        results["load_after"] = load_average()
        results["spreads"] = bench.spreads
        with open(figures, "w") as saved:
            json.dump(results, saved)
    finally:
        shutil.rmtree(workspace, ignore_errors=True)
    publish(results, options.docs)


def publish(results, docs):
    """Prints the report and writes it and the plot into `docs`."""
    results["volumes"] = [(int(size), row) for size, row in results["volumes"]]
    os.makedirs(docs, exist_ok=True)
    text = report(results, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                        "performance-notes.md"))
    with open(os.path.join(docs, "performance.md"), "w") as out:
        out.write(text + "\n")
    with tempfile.TemporaryDirectory() as scratch:
        write_plot(results["volumes"], os.path.join(scratch, "volumes.dat"),
                   os.path.join(docs, "performance-output.png"))
    print(text)


if __name__ == "__main__":
    main()
