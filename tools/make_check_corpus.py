#!/usr/bin/env python3
"""Writes N requirement files for measuring `brix check`: the examples without
externs files, each copy with its own course numbers, and one file in ten with a
mistake, so both the success and the error path are measured.

    python3 tools/make_check_corpus.py 1000 /tmp/corpus
    time brix check -q -j1 /tmp/corpus/*.brix
"""

import pathlib
import re
import sys


def main():
    count, out = int(sys.argv[1]), pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    examples = pathlib.Path(__file__).resolve().parents[1] / "examples"
    sources = [p.read_text() for p in sorted(examples.glob("*.brix"))
               if not p.with_suffix(".externs").exists()]
    for i in range(count):
        text = sources[i % len(sources)]
        # Shift every course number so no two files are alike.
        text = re.sub(r"\b([A-Z&]{3,4}) (\d)(\d{3})",
                      lambda m: f"{m.group(1)} {m.group(2)}{(int(m.group(3)) + i) % 1000:03}", text)
        if i % 10 == 9:
            text = text.replace("MATH", "MTH", 1)
        (out / f"req{i:04}.brix").write_text(text)


if __name__ == "__main__":
    main()
