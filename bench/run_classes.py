#!/usr/bin/env python3
"""Runs symmetric_bench once per processor class, several times over, and
prints one table: for each operation and class the median of the runs'
ratios (ours / OpenSSL, each run's ratio itself a median of interleaved
repetitions), their lowest and highest, and the median throughputs.

    bench/run_classes.py build/bench/symmetric_bench [--runs 3]
        [--classes aesni,vaes256,vaes512] [-- <benchmark flags>]

The runs go round the classes in turn (aesni, vaes256, vaes512, aesni, ...),
so a slow spell of the machine does not fall on one class alone.
"""
import argparse
import os
import statistics
import subprocess
import sys


def run_once(bench, cls, extra):
    env = dict(os.environ, TOLVARIS_BENCH_CLASS=cls)
    env.pop("OPENSSL_ia32cap", None)  # the bench sets the class's mask itself
    out = subprocess.run([bench, *extra], env=env, check=True, capture_output=True, text=True).stdout
    rows, in_table = {}, False
    for line in out.splitlines():
        if line.startswith("operation"):
            in_table = True
            continue
        if not in_table or not line.strip():
            continue
        f = line.split()
        if len(f) < 6 or "(libsodium)" in line:
            continue
        rows[f[0]] = (float(f[5]), float(f[6]) if len(f) > 7 else None, float(f[7]) if len(f) > 7 else None)
    return rows


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bench")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--classes", default="aesni,vaes256,vaes512")
    argv = sys.argv[1:]
    extra = argv[argv.index("--") + 1:] if "--" in argv else []
    a = ap.parse_args(argv[:argv.index("--")] if "--" in argv else argv)
    classes = a.classes.split(",")
    got = {c: [] for c in classes}
    for r in range(a.runs):
        for c in classes:
            print(f"run {r + 1}/{a.runs}, class {c}", file=sys.stderr, flush=True)
            got[c].append(run_once(a.bench, c, extra))
    ops = sorted({op for runs in got.values() for rows in runs for op in rows})
    print("| operation | " + " | ".join(f"{c}: ratio (range), ours / ref MB/s" for c in classes) + " |")
    print("|---|" + "---|" * len(classes))
    for op in ops:
        cells = []
        for c in classes:
            vals = [rows[op] for rows in got[c] if op in rows]
            if not vals:
                cells.append("")
                continue
            ratios = [v[0] for v in vals]
            cell = f"{statistics.median(ratios):.2f} ({min(ratios):.2f}-{max(ratios):.2f})"
            if vals[0][1] is not None:
                cell += f", {statistics.median(v[1] for v in vals):.0f} / {statistics.median(v[2] for v in vals):.0f}"
            cells.append(cell)
        print(f"| {op} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
