"""Extern values from --extern and --externs-file."""

import json

import pytest

USES_EXTERN = 'extern $electives;\nSELECT 1 FROM $electives : "Electives";\n'


def selectors(out):
    return json.loads(out)["requirements"][0]["query"]["selector"]


def course(number, dept="CSCI", lab=False):
    return {"Class": {"department_id": dept, "course_number": number, "lab": lab}}


@pytest.mark.parametrize(
    "args, expected",
    [
        (["--extern", "electives=[CSCI 3100, CSCI 3200]"], [course(3100), course(3200)]),
        (["--extern", "$electives=CSCI 3100L"], [course(3100, lab=True)]),
        (["--extern=electives=TAG(\"CS elective\")"], [{"Tag": "CS elective"}]),
        (["-xelectives=CSCI 3100"], [course(3100)]),
        (["-x", "electives=CSCI 3100", "-x", "electives=CSCI 3200"], [course(3200)]),
        # Names the file does not declare are ignored.
        (["-x", "electives=CSCI 3100", "-x", "unused=3"], [course(3100)]),
    ],
    ids=["list", "dollar", "equals-form", "short-joined", "later-wins", "unused"],
)
def test_extern_values(brix, files, args, expected):
    files({"major.brix": USES_EXTERN})
    status, out, err = brix(*args, "major.brix")
    assert (status, err) == (0, "")
    assert selectors(out) == expected


EXTERNS_FILE = """\
# Approved electives, fall term.

  electives = [CSCI 3100, MATH 3510]
$count=2
"""


def test_externs_file_with_comments_blank_lines_and_spaces(brix, files):
    files({
        "major.brix": 'extern $electives;\nextern $count;\nSELECT $count FROM $electives : "E";\n',
        "major.externs": EXTERNS_FILE,
        "crlf.externs": EXTERNS_FILE.replace("\n", "\r\n"),
    })
    for externs in ("major.externs", "crlf.externs"):
        status, out, err = brix("--externs-file", externs, "major.brix")
        assert (status, err) == (0, "")
        query = json.loads(out)["requirements"][0]["query"]
        assert query["quantity"] == {"Single": 2}
        assert query["selector"] == [course(3100), course(3510, dept="MATH")]

    # A later --extern replaces the file's value, and the reverse order too.
    _, out, _ = brix("--externs-file", "major.externs", "-x", "electives=CSCI 4000", "major.brix")
    assert selectors(out) == [course(4000)]
    _, out, _ = brix("-x", "electives=CSCI 4000", "--externs-file", "major.externs", "major.brix")
    assert selectors(out) == [course(3100), course(3510, dept="MATH")]


@pytest.mark.parametrize(
    "args, message",
    [
        (["-x", "electives"], "--extern needs NAME=VALUE, got 'electives'"),
        (["-x", "3rd=1"], "invalid extern name '3rd' in --extern (a letter or _, then letters, digits or _)"),
        (["-x", "$=1"], "invalid extern name '$' in --extern (a letter or _, then letters, digits or _)"),
        (["--externs-file", "none.externs"], "cannot read 'none.externs': No such file or directory"),
        (["--externs-file", "bad.externs"], "bad.externs:3: expected NAME=VALUE"),
        (["--externs-file", "name.externs"], "name.externs:1: invalid extern name 'my electives'"),
    ],
)
def test_malformed_extern_definitions_are_usage_errors(brix, files, args, message):
    files({
        "major.brix": USES_EXTERN,
        "bad.externs": "# ok so far\nelectives = CSCI 3100\nCSCI 3200\n",
        "name.externs": "my electives = CSCI 3100\n",
    })
    assert brix(*args, "major.brix") == (2, "", f"brix: {message}\n")


def test_bad_extern_value_is_reported_like_the_python_module(brix, files):
    files({"major.brix": USES_EXTERN, "zero.externs": "electives = 0\n"})
    expected = (
        "Error parsing extern value for $electives:  --> 1:1\n"
        "  |\n1 | 0\n  | ^\n  |\n  = cannot assign zero as a quantity\n"
    )
    assert brix("-x", "electives=0", "major.brix") == (1, "", expected)
    assert brix("--externs-file", "zero.externs", "major.brix") == (1, "", expected)

    status, _, err = brix("--error-format=json", "--externs-file", "zero.externs", "major.brix")
    assert status == 1
    assert json.loads(err) == {
        "file": "zero.externs",
        "message": "Error parsing extern value for $electives",
        "causes": ["cannot assign zero as a quantity"],
    }
