#!/usr/bin/env python3
"""Writes the matplotlib figures of the fidelity corpus as SVG files into the folder given.

Half of them keep their text as text (svg.fonttype "none"), the others as paths, matplotlib's
default. The ids, the data and the metadata are fixed, so that every run writes the same files.
"""
import sys

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

plt.rcParams["svg.hashsalt"] = "fidelity"
rng = np.random.default_rng(7)
x = np.linspace(0, 4 * np.pi, 200)


def save(folder, name, figure, fonttype):
    plt.rcParams["svg.fonttype"] = fonttype
    figure.savefig("%s/%s.svg" % (folder, name), metadata={"Date": None})
    plt.close(figure)


def lines_alpha(folder):
    figure, axes = plt.subplots()
    axes.plot(x, np.sin(x), label="sin x")
    axes.plot(x, np.cos(x), "--", label="cos x")
    axes.fill_between(x, np.sin(x), np.cos(x), alpha=0.3, color="tab:green")
    axes.axhspan(-0.25, 0.25, alpha=0.15, color="red")
    axes.legend(framealpha=0.5)
    axes.grid(alpha=0.4)
    axes.set_title("Lines and translucent fills")
    save(folder, "lines-alpha", figure, "none")


def hatches(folder):
    figure, axes = plt.subplots()
    for index, hatch in enumerate(["/", "\\\\", "|", "-", "+", "x", "o", "O", ".", "*"]):
        axes.bar(index, 3 + index % 4, hatch=hatch, fill=False, edgecolor="C%d" % index)
    axes.set_title("Hatches")
    save(folder, "hatches", figure, "path")


def mathtext(folder, fonttype):
    figure, axes = plt.subplots()
    axes.plot(x, np.exp(-x / 4) * np.sin(3 * x))
    axes.set_title(r"$\int_0^\infty e^{-x^2}\,dx = \frac{\sqrt{\pi}}{2}$")
    axes.set_xlabel(r"time $t$ [$\mu$s]")
    axes.set_ylabel(r"$\alpha_i^2 + \beta \cdot \sum_{k=1}^{n} \gamma_k$")
    axes.text(6, 0.5, r"$\mathcal{F}\{f\}(\omega) \approx \hat{f}$", fontsize=14)
    save(folder, "mathtext-%s" % fonttype, figure, fonttype)


def image(folder):
    figure, axes = plt.subplots()
    grid = np.outer(np.sin(np.linspace(0, 3, 40)), np.cos(np.linspace(0, 5, 60)))
    shown = axes.imshow(grid, cmap="viridis", interpolation="nearest")
    figure.colorbar(shown)
    axes.set_title("Embedded image (imshow)")
    save(folder, "imshow", figure, "path")


def non_latin(folder):
    figure, axes = plt.subplots()
    axes.plot([1, 2, 3, 4], [3, 1, 4, 1], marker="o")
    axes.set_title("Ελληνικά και русский текст: Δx → ∞")
    axes.set_xlabel("Ось времени (с)")
    axes.set_ylabel("Πλάτος")
    save(folder, "non-latin", figure, "none")


def log_axes(folder):
    figure, axes = plt.subplots()
    n = np.logspace(0, 5, 30)
    axes.loglog(n, n ** 1.5, "o-", label="n^1.5")
    axes.loglog(n, 50 * n * np.log(n + 1), "s--", label="n log n", alpha=0.7)
    axes.set_xlabel("elements")
    axes.set_ylabel("steps")
    axes.legend()
    axes.grid(True, which="both", alpha=0.3)
    save(folder, "log-axes", figure, "none")


def contour(folder):
    figure, axes = plt.subplots()
    u, v = np.meshgrid(np.linspace(-3, 3, 80), np.linspace(-2, 2, 60))
    z = np.exp(-u ** 2 - v ** 2) - 0.6 * np.exp(-(u - 1.2) ** 2 - (v - 0.6) ** 2)
    axes.contourf(u, v, z, levels=12, cmap="coolwarm", alpha=0.8)
    lines = axes.contour(u, v, z, levels=8, colors="k", linewidths=0.7)
    axes.clabel(lines, fontsize=8)
    axes.set_title("Contours")
    save(folder, "contour", figure, "path")


def bars(folder):
    figure, axes = plt.subplots()
    groups = np.arange(5)
    axes.bar(groups - 0.2, [20, 34, 30, 35, 27], 0.4, yerr=[2, 3, 4, 1, 2], label="before",
             capsize=3)
    axes.bar(groups + 0.2, [25, 32, 34, 20, 25], 0.4, yerr=[3, 5, 2, 3, 3], label="after",
             capsize=3)
    axes.set_xticks(groups, ["G1", "G2", "G3", "G4", "G5"])
    axes.set_ylabel("Score")
    axes.set_title("Bar chart with error bars")
    axes.legend()
    save(folder, "bars", figure, "none")


def scatter(folder):
    figure, axes = plt.subplots()
    points = rng.normal(size=(2, 300))
    shown = axes.scatter(points[0], points[1], c=points[0] * points[1], s=60 * rng.random(300),
                         alpha=0.5, cmap="plasma", edgecolors="none")
    figure.colorbar(shown, label="product")
    axes.set_title("Scatter with alpha")
    save(folder, "scatter", figure, "path")


def pie(folder):
    figure, axes = plt.subplots()
    axes.pie([35, 25, 20, 12, 8], labels=["Java", "C++", "Python", "Shell", "CMake"],
             explode=[0.08, 0, 0, 0, 0], autopct="%1.0f%%", shadow=True, startangle=90)
    axes.set_title("Pie chart")
    save(folder, "pie", figure, "none")


def polar(folder):
    figure = plt.figure()
    axes = figure.add_subplot(projection="polar")
    theta = np.linspace(0, 2 * np.pi, 300)
    axes.plot(theta, 1 + 0.5 * np.sin(5 * theta))
    axes.fill(theta, 0.6 + 0.3 * np.cos(3 * theta), alpha=0.4)
    axes.set_title("Polar plot", va="bottom")
    save(folder, "polar", figure, "path")


def annotated_grid(folder):
    figure, grid = plt.subplots(2, 2, figsize=(7, 5), constrained_layout=True)
    grid[0, 0].hist(rng.normal(size=1000), bins=30, alpha=0.6, histtype="stepfilled")
    grid[0, 1].step(np.arange(12), rng.integers(0, 10, 12), where="mid")
    grid[1, 0].errorbar(np.arange(8), np.arange(8) ** 1.3, yerr=0.8, fmt="o", ecolor="gray")
    grid[1, 1].plot(x, np.sin(x))
    grid[1, 1].annotate("maximum", xy=(np.pi / 2, 1), xytext=(4, 0.6),
                        arrowprops={"arrowstyle": "->", "connectionstyle": "arc3,rad=.3"},
                        bbox={"boxstyle": "round", "fc": "lightyellow", "alpha": 0.8})
    figure.suptitle("Four panels, one figure")
    save(folder, "panels", figure, "none")


def main():
    folder = sys.argv[1]
    lines_alpha(folder)
    hatches(folder)
    mathtext(folder, "path")
    mathtext(folder, "none")
    image(folder)
    non_latin(folder)
    log_axes(folder)
    contour(folder)
    bars(folder)
    scatter(folder)
    pie(folder)
    polar(folder)
    annotated_grid(folder)


if __name__ == "__main__":
    main()
