#!/usr/bin/env python3
"""Throughput and peak memory of the rediriziv module: parse_with_externals(text,
externals).json() on the generated corpus, as a Python caller would run it.

    python3 bench/bench_python.py --gen build/rel/bench/brix_gen_corpus [--sizes 1 4 16]

The corpus and its extern values come from brix_gen_corpus (the same corpus
as the C++ benchmarks). For each size the timing runs in this process and
reports the median and the minimum of several runs; MB/s counts input bytes
(decimal megabytes, as the C++ benchmarks do). Peak memory is measured in a
fresh subprocess per size, from the kernel's record of its largest resident
set, which counts the library's C++
allocations as well as Python's. The peak is reset to the resident set just
before the call (writing 5 to /proc/self/clear_refs) and that resident set is
subtracted, so the figure is what one conversion adds. (ru_maxrss, the same
counter as getrusage reports, cannot be reset, and a subprocess starts with
its parent's value in it, hence the fresh peak from /proc/self/status.) It is
given per byte of input plus output, like the C++ peak_memory benchmark.

Run with the module importable (an installed wheel, or PYTHONPATH pointing at
the directory that holds the built rediriziv extension).
"""

import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def write_corpus(gen, mib, directory):
    """Writes a corpus of about `mib` MiB; returns its path and extern values."""
    path = os.path.join(directory, f"corpus-{mib}.brix")
    with open(path, "wb") as out:
        done = subprocess.run([gen, str(mib)], stdout=out, stderr=subprocess.PIPE, check=True)
    externals = {}
    for line in done.stderr.decode().splitlines():
        name, _, value = line.partition("=")
        externals[name] = value
    return path, externals


def time_conversion(text, externals, runs):
    import rediriziv

    seconds = []
    for _ in range(runs):
        start = time.perf_counter()
        document = rediriziv.parse_with_externals(text, externals).json()
        seconds.append(time.perf_counter() - start)
        del document
    return seconds


def status_kib(field):
    """A size field of /proc/self/status (Linux), in KiB."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise KeyError(field)


def peak_child(path, externals_json):
    """Runs in a fresh interpreter: one conversion, then prints the sizes and
    how far the conversion raised the peak resident set above the resident set
    before it, in KiB."""
    import rediriziv

    with open(path, encoding="utf-8") as f:
        text = f.read()
    externals = json.loads(externals_json)
    # Warm the module and the allocator on a small input first, so the peak
    # counts the conversion and not the import.
    rediriziv.parse_with_externals(text[: text.find("\n// Block 1\n")], externals).json()
    before = status_kib("VmRSS")
    try:
        # Resets the peak to the current resident set, so that reading the
        # file (its bytes and the decoded str at once) does not count.
        with open("/proc/self/clear_refs", "w") as clear:
            clear.write("5")
        peak_since = lambda: status_kib("VmHWM")
    except OSError:
        # Without the reset, the process's own peak from getrusage; it may
        # be dominated by reading the file and then understates the call.
        peak_since = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    document = rediriziv.parse_with_externals(text, externals).json()
    print(json.dumps({"input": len(text.encode()), "output": len(document.encode()),
                      "peak_kib": peak_since() - before}))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--gen", required=True, help="path of brix_gen_corpus")
    parser.add_argument("--sizes", type=int, nargs="+", default=[1, 4, 16], help="MiB")
    parser.add_argument("--runs", type=int, default=9, help="timed runs per size")
    parser.add_argument("--peak-child", nargs=2, help=argparse.SUPPRESS)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as directory:
        print(f"{'size':>6} {'median ms':>10} {'min ms':>8} {'median MB/s':>12} {'best MB/s':>10}"
              f" {'peak MiB':>9} {'peak/io':>8}")
        for mib in args.sizes:
            path, externals = write_corpus(args.gen, mib, directory)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            size = len(text.encode())
            time_conversion(text, externals, 1)  # warm-up
            seconds = time_conversion(text, externals, args.runs)
            median = statistics.median(seconds)
            best = min(seconds)

            child = subprocess.run(
                [sys.executable, __file__, "--gen", args.gen, "--peak-child", path,
                 json.dumps(externals)],
                capture_output=True, check=True, text=True)
            peak = json.loads(child.stdout)
            peak_mib = peak["peak_kib"] / 1024
            per_io = peak["peak_kib"] * 1024 / (peak["input"] + peak["output"])
            print(f"{mib:>4}Mi {median * 1e3:>10.1f} {best * 1e3:>8.1f}"
                  f" {size / 1e6 / median:>12.1f} {size / 1e6 / best:>10.1f}"
                  f" {peak_mib:>9.1f} {per_io:>8.2f}")


if __name__ == "__main__":
    if "--peak-child" in sys.argv:
        index = sys.argv.index("--peak-child")
        peak_child(sys.argv[index + 1], sys.argv[index + 2])
    else:
        main()
