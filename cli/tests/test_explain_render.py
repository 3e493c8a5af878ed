"""brix explain and brix render, run as a user runs them."""

import pytest

from conftest import ROOT

MINOR = 'SELECT 2 FROM [MATH 1210, MATH 1220] : "Single-variable calculus";\n'
ZERO = 'SELECT 0 FROM MATH 1210 : "x";\n'
EXTERN = 'extern $e;\nSELECT 1 FROM $e : "Electives";\n'
# Variables inside variables, spliced at two depths: each course keeps the
# variable it came through.
VARS = ('$c = CSCI 2000;\n$core = [MATH 1210, SELECT 1 FROM [CSCI 1010, $c]];\n$n = 2-3;\n$d = "Core";\n$p = 4;\n'
        'SELECT $n FROM [$core, SELECT 1 FROM $core, $c] : $d : $p;\n')
VARS_EXPLAINED = (
    "Take 2 to 3 ($n) of the following. (Core; priority 4 ($p))\n"
    "- MATH 1210 (from the core list ($core)).\n"
    "- Take 1 of: CSCI 1010, CSCI 2000 (from $c). (from the core list ($core))\n"
    "- Take 1 of the following.\n"
    "  - MATH 1210 (from the core list ($core)).\n"
    "  - Take 1 of: CSCI 1010, CSCI 2000 (from $c). (from the core list ($core))\n"
    "- CSCI 2000 (from $c).\n"
)
FILES = {"minor.brix": MINOR, "zero.brix": ZERO, "extern.brix": EXTERN, "e.externs": "e = TAG(\"x\")\n",
         "vars.brix": VARS}
ZERO_REPORT = (
    "failed parsing quantity\n\nCaused by:\n     --> zero.brix:1:8\n      |\n    1 | SELECT 0 FROM MATH 1210 : \"x\";\n"
    "      |        ^\n      |\n      = cannot select zero\n"
)


def usage(message):
    return 2, "", f"brix: {message}\n"


RUNS = {
    "explain": (["explain", "minor.brix"], (0, "Take 2 of: MATH 1210, MATH 1220. (Single-variable calculus)\n", "")),
    "explain two files": (["explain", "minor.brix", "minor.brix"], (0, 2 * "Take 2 of: MATH 1210, MATH 1220. (Single-variable calculus)\n", "")),
    "explain with externs": (["explain", "--externs-file", "e.externs", "extern.brix"],
                             (0, 'Take 1 course tagged "x" (from $e). (Electives)\n', "")),
    "explain variables": (["explain", "vars.brix"], (0, VARS_EXPLAINED, "")),
    "explain error": (["explain", "zero.brix"], (1, "", ZERO_REPORT)),
    "render error": (["render", "zero.brix", "-o", "page.html"], (1, "", ZERO_REPORT)),
    "render missing": (["render", "x.brix"], usage("cannot read 'x.brix': No such file or directory")),
    "explain without files": (["explain"], usage("'brix explain' needs at least one FILE (see 'brix --help')")),
    "render without file": (["render"], usage("'brix render' needs a FILE (see 'brix --help')")),
    "render two files": (["render", "minor.brix", "zero.brix"], usage("'brix render' takes one FILE (see 'brix --help')")),
    "output elsewhere": (["minor.brix", "-o", "x"], usage("--output and --dot belong to 'brix render' (see 'brix --help')")),
    "dot elsewhere": (["explain", "--dot", "minor.brix"], usage("--output and --dot belong to 'brix render' (see 'brix --help')")),
    "unwritable output": (["render", "minor.brix", "-o", "no/such/dir/page.html"],
                          usage("cannot write 'no/such/dir/page.html': No such file or directory")),
}


@pytest.mark.parametrize("args, expected", RUNS.values(), ids=RUNS.keys())
def test_runs(brix, files, args, expected):
    files(FILES)
    assert brix(*args) == expected


def test_render_writes_the_page_named_for_the_file(brix, files):
    where = files(FILES)
    assert brix("render", "minor.brix", "-o", "page.html") == (0, "", "")
    page = (where / "page.html").read_text(encoding="utf-8")
    assert page.startswith("<!DOCTYPE html>") and "<h1>minor.brix</h1>" in page
    assert brix("render", "minor.brix")[1] == page


def test_render_dot(brix, files):
    files(FILES)
    status, out, err = brix("render", "--dot", "minor.brix")
    assert (status, err) == (0, "")
    assert out.startswith("digraph requirements {") and 'label="MATH 1210"' in out


def test_new_user_renders_the_cs_major(brix, files):
    """The first thing a new user tries: the example with its externs."""
    where = files({})
    example = ROOT / "examples" / "cs-major.brix"
    externs = ROOT / "examples" / "cs-major.externs"
    assert brix("render", "--externs-file", str(externs), str(example), "-o", "cs.html") == (0, "", "")
    page = (where / "cs.html").read_text(encoding="utf-8")
    assert "<h1>cs-major.brix</h1>" in page and "Approved upper-level electives" in page
