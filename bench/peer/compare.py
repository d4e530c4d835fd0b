#!/usr/bin/python3
"""Runs bench_artwork and its Pillow peer in turns on the same inputs and prints the ratios.

Usage: compare.py BENCH_ARTWORK [--rounds N] [--repetitions N]

Both sides draw the same three workloads (see pillow_keys.py). The goals are judged on the CPU
time of the drawing process (all its threads), which other work on the machine disturbs less
than wall time; wall time is shown beside it. Each round runs our benchmark and then Pillow's, and the medians are over every repetition of every
round. Before timing, our pictures are checked byte for byte against reference.sha256 (taken
from the drawing code as it was before it was tuned), and both sides' pictures are compared so
that a fast side cannot be fast by drawing something else. Exits 1 when a check fails; missed
speed goals are reported, not failed, since the figures depend on the machine's load.
"""

import argparse
import hashlib
import io
import json
import os
import statistics
import subprocess
import sys
import tempfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
# name in our benchmark, name in the peer's report, units per benchmark iteration, goal
WORKLOADS = (
    ("DisplayPadFrame", "displaypad_key_us", 12, 5.0, "DisplayPad key (102x102, badge, BGR)"),
    ("MSDTwoButtons", "msdtwo_key_us", 6, 5.0, "MSD-TWO key (64x64, JPEG q95)"),
    ("MSDTwoBackground", "background_us", 1, 3.0, "MSD-TWO background (RGB565)"),
)
UNIT_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def ours(bench, folder, repetitions):
    command = [bench, "--benchmark_format=json", "--benchmark_repetitions=%d" % repetitions,
               "--benchmark_min_time=0.2",
               "--benchmark_filter=^(%s)(/|$)" % "|".join(w[0] for w in WORKLOADS)]
    if folder:
        command.insert(1, "--peer-inputs=" + folder)
    report = json.loads(subprocess.run(command, check=True, capture_output=True).stdout)
    samples = {w[0]: ([], []) for w in WORKLOADS}
    for run in report["benchmarks"]:
        if run.get("run_type") == "iteration" and run.get("error_occurred") is not True:
            name = run.get("run_name", run["name"]).split("/")[0]
            units = next(w[2] for w in WORKLOADS if w[0] == name)
            scale = UNIT_US[run["time_unit"]] / units
            samples[name][0].append(run["cpu_time"] * scale)
            samples[name][1].append(run["real_time"] * scale)
    return samples


def peer(folder, repetitions):
    command = [sys.executable, os.path.join(HERE, "pillow_keys.py"), folder,
               "--repetitions=%d" % repetitions, "--min-time=0.2"]
    return json.loads(subprocess.run(command, check=True, capture_output=True).stdout)


def check_reference(folder):
    expected = {}
    with open(os.path.join(HERE, "reference.sha256")) as file:
        for line in file:
            digest, name = line.split()
            expected[name] = digest
    changed = []
    for name, digest in sorted(expected.items()):
        with open(os.path.join(folder, name), "rb") as file:
            if hashlib.sha256(file.read()).hexdigest() != digest:
                changed.append(name)
    return len(expected), changed


def mean_difference(a, b):
    if len(a) != len(b) or not a:
        return float("inf")
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)


def rgb565_to_rgb(data):
    out = bytearray()
    for index in range(0, len(data), 2):
        value = data[index] | data[index + 1] << 8
        out += bytes(((value >> 11) * 255 // 31, (value >> 5 & 63) * 255 // 63,
                      (value & 31) * 255 // 31))
    return bytes(out)


def compare_pictures(folder):
    """Mean absolute difference per sample between our pictures and Pillow's (0...255)."""
    def read(name):
        with open(os.path.join(folder, name), "rb") as file:
            return file.read()

    def decoded(name):
        return Image.open(io.BytesIO(read(name))).convert("RGB").tobytes()

    buttons_ours = b"".join(decoded("ours-msdtwo-%d.jpg" % i) for i in range(6))
    buttons_peer = b"".join(decoded("peer-msdtwo-%d.jpg" % i) for i in range(6))
    return {
        "DisplayPadFrame": mean_difference(read("ours-displaypad.bgr"), read("peer-displaypad.bgr")),
        "MSDTwoButtons": mean_difference(buttons_ours, buttons_peer),
        "MSDTwoBackground": mean_difference(rgb565_to_rgb(read("ours-background.565")),
                                            rgb565_to_rgb(read("peer-background.565"))),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("bench", help="path of bench_artwork")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--repetitions", type=int, default=5, help="per side and round")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="quorvel-peer-") as folder:
        mine = {w[0]: ([], []) for w in WORKLOADS}
        theirs = {w[1]: ([], []) for w in WORKLOADS}
        for round_number in range(args.rounds):
            samples = ours(args.bench, folder if round_number == 0 else None, args.repetitions)
            for name, (cpu, wall) in samples.items():
                mine[name][0].extend(cpu)
                mine[name][1].extend(wall)
            if round_number == 0:
                total, changed = check_reference(folder)
            report = peer(folder, args.repetitions)
            for key in theirs:
                theirs[key][0].extend(report[key + "_samples"])
                theirs[key][1].extend(report[key + "_wall_samples"])
        differences = compare_pictures(folder)

    print("Key drawing, time per picture, medians of %d repetitions a side (%d rounds taken in "
          "turns; Pillow %s); goals judged on CPU time" % (
              args.rounds * args.repetitions, args.rounds, report["pillow"]))
    print("load average at the end: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
    print("%-38s %9s %9s %7s %9s %9s %7s %5s %6s" % (
        "workload", "ours cpu", "Pillow", "ratio", "ours wall", "Pillow", "ratio", "goal",
        "|diff|"))
    failed = False
    for name, peer_name, _, goal, title in WORKLOADS:
        ours_cpu, ours_wall = (statistics.median(values) for values in mine[name])
        peer_cpu, peer_wall = (statistics.median(values) for values in theirs[peer_name])
        ratio = peer_cpu / ours_cpu
        print("%-38s %7.1fus %7.1fus %6.1fx %7.1fus %7.1fus %6.1fx %4.0fx %6.1f  %s" % (
            title, ours_cpu, peer_cpu, ratio, ours_wall, peer_wall, peer_wall / ours_wall, goal,
            differences[name], "met" if ratio >= goal else "MISSED"))
        # Both sides draw the same gradient, icons and badges; a few levels of difference come
        # from filters, text rasterisers and JPEG encoders, a wrong picture is far beyond that.
        if differences[name] > 12:
            print("  the two sides drew different pictures for %s" % title)
            failed = True
    if changed:
        print("our pictures differ from the reference in: %s" % ", ".join(changed))
        failed = True
    else:
        print("our pictures: all %d files byte-identical to the reference" % total)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
