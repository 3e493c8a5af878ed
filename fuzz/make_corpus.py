#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: the example files, the BRIX texts
of the C++ tests, the examples' extern values and short value texts.

Run from the repository root; files are named by the SHA-1 of their content,
as libFuzzer names what it adds, so running it again changes nothing.
"""
import hashlib
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "fuzz" / "corpus"
MAX_SIZE = 4096

# Values every kind of `var_value` can take, including the failing ones.
VALUES = [
    '"text"', '""', '""""', '"a""b"', '"caf\u00e9"', "3", "0", "65535", "65536",
    "0-5", "5-3", "2-2", "CSCI 1010", "CSCI 1010L", "AB 1010", "QQQZ 1010",
    "C&EE 1234", "CLASS(MATH 2000)", 'TAG("t")', 'TAG_DEPT("t", "c")',
    'DIST_DEPT("d", "c")', 'PLACEMENT("p")', "RANGE(CSCI 1000, CSCI 2000)",
    'RANGE_DIST(CSCI 1000, MATH 2000L, "d")', 'RANGE_TAG(CSCI 1000, CSCI 1000, "t")',
    "[CSCI 1010, MATH 2000]", "[SELECT 1 FROM CSCI 1010]",
    "[SELECT 0-2 FROM [CSCI 1010, TAG(\"x\")]]", "[LIMIT 1 FROM CSCI 1010]",
    "[$undefined]", "TAG($x)", "FOO(CSCI 1010)", "[CSCI 1010,]", "CSCI 1010 trailing",
]


def write(target, data):
    if not data or len(data) > MAX_SIZE:
        return
    folder = OUT / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def test_texts():
    """The raw-string BRIX texts of the C++ tests."""
    for path in sorted((ROOT / "libbrix" / "tests").glob("*_test.cpp")):
        for match in re.finditer(r'R"txt\((.*?)\)txt"', path.read_text(), re.S):
            text = match.group(1)
            if not text.startswith("{") and "-->" not in text and "Caused by" not in text:
                yield text


def main():
    files = [p.read_text() for p in sorted((ROOT / "examples").glob("*.brix"))]
    texts = files + list(test_texts())
    for text in texts:
        write("parse", text.encode())

    values = list(VALUES)
    for path in sorted((ROOT / "examples").glob("*.externs")):
        for line in path.read_text().splitlines():
            if "=" in line and not line.startswith("#"):
                values.append(line.split("=", 1)[1].strip())
    for text in texts:
        values += [m.group(1).strip() for m in re.finditer(r"\$\w+\s*=\s*([^;]+);", text)]
    for value in values:
        write("parse_extern_value", value.encode())

    # BRIX text, "%%", then NAME=VALUE lines for its externs.
    externs = "\n".join(f"$v{i}={v}" for i, v in enumerate(VALUES[:6]))
    for path in sorted((ROOT / "examples").glob("*.externs")):
        brix = path.with_suffix(".brix").read_text()
        pairs = [line.split("=", 1) for line in path.read_text().splitlines()
                 if "=" in line and not line.startswith("#")]
        lines = "\n".join(f"${k.strip().lstrip('$')}={v.strip()}" for k, v in pairs)
        write("parse_with_externals", f"{brix}\n%%\n{lines}\n".encode())
    for text in texts:
        if "extern" in text:
            names = re.findall(r"extern\s*(\$\w+)", text)
            for value in VALUES[::5]:
                lines = "\n".join(f"{n}={value}" for n in names)
                write("parse_with_externals", f"{text}\n%%\n{lines}\n".encode())
        else:
            write("parse_with_externals", f"{text}\n%%\n{externs}\n".encode())


if __name__ == "__main__":
    main()
