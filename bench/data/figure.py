#!/usr/bin/env python3
"""Writes the benchmark's matplotlib figure, as matplotlib users save one: a scatter plot with
translucent markers, axes, a legend and a title, its text kept as text (svg.fonttype: none).
Usage: figure.py OUTPUT.svg"""
import sys

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402 (after the back end is chosen)

plt.rcParams["svg.fonttype"] = "none"
plt.rcParams["svg.hashsalt"] = "tolvarine"  # the same ids in every run


def main():
    figure, axes = plt.subplots(figsize=(6.4, 4.8))
    # A fixed sequence instead of random numbers, so that every run draws the same figure.
    points = [((i * 7919) % 1000 / 100.0, (i * 104729) % 1000 / 100.0, i % 4) for i in range(600)]
    for group, colour in enumerate(["tab:blue", "tab:orange", "tab:green", "tab:red"]):
        xs = [x for x, _, g in points if g == group]
        ys = [y for _, y, g in points if g == group]
        axes.scatter(xs, ys, s=[20 + 10 * (i % 5) for i in range(len(xs))], c=colour,
                     alpha=0.5, edgecolors="none", label="group %d" % (group + 1))
    axes.set_xlabel("width (cm)")
    axes.set_ylabel("height (cm)")
    axes.set_title("Measurements, 600 samples")
    axes.legend(loc="upper right")
    axes.grid(True, alpha=0.3)
    figure.savefig(sys.argv[1], metadata={"Date": None})


if __name__ == "__main__":
    main()
