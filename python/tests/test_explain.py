"""brix.explain: snapshots of every example, read by a person, and one-line
goldens for each way a requirement can be said."""

import os

import pytest

import brix
from conftest import ROOT, example_params

SNAPSHOTS = ROOT / "python" / "tests" / "snapshots"


@pytest.mark.parametrize("example", example_params())
def test_example_snapshot(example):
    """BRIX_UPDATE_SNAPSHOTS=1 rewrites them; review the diff before committing."""
    got = brix.explain(example.text, externs=example.externs)
    path = SNAPSHOTS / f"{example.name}.txt"
    if os.environ.get("BRIX_UPDATE_SNAPSHOTS"):
        path.write_text(got, encoding="utf-8")
    assert got == path.read_text(encoding="utf-8")


@pytest.mark.parametrize(
    "text, expected",
    [
        ('SELECT 2 FROM [MATH 1210, MATH 1220] : "Single-variable calculus";',
         "Take 2 of: MATH 1210, MATH 1220. (Single-variable calculus)"),
        ('SELECT 2-3 FROM RANGE(MATH 3000, MATH 4999) : "Upper";', "Take 2 to 3 courses from MATH 3000-4999. (Upper)"),
        ('SELECT 3-3 FROM RANGE(MATH 3000, MATH 4999) : "Three";', "Take 3 courses from MATH 3000-4999. (Three)"),
        ('LIMIT 1 FROM [STAT 3110, STAT 3120] : "Stats";', "At most 1 of: STAT 3110, STAT 3120 counts. (Stats)"),
        ('LIMIT 2 FROM [STAT 3110, STAT 3120] : "S";', "At most 2 of: STAT 3110, STAT 3120 count. (S)"),
        ('LIMIT 1-2 FROM [STAT 3110, STAT 3120] : "S";', "Between 1 and 2 of: STAT 3110, STAT 3120 count. (S)"),
        ('SELECT 1 FROM TAG("Honors") : "H";', 'Take 1 course tagged "Honors". (H)'),
        ('SELECT 1 FROM DIST_DEPT("abc", "abcXYZ123") : "D";',
         'Take 1 course with distribution code "abc" for the major code "abcXYZ123". (D)'),
        ('SELECT 1 FROM CHEM 1610L : "Lab";', "Take CHEM 1610L (lab). (Lab)"),
        ('SELECT 1 FROM MATH 0100 : "Zero-padded" : 0;', "Take MATH 0100. (Zero-padded; priority 0)"),
        ('SELECT 1 FROM RANGE(CHEM 1610, CHEM 1620L) : "R";', "Take 1 course from CHEM 1610 to CHEM 1620L. (R)"),
        ('SELECT 1 FROM PLACEMENT("Spanish") : "P";', 'Take the placement result "Spanish". (P)'),
        ('$c = [MATH 1210, MATH 1220]; SELECT 2 FROM [$c, MATH 2210] : "Mix";',
         "Take 2 of: MATH 1210, MATH 1220 (from the c list ($c)), MATH 2210. (Mix)"),
        ('$t = TAG("W"); SELECT 2 FROM $t : "W";', 'Take 2 courses tagged "W" (from $t). (W)'),
        ('$n = 2-4; $p = 5; SELECT $n FROM RANGE_TAG(BIOL 3000, BIOL 4999, "Lab") : "L" : $p;',
         'Take 2 to 4 ($n) courses from BIOL 3000-4999 tagged "Lab". (L; priority 5 ($p))'),
    ],
)
def test_sentence(text, expected):
    assert brix.explain(text) == expected + "\n"


def test_nested_queries_are_indented_under_their_sentence():
    text = 'SELECT 1 FROM [SELECT 2 FROM [E&ES 1000, MATH 1000], SELECT 0-1 FROM [SELECT 1 FROM TAG("x")], MATH 2000] : "N";'
    assert brix.explain(text) == (
        "Take 1 of the following. (N)\n"
        "- Take 2 of: E&ES 1000, MATH 1000.\n"
        "- Take 0 to 1 of the following.\n"
        '  - Take 1 course tagged "x".\n'
        "- MATH 2000.\n"
    )


def test_externs_take_part_and_may_omit_the_dollar():
    text = 'extern $e; extern $n; SELECT $n FROM $e : "E";'
    got = brix.explain(text, externs={"e": "[MATH 3510, SELECT 1 FROM TAG(\"t\")]", "$n": "1"})
    assert got == (
        "Take 1 ($n) of the following. (E)\n"
        "- MATH 3510 (from the e list ($e)).\n"
        "- Take 1 course tagged \"t\". (from the e list ($e))\n"
    )


def test_empty_file():
    assert brix.explain("// nothing yet\n") == "No requirements.\n"


@pytest.mark.parametrize(
    "text, externs, message",
    [
        ('SELECT 0 FROM MATH 1210 : "x";', None, "cannot select zero"),
        ('extern $e; SELECT 1 FROM $e : "x";', {"e": "[XXXX 1000]"}, "XXXX"),
    ],
)
def test_errors_are_the_parser_reports(text, externs, message):
    with pytest.raises(ValueError, match=message):
        brix.explain(text, externs=externs)


def test_version():
    import rediriziv

    assert brix.__version__ == rediriziv.parse("").version()
