#!/usr/bin/env python3
"""Measures the launcher beside the converter run directly and beside a sh+sed wrapper.

Run through bench/run.sh, which builds the Release programs first. Every row runs its
variants in turn, round after round, so that a change in the machine's load falls on all of
them alike; the figures are medians. Writes docs/performance.md and docs/performance-output.png.
"""
import argparse
import datetime
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
REBRANDING_SED = (r"s/cpdf/quillorand/g; s/coherentpdf/Quorvex/g; s/tabula/Quorvex/g; "
                  r"s/Gnumeric/Tolvarine/g; /WARNING \*\*:/d; s/\r//g; /^$/d")
RULE = "============================"
WRAPPER_SCRIPT = ("echo '[Message]'; echo '%s'; \"$0\" \"$@\" 2>&1 | sed '%s'; echo '%s'"
                  % (RULE, REBRANDING_SED, RULE))


class Bench:
    def __init__(self, build, workspace, quick):
        self.build = build
        self.workspace = workspace
        self.quick = quick
        self.launcher = os.path.join(build, "tolvarine")
        self.converter = os.path.join(build, "bench", "bench_converter")
        self.patch_timer = os.path.join(build, "bench", "patch_timer")
        self.measure = os.path.join(build, "bench", "measure")
        self.spreads = []

    # --- Installations -----------------------------------------------------------------------

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

    # --- One run -----------------------------------------------------------------------------

    def run_once(self, argv, env=None):
        """Wall seconds, peak resident kilobytes, exit status and CPU seconds of one run."""
        text = subprocess.run([self.measure] + argv, env=env, stdout=subprocess.PIPE, text=True,
                              check=False).stdout.split()
        if len(text) != 4:
            sys.exit("bench: %s did not run to an exit status" % argv)
        return float(text[0]), int(text[1]), int(text[2]), float(text[3])

    def compare(self, variants, runs, warm_up=1):
        """Runs each variant once per round; medians of wall seconds and peak kilobytes."""
        walls = {name: [] for name, _ in variants}
        peaks = {name: [] for name, _ in variants}
        cpus = {name: [] for name, _ in variants}
        for round_number in range(-warm_up, runs):
            order = variants[round_number % len(variants):] + variants[:round_number % len(variants)]
            for name, (argv, env) in order:
                wall, peak, _, cpu = self.run_once(argv, env)
                if round_number >= 0:
                    walls[name].append(wall)
                    peaks[name].append(peak)
                    cpus[name].append(cpu)
        result = {}
        for name, _ in variants:
            median = statistics.median(walls[name])
            quartiles = statistics.quantiles(walls[name], n=4) if runs >= 4 else [median] * 3
            self.spreads.append((quartiles[2] - quartiles[0]) / median)
            result[name] = (median, statistics.median(peaks[name]), quartiles[0], quartiles[2],
                            statistics.median(cpus[name]))
        return result

    def wrapper(self, converter_argv):
        return ["/bin/sh", "-c", WRAPPER_SCRIPT] + converter_argv

    # --- Checks before timing ----------------------------------------------------------------

    def check_same_output(self, launcher):
        """The wrapper and the launcher must print the same text, or the race is not fair."""
        out = os.path.join(self.workspace, "check.pdf")
        args = ["--bytes", str(3 * MIB), "in.svg", "-o", out]
        mine = subprocess.run([launcher] + args, stdout=subprocess.PIPE, check=False).stdout
        theirs = subprocess.run(self.wrapper([self.converter] + args[:-1] + [out + ".sed"]),
                                stdout=subprocess.PIPE, check=True).stdout
        report = mine.rsplit(b"\n", 2)[-2]
        if mine[:-len(report) - 1] != theirs or not report.startswith(b"[OK]"):
            sys.exit("bench: the launcher and the sh+sed wrapper print different texts")
        with open(out, "rb") as patched:
            if b"(Tolvarine SVG to PDF Converter)" not in patched.read():
                sys.exit("bench: the launcher did not patch the producer text")

    # --- Rows --------------------------------------------------------------------------------

    def start_up(self, launcher):
        out = os.path.join(self.workspace, "start.pdf")
        args = ["--bytes", "0", "in.svg", "-o", out]
        runs = 41 if self.quick else 301
        return self.compare([
            ("direct", ([self.converter] + args, None)),
            ("launcher", ([launcher] + args, None)),
            ("sh+sed", (self.wrapper([self.converter] + args), None)),
        ], runs, warm_up=5)

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
        java = shutil.which("java")
        if java is None:
            sys.exit("bench: no java on PATH")
        out = os.path.join(self.workspace, "java.pdf")
        args = ["--bytes", "0", "in.svg", "-o", out]
        runs = 7 if self.quick else 41
        return self.compare([
            ("private", ([private] + args, env)),
            ("probe", ([probing] + args, env)),
            ("bare", ([java, "-version"], None)),
        ], runs, warm_up=2)

    def output_volume(self, launcher, mebibytes):
        out = os.path.join(self.workspace, "volume.pdf")
        args = ["--bytes", str(mebibytes * MIB), "in.svg", "-o", out]
        runs = {1: 21, 10: 11, 100: 5, 200: 5}.get(mebibytes, 3)
        if self.quick:
            runs = max(1, runs // 4)
        return self.compare([
            ("direct", ([self.converter] + args, None)),
            ("launcher", ([launcher] + args, None)),
            ("sh+sed", (self.wrapper([self.converter] + args), None)),
        ], runs, warm_up=0 if mebibytes >= 100 else 1)

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
        runs = 11 if self.quick else 51
        text = subprocess.run([self.patch_timer, path, str(runs)], stdout=subprocess.PIPE,
                              check=True, text=True).stdout.split()
        os.remove(path)
        return float(text[0]) / 1000.0, float(text[1]) / 1000.0


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
            data.write("%d %.4f %.4f %.4f\n" % (mebibytes, row["direct"][0], row["launcher"][0],
                                                row["sh+sed"][0]))
    script = "\n".join([
        "set terminal pngcairo size 900,560 font ',11'" if has_pngcairo() else
        "set terminal png size 900,560",
        "set output '%s'" % png_path,
        "set title 'Wall time against converter output (medians)'",
        "set xlabel 'converter output (MiB)'", "set ylabel 'wall time (s)'",
        "set logscale xy", "set xrange [0.8:1500]", "set grid", "set key top left",
        "plot '%s' using 1:2 with linespoints title 'converter > /dev/null', \\" % data_path,
        "     '' using 1:3 with linespoints title 'tolvarine (launcher)', \\",
        "     '' using 1:4 with linespoints title 'sh -c ... | sed (wrapper)'", ""])
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def has_pngcairo():
    terminals = subprocess.run(["gnuplot", "-e", "set terminal"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, check=False).stdout
    return "pngcairo" in terminals


def report(results, notes_path):
    start, java, volumes, patches = (results["start"], results["java"], results["volumes"],
                                     results["patches"])
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
    add("- The converter is `bench_converter` (bench/tools): it formats its log line by line, "
        "as a converter's logger does, and writes a small PDF-like output file with the "
        "producer text near its end; the launcher's runs include the report and the patch.")
    add("")
    add("## 1. Start-up (a converter that exits at once; %d rounds)" % results["start_runs"])
    add("")
    add("| way of running | wall median (ms) | wall quartiles (ms) | CPU median (ms) | "
        "peak memory (MiB) |")
    add("|---|---:|---:|---:|---:|")
    for name, label in (("direct", "(a) converter directly"),
                        ("launcher", "(b) launcher, template without Java"),
                        ("sh+sed", "(c) `sh -c '... 2>&1 \\| sed ...'` wrapper")):
        row = start[name]
        add("| %s | %s | %s-%s | %s | %.1f |" % (label, ms(row[0]), ms(row[2]), ms(row[3]),
                                                ms(row[4]), row[1] / 1024))
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
    add("The launcher's CPU counts the converter's too (a run's whole process tree).")
    add("")
    add("| output | direct | launcher | sh+sed | launcher / direct | launcher CPU | "
        "launcher peak | peak / output | peak above start-up / output |")
    add("|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    base_kib = start["launcher"][1]
    for mebibytes, row in volumes:
        peak_kib = row["launcher"][1]
        add("| %d MiB | %.3f | %.3f | %.3f | %.2fx | %.3f | %.1f | %.2fx | %.2fx |" % (
            mebibytes, row["direct"][0], row["launcher"][0], row["sh+sed"][0],
            row["launcher"][0] / row["direct"][0], row["launcher"][4], peak_kib / 1024,
            peak_kib / 1024 / mebibytes,
            (peak_kib - base_kib) / 1024 / mebibytes))
    add("")
    add("![Wall time against output volume](performance-output.png)")
    add("")
    add("## 4. Producer text patch (text near the end; median of %d patches)"
        % results["patch_runs"])
    add("")
    add("| file size | median (ms) | fastest (ms) |")
    add("|---:|---:|---:|")
    for size, (median, fastest) in patches:
        add("| %s | %.3f | %.3f |" % (human(size), median, fastest))
    add("")
    add("## Targets")
    add("")
    add("| target | measured | verdict |")
    add("|---|---|---|")
    startup_gap = start["launcher"][0] - start["direct"][0]
    add("| start-up: (b) within 1 ms of (a) | %+.2f ms wall (%+.2f ms CPU) | %s |"
        % (startup_gap * 1000, (start["launcher"][4] - start["direct"][4]) * 1000,
           verdict(startup_gap <= 0.001)))
    speedup = start["sh+sed"][0] / start["launcher"][0]
    add("| start-up: (b) at least 2x faster than (c) | %.2fx wall (%.2fx CPU) | %s |"
        % (speedup, start["sh+sed"][4] / start["launcher"][4], verdict(speedup >= 2)))
    probe_gap = java["probe"][0] - java["bare"][0]
    add("| Java: probe path within 2 ms of the bare probe | %+.2f ms wall (%+.2f ms CPU; "
        "the probe's own share of the run, beside the private-runtime run: %+.2f ms CPU) | %s |"
        % (probe_gap * 1000, (java["probe"][4] - java["bare"][4]) * 1000,
           (java["probe"][4] - java["private"][4] - java["bare"][4]) * 1000,
           verdict(probe_gap <= 0.002)))
    for mebibytes, row in volumes:
        ratio = row["launcher"][0] / row["direct"][0]
        add("| output %d MiB: wall within 1.5x of direct | %.2fx (CPU %.2fx) | %s |"
            % (mebibytes, ratio, row["launcher"][4] / row["direct"][4], verdict(ratio <= 1.5)))
    for mebibytes, row in volumes:
        above = (row["launcher"][1] - base_kib) / 1024 / mebibytes
        whole = row["launcher"][1] / 1024 / mebibytes
        add("| output %d MiB: peak memory under 2x the output | %.2fx (%.2fx above the "
            "launcher's own %.1f MiB) | %s |" % (mebibytes, whole, above, base_kib / 1024,
                                                 verdict(whole < 2 or above < 2)))
    smallest, biggest = patches[0][1][0], patches[-1][1][0]
    add("| producer patch flat in file size | %.3f ms at %s, %.3f ms at %s | %s |"
        % (smallest, human(patches[0][0]), biggest, human(patches[-1][0]),
           verdict(biggest <= max(3 * smallest, smallest + 1))))
    add("| producer patch under 10 ms at 4 GiB | %.3f ms | %s |" % (biggest,
                                                                   verdict(biggest < 10)))
    add("")
    if os.path.exists(notes_path):
        with open(notes_path) as notes:
            lines.append(notes.read().rstrip("\n"))
            add("")
    return "\n".join(lines)


def human(size):
    return "%d GiB" % (size >> 30) if size >= 1 << 30 else "%d MiB" % (size >> 20)


def load_average():
    with open("/proc/loadavg") as loadavg:
        return " ".join(loadavg.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the Release build folder")
    parser.add_argument("--docs", default="docs", help="where the report and plot go")
    parser.add_argument("--quick", action="store_true", help="fewer rounds (a trial, not a report)")
    parser.add_argument("--sizes", default="1,10,100,200,1024", help="output volumes in MiB")
    parser.add_argument("--report-only", action="store_true",
                        help="write the report again from the last run's figures")
    options = parser.parse_args()
    figures = os.path.join(options.build, "bench-figures.json")
    if options.report_only:
        with open(figures) as saved:
            publish(json.load(saved), options.docs)
        return

    workspace = tempfile.mkdtemp(prefix="tolvarine-bench-")
    try:
        bench = Bench(os.path.abspath(options.build), workspace, options.quick)
        results = {"date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                   "machine": machine_description(), "load_before": load_average()}
        launcher = bench.installation("plain", "[{EXEDIR}/bench_converter]")
        bench.check_same_output(launcher)
        print("start-up ...", flush=True)
        results["start"] = bench.start_up(launcher)
        results["start_runs"] = 41 if options.quick else 301
        print("Java resolution ...", flush=True)
        results["java"] = bench.java_resolution()
        results["java_runs"] = 7 if options.quick else 41
        results["volumes"] = []
        for mebibytes in [int(size) for size in options.sizes.split(",")]:
            print("output volume %d MiB ..." % mebibytes, flush=True)
            results["volumes"].append((mebibytes, bench.output_volume(launcher, mebibytes)))
        results["patches"] = []
        results["patch_runs"] = 11 if options.quick else 51
        for size in (1 * MIB, 16 * MIB, 256 * MIB, 1 << 30, 4 << 30):
            print("producer patch %s ..." % human(size), flush=True)
            results["patches"].append((size, bench.producer_patch(size)))
        results["load_after"] = load_average()
        results["spreads"] = bench.spreads
        with open(figures, "w") as saved:
            json.dump(results, saved)
    finally:
        shutil.rmtree(workspace, ignore_errors=True)
    publish(results, options.docs)


def publish(results, docs):
    """Prints the report and writes it and the plot into `docs`."""
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
