"""Compares two wheels of the same release file by file.

Usage: compare_wheels.py A.whl B.whl

Both must hold the same file names. Every file must have the same bytes,
except RECORD (it lists the others' hashes, compared through them) and, for
ELF binaries, the bytes that spell a build directory, which are blanked out
before comparing: the two builds ran in different directories. Prints one
line per file and exits 1 on any difference."""

import difflib
import re
import sys
import zipfile

# Build directories that may appear inside binaries: a temporary directory of
# the sdist build, or the checkout's build tree.
BUILD_PATH = re.compile(rb"/(?:tmp|work|build|home|root)/[\x21-\x7e]*")


def contents(path):
    with zipfile.ZipFile(path) as wheel:
        return {name: wheel.read(name) for name in wheel.namelist()}


def comparable(name, data):
    if data[:4] == b"\x7fELF":
        return BUILD_PATH.sub(lambda m: b"\0" * len(m.group()), data)
    return data


def main(a_path, b_path):
    a, b = contents(a_path), contents(b_path)
    differences = 0
    for name in sorted(set(a) | set(b)):
        if name not in a or name not in b:
            print(f"only in {'the first' if name in a else 'the second'}: {name}")
            differences += 1
        elif name.endswith(".dist-info/RECORD"):
            print(f"skipped (hashes of the others): {name}")
        elif a[name] == b[name]:
            print(f"identical: {name}")
        elif comparable(name, a[name]) == comparable(name, b[name]):
            print(f"identical except build paths: {name}")
        else:
            print(f"DIFFERENT: {name}")
            if not name.endswith((".so", "/scripts/brix")):
                lines = difflib.unified_diff(a[name].decode(errors="replace").splitlines(),
                                             b[name].decode(errors="replace").splitlines(), lineterm="", n=1)
                print("\n".join(list(lines)[:40]))
            differences += 1
    print(f"{len(set(a) | set(b))} files compared, {differences} differ")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
