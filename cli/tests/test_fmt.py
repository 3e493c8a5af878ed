"""brix fmt, run as a user runs it: in place, on standard input, --check and --diff.

The layout itself is pinned by the library's tests; these check what the
command adds: which files it writes, what it prints, and its exit status.
"""

import re
import shutil
import subprocess

import pytest

from conftest import ROOT

MESSY = 'SELECT 1 FROM[CSCI 1010,CSCI 1020]:"Intro";SELECT 2 FROM $core:"Core";\n'
TIDY = 'SELECT 1 FROM [CSCI 1010, CSCI 1020] : "Intro";\nSELECT 2 FROM $core                  : "Core";\n'
SYNTAX = 'SELECT 1 FROM CSCI 1010 "Intro";\n'
SYNTAX_REPORT = (
    " --> bad.brix:1:15\n  |\n1 | SELECT 1 FROM CSCI 1010 \"Intro\";\n  |               ^---\n  |\n"
    "  = expected variable, XYZ, selector_list, or statement\n"
)
# Twelve lines apart, the two changes make two hunks; the last line has no line feed.
LONG = "$a=1;\n" + "".join(f"$v{i} = {i + 1};\n" for i in range(10)) + "$b=2;"
LONG_DIFF = (
    "--- long.brix\n+++ long.brix\n"
    "@@ -1,4 +1,4 @@\n-$a=1;\n+$a = 1;\n $v0 = 1;\n $v1 = 2;\n $v2 = 3;\n"
    "@@ -9,4 +9,4 @@\n $v7 = 8;\n $v8 = 9;\n $v9 = 10;\n-$b=2;\n\\ No newline at end of file\n+$b = 2;\n"
)
FILES = {"messy.brix": MESSY, "tidy.brix": TIDY, "bad.brix": SYNTAX, "long.brix": LONG,
         "semantic.brix": 'SELECT 0 FROM QQQZ 1010:"x";\n'}


def usage(message):
    return 2, "", f"brix: {message}\n"


RUNS = {
    "stdin": (["fmt", "-"], MESSY, (0, TIDY, "")),
    "stdin named": (["fmt", "--stdin-filename", "in.brix", "--check", "-"], MESSY, (1, "in.brix\n", "")),
    "check lists what would change": (["fmt", "--check", "tidy.brix", "messy.brix", "long.brix"], "",
                                      (1, "messy.brix\nlong.brix\n", "")),
    "check passes": (["fmt", "--check", "tidy.brix"], "", (0, "", "")),
    "diff": (["fmt", "--diff", "long.brix", "tidy.brix"], "", (1, LONG_DIFF, "")),
    "diff of nothing": (["fmt", "--diff", "tidy.brix"], "", (0, "", "")),
    "syntax error": (["fmt", "bad.brix", "tidy.brix"], "", (1, "", SYNTAX_REPORT)),
    "semantic errors are formatted": (["fmt", "-"], FILES["semantic.brix"], (0, 'SELECT 0 FROM QQQZ 1010 : "x";\n', "")),
    "missing file": (["fmt", "nope.brix"], "", usage("cannot read 'nope.brix': No such file or directory")),
    "no input": (["fmt"], "", usage("'brix fmt' needs at least one FILE, or '-' (see 'brix --help')")),
    "check belongs to fmt": (["check", "--check", "tidy.brix"], "",
                             usage("--check and --diff belong to 'brix fmt' (see 'brix --help')")),
}


@pytest.mark.parametrize("args,stdin,expected", RUNS.values(), ids=RUNS.keys())
def test_runs(brix, files, args, stdin, expected):
    folder = files(FILES)
    assert brix(*args, stdin=stdin) == expected
    # Only a plain run over files writes anything.
    for name, text in FILES.items():
        assert (folder / name).read_text() == text


def test_rewrites_files_in_place_and_keeps_their_mode(brix, files):
    folder = files(FILES)
    (folder / "messy.brix").chmod(0o640)
    assert brix("fmt", "messy.brix", "tidy.brix") == (0, "", "")
    assert (folder / "messy.brix").read_text() == TIDY
    assert (folder / "messy.brix").stat().st_mode & 0o777 == 0o640
    assert sorted(p.name for p in folder.iterdir()) == sorted(FILES)  # no temporary left
    assert brix("fmt", "--check", "messy.brix") == (0, "", "")


def test_a_directory_means_the_brix_files_below_it(brix, files):
    folder = files({})
    (folder / "a" / "b").mkdir(parents=True)
    for name in ("a/one.brix", "a/b/two.brix", "a/notes.txt"):
        (folder / name).write_text(MESSY)
    assert brix("fmt", "--check", "a") == (1, "a/b/two.brix\na/one.brix\n", "")
    assert brix("fmt", "a")[0] == 0
    assert (folder / "a/b/two.brix").read_text() == TIDY
    assert (folder / "a/notes.txt").read_text() == MESSY


@pytest.mark.skipif(shutil.which("patch") is None, reason="needs patch")
def test_the_diff_applies_with_patch(brix, files):
    folder = files(FILES)
    status, diff, _ = brix("fmt", "--diff", "long.brix")
    assert status == 1
    subprocess.run(["patch", "-s", "-p0"], input=diff.encode(), cwd=folder, check=True)
    assert brix("fmt", "--check", "long.brix") == (0, "", "")


def test_the_guides_formatting_example(brix):
    """The guide's example of brix fmt shows exactly what it does."""
    guide = (ROOT / "docs" / "language.md").read_text(encoding="utf-8")
    section = guide.split("### Formatting with brix fmt", 1)[1]
    before, after = re.findall(r"^```brix\n(.*?)^```$", section, re.MULTILINE | re.DOTALL)[:2]
    assert brix("fmt", "-", stdin=before) == (0, after, "")
    assert brix("fmt", "--check", "-", stdin=after) == (0, "", "")
