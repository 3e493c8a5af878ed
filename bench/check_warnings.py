#!/usr/bin/env python3
"""`brix check` with warnings (`brix lint`) against without (`brix check`) on
1,000 requirement files: the median of several runs of each, run in turn, and
their ratio, which must stay within 1.5.

    python3 bench/check_warnings.py build/cli/brix [--runs 21] [--files 1000]

Exits with status 1 when the ratio is above the bound. This is a benchmark,
not a test: run it on a quiet machine.
"""

import argparse
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
BOUND = 1.5


def timed(argv):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("brix")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--files", type=int, default=1000)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as corpus:
        subprocess.run([sys.executable, str(ROOT / "tools" / "make_check_corpus.py"),
                        str(args.files), corpus], check=True)
        commands = {"check": [args.brix, "check", "-q", "-j1", corpus],
                    "lint": [args.brix, "lint", "-q", "-j1", corpus]}
        for argv in commands.values():  # warm the file cache
            timed(argv)
        times = {name: [] for name in commands}
        for _ in range(args.runs):
            for name, argv in commands.items():
                times[name].append(timed(argv))
    medians = {name: statistics.median(t) for name, t in times.items()}
    ratio = medians["lint"] / medians["check"]
    for name, median in medians.items():
        print(f"{name:6} median {median * 1000:8.1f} ms over {args.runs} runs "
              f"(min {min(times[name]) * 1000:.1f} ms)")
    print(f"lint / check = {ratio:.2f} (bound {BOUND})")
    return 0 if ratio <= BOUND else 1


if __name__ == "__main__":
    sys.exit(main())
