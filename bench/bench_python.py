#!/usr/bin/env python3
"""Throughput and peak memory of the rediriziv module: parse(text) and
parse_with_externals(text, externals) followed by json(), json_pretty() or
str(), on the generated corpus, as a Python caller would run them.

    python3 bench/bench_python.py --gen build/rel/bench/brix_gen_corpus [--sizes 1 4 16]

The corpus and its extern values come from brix_gen_corpus (the same corpus
as the C++ benchmarks). parse_with_externals gets the corpus as it is; parse
gets it with each extern declaration replaced by an assignment of the same
value, which yields the same document. For each call and size the timing runs
in this process and reports the median and the minimum of several runs of
the whole expression (the BRIX object is freed inside the timing, the
returned str outside it); MB/s counts input bytes (decimal megabytes, as the
C++ benchmarks do). The "method ms" column is the median time of the method
alone: for json() the part of the binding that turns the document into a str,
for json_pretty() the layout and the str, for str() the data model and its
text.

Peak memory is measured in a fresh subprocess per call and size, from the
kernel's record of its largest resident set, which counts the library's C++
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


def without_externs(text, externals):
    """The corpus with its extern declarations turned into assignments."""
    for name, value in externals.items():
        declaration = f"extern {name};\n"
        assert declaration in text, declaration
        text = text.replace(declaration, f"{name} = {value};\n", 1)
    return text


def converter(call, text, externals):
    """The call to measure, as a function of no arguments returning a BRIX."""
    import rediriziv

    if call == "parse":
        plain = without_externs(text, externals)
        return lambda: rediriziv.parse(plain)
    return lambda: rediriziv.parse_with_externals(text, externals)


def output(result, method):
    return str(result) if method == "str" else getattr(result, method)()


def time_conversion(convert, method, runs):
    """Seconds of each run, whole and of the method alone."""
    whole, json_only = [], []
    for _ in range(runs):
        start = time.perf_counter()
        result = convert()
        before_json = time.perf_counter()
        document = output(result, method)
        del result
        end = time.perf_counter()
        whole.append(end - start)
        json_only.append(end - before_json)
        del document
    return whole, json_only


def status_kib(field):
    """A size field of /proc/self/status (Linux), in KiB."""
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise KeyError(field)


def peak_child(call, method, path, externals_json):
    """Runs in a fresh interpreter: one conversion, then prints the sizes and
    how far the conversion raised the peak resident set above the resident set
    before it, in KiB."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    externals = json.loads(externals_json)
    # Warm the module and the allocator on a small input first, so the peak
    # counts the conversion and not the import.
    converter(call, text[: text.find("\n// Block 1\n")], externals)().json()
    convert = converter(call, text, externals)
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
    document = output(convert(), method)
    # Read before the sizes, whose encoding would raise the peak itself.
    peak_kib = peak_since() - before
    print(json.dumps({"input": len(text.encode()), "output": len(document.encode()),
                      "peak_kib": peak_kib}))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--gen", required=True, help="path of brix_gen_corpus")
    parser.add_argument("--sizes", type=int, nargs="+", default=[1, 4, 16], help="MiB")
    parser.add_argument("--runs", type=int, default=9, help="timed runs per size")
    parser.add_argument("--calls", nargs="+", default=["parse", "parse_with_externals"],
                        choices=["parse", "parse_with_externals"])
    parser.add_argument("--methods", nargs="+", default=["json", "json_pretty", "str"],
                        choices=["json", "json_pretty", "str"])
    parser.add_argument("--peak-child", nargs=4, help=argparse.SUPPRESS)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as directory:
        print("Every number includes allocation: each call makes a new BRIX object and str; the"
              " module reuses its document buffer between calls.")
        print(f"{'call':<36} {'size':>6} {'median ms':>10} {'min ms':>8} {'median MB/s':>12}"
              f" {'best MB/s':>10} {'method ms':>10} {'peak MiB':>9} {'peak/io':>8}")
        for mib in args.sizes:
            path, externals = write_corpus(args.gen, mib, directory)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            size = len(text.encode())
            for call in args.calls:
                for method in args.methods:
                    convert = converter(call, text, externals)
                    time_conversion(convert, method, 1)  # warm-up
                    whole, method_only = time_conversion(convert, method, args.runs)
                    median = statistics.median(whole)
                    best = min(whole)

                    child = subprocess.run(
                        [sys.executable, __file__, "--gen", args.gen, "--peak-child", call, method,
                         path, json.dumps(externals)],
                        capture_output=True, check=True, text=True)
                    peak = json.loads(child.stdout)
                    peak_mib = peak["peak_kib"] / 1024
                    per_io = peak["peak_kib"] * 1024 / (peak["input"] + peak["output"])
                    print(f"{call + '().' + method + '()':<36} {mib:>4}Mi {median * 1e3:>10.1f}"
                          f" {best * 1e3:>8.1f} {size / 1e6 / median:>12.1f}"
                          f" {size / 1e6 / best:>10.1f} {statistics.median(method_only) * 1e3:>10.2f}"
                          f" {peak_mib:>9.1f} {per_io:>8.2f}")


if __name__ == "__main__":
    if "--peak-child" in sys.argv:
        index = sys.argv.index("--peak-child")
        peak_child(*sys.argv[index + 1 : index + 5])
    else:
        main()
