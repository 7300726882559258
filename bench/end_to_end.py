#!/usr/bin/env python3
"""End to end: varnel-cli flatten, merge-all and convert on a generated 10-layer 2048 x 2048
layer file, beside vips composite doing the same composition and cp copying the same file.
Every job runs several times in turn; the best wall time of each counts.

    bench/end_to_end.py [--build build] [--runs 5] [--folder DIR]

Needs the main build (varnel-cli, bench/make_layer_stack) and vips (libvips-tools, installed
by scripts/setup-deps --bench)."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

LAYERS = 10
SIDE = 2048
# VipsBlendMode numbers (the command line takes no names): over, multiply, screen, overlay.
VIPS_MODES = ["2", "14", "15", "16"]


def run(command, **kwargs):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **kwargs)


def timed(command, output):
    """Wall time of one run; the output is removed first, so every run writes a new file."""
    if os.path.exists(output):
        os.remove(output)
    start = time.perf_counter()
    run(command)
    return time.perf_counter() - start


def prepare(build, folder):
    stack = os.path.join(folder, "stack.vlb")
    run([os.path.join(build, "bench", "make_layer_stack"), stack, folder])
    # vips reads its own format with least work: the raw files become .v images once.
    images = []
    for name in ["base"] + [f"layer{i}" for i in range(LAYERS)]:
        raw, image = os.path.join(folder, name + ".raw"), os.path.join(folder, name + ".v")
        loaded = os.path.join(folder, name + "-raw.v")
        run(["vips", "rawload", raw, loaded, str(SIDE), str(SIDE), "4"])
        run(["vips", "copy", loaded, image, "--interpretation", "srgb"])
        os.remove(raw)
        os.remove(loaded)
        images.append(image)
    return stack, images


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--folder", help="where the files go (default: a new folder in $TMPDIR)")
    args = parser.parse_args()
    if shutil.which("vips") is None:
        sys.exit("vips is missing: scripts/setup-deps --bench")
    cli = os.path.join(args.build, "bin", "varnel-cli")
    folder = args.folder or tempfile.mkdtemp(prefix="varnel-e2e-")
    os.makedirs(folder, exist_ok=True)
    stack, images = prepare(args.build, folder)
    out = lambda name: os.path.join(folder, name)
    modes = " ".join(VIPS_MODES[i % len(VIPS_MODES)] for i in range(LAYERS))
    jobs = {
        "flatten": ([cli, "flatten", stack, out("flat.vlb")], out("flat.vlb")),
        "merge-all": ([cli, "merge-all", stack, out("merged.vlb")], out("merged.vlb")),
        "convert": ([cli, "convert", stack, out("converted.vlb")], out("converted.vlb")),
        "vips composite": (["vips", "composite", " ".join(images), out("vips.v"), modes], out("vips.v")),
        "cp": (["cp", stack, out("copy.vlb")], out("copy.vlb")),
    }
    best = {name: float("inf") for name in jobs}
    for _ in range(args.runs):
        for name, (command, output) in jobs.items():
            best[name] = min(best[name], timed(command, output))

    size = os.path.getsize(stack) / 2**20
    print(f"{LAYERS} layers of {SIDE} x {SIDE}, layer file {size:.0f} MiB, best of {args.runs} runs")
    for name, seconds in best.items():
        print(f"  {name:<16} {seconds * 1000:8.1f} ms")
    print("ratios (the other's time / ours; above 1 we are faster)")
    vips = best["vips composite"]
    print(f"  flatten    vs vips composite  {vips / best['flatten']:5.2f}   (goal >= 2)")
    print(f"  merge-all  vs vips composite  {vips / best['merge-all']:5.2f}   (goal >= 2)")
    print(f"  merge-all  / flatten          {best['merge-all'] / best['flatten']:5.2f}   (goal <= 1.5)")
    print(f"  convert    vs cp              {best['cp'] / best['convert']:5.2f}   (goal >= 0.7)")
    if not args.folder:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
