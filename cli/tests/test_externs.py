"""Extern values from --extern and --externs-file."""

import json

import pytest

USES_EXTERN = 'extern $electives;\nSELECT 1 FROM $electives : "Electives";\n'
# Spaces around the name and the value are trimmed; comments and blank lines skipped.
EXTERNS_FILE = "# Approved electives, fall term.\n\n  electives = [CSCI 3100, MATH 3510]\n"
FILES = {
    "major.brix": USES_EXTERN,
    "major.externs": EXTERNS_FILE,
    "crlf.externs": EXTERNS_FILE.replace("\n", "\r\n"),
    "bad.externs": "# ok so far\nelectives = CSCI 3100\nCSCI 3200\n",
    "name.externs": "my electives = CSCI 3100\n",
    "zero.externs": "electives = 0\n",
}


def course(number, dept="CSCI", lab=False):
    return {"Class": {"department_id": dept, "course_number": number, "lab": lab}}


FROM_FILE = [course(3100), course(3510, dept="MATH")]


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
        (["--externs-file", "major.externs"], FROM_FILE),
        (["--externs-file", "crlf.externs"], FROM_FILE),
        (["--externs-file", "major.externs", "-x", "electives=CSCI 4000"], [course(4000)]),
        (["-x", "electives=CSCI 4000", "--externs-file", "major.externs"], FROM_FILE),
    ],
    ids=["list", "dollar", "equals-form", "short-joined", "later-wins", "unused", "file", "crlf-file",
         "extern-after-file", "file-after-extern"],
)
def test_extern_values(brix, files, args, expected):
    files(FILES)
    status, out, err = brix(*args, "major.brix")
    assert (status, err) == (0, "")
    assert json.loads(out)["requirements"][0]["query"]["selector"] == expected


@pytest.mark.parametrize(
    "args, message",
    [
        (["-x", "electives"], "--extern needs NAME=VALUE, got 'electives'"),
        (["-x", "3rd=1"], "invalid extern name '3rd' in --extern (a letter or _, then letters, digits or _)"),
        (["--externs-file", "none.externs"], "cannot read 'none.externs': No such file or directory"),
        (["--externs-file", "bad.externs"], "bad.externs:3: expected NAME=VALUE"),
        (["--externs-file", "name.externs"], "name.externs:1: invalid extern name 'my electives'"),
    ],
)
def test_malformed_extern_definitions_are_usage_errors(brix, files, args, message):
    files(FILES)
    assert brix(*args, "major.brix") == (2, "", f"brix: {message}\n")


def test_bad_extern_value_is_reported_like_the_python_module(brix, files):
    files(FILES)
    expected = (
        "Error parsing extern value for $electives:  --> 1:1\n"
        "  |\n1 | 0\n  | ^\n  |\n  = cannot assign zero as a quantity\n"
    )
    assert brix("-x", "electives=0", "major.brix") == (1, "", expected)
    assert brix("--externs-file", "zero.externs", "major.brix") == (1, "", expected)

    status, _, err = brix("--error-format=json", "--externs-file", "zero.externs", "major.brix")
    assert status == 1
    assert {k: v for k, v in json.loads(err).items() if k not in ("code", "severity", "spans", "help", "fixes")} == {
        "file": "zero.externs",
        "message": "Error parsing extern value for $electives",
        "causes": ["cannot assign zero as a quantity"],
    }
