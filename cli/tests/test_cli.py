"""The brix command: output formats, error reports, exit statuses, input problems."""

# The library's own texts (messages, JSON layout) are pinned by its tests; these
# check what the command adds: the path, the streams, the statuses, the options.

import json
import os
import pty
import re
import subprocess

import pytest

VALID = 'SELECT 1 FROM CSCI 1010 : "Intro";\n'
VALID_JSON = (
    '{"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select",'
    '"selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},'
    '"description":"Intro","priority":1}]}'
)

ZERO = '$x = 1;\nSELECT 0 FROM CSCI 1010 : "Intro";\n'
ZERO_TEXT = r"""failed parsing quantity

Caused by:
     --> major.brix:2:8
      |
    2 | SELECT 0 FROM CSCI 1010 : "Intro";
      |        ^
      |
      = cannot select zero
"""

SYNTAX = 'SELECT 1 FROM CSCI 1010 "Intro";\n'
SYNTAX_TEXT = r""" --> syntax.brix:1:15
  |
1 | SELECT 1 FROM CSCI 1010 "Intro";
  |               ^---
  |
  = expected variable, XYZ, selector_list, or statement
"""

# No entry of this chain points into the file, so the path leads the first line.
TOO_LARGE = 'SELECT 70000 FROM CSCI 1010 : "Intro";\n'
TOO_LARGE_TEXT = r"""large.brix: failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type
"""

FILES = {
    "major.brix": ZERO,
    "syntax.brix": SYNTAX,
    "large.brix": TOO_LARGE,
    "a.brix": VALID,
    "-odd.brix": VALID,
    "econ.brix": 'SELECT 1 FROM ECON 1010 : "Économie — 経済 🎓";\n',
    "bad-line2.brix": b"SELECT 1\n  \xff",
    # Columns count characters, not bytes.
    "after-e.brix": b"//\xc3\xa9\x80",
}


def cannot_read(name, reason):
    return 2, "", f"brix: cannot read '{name}': {reason}\n"


def usage(message):
    return 2, "", f"brix: {message}\n"


ECON_JSON = VALID_JSON.replace("CSCI", "ECON").replace("Intro", "Économie — 経済 🎓")
DEBUG_TEXT = (
    'ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: '
    "[BRIXRequirement { query: BRIXQuery { quantity: Single(1), type: Select, selector: "
    '[Class(Class { department_id: "CSCI", course_number: 1010, lab: false })] }, '
    'description: "Intro", priority: 1 }] } }\n'
)
CLASS_VALUE = 'Class(Class { department_id: "CSCI", course_number: 1010, lab: false })\n'
VALUE_ZERO = " --> 1:1\n  |\n1 | 0\n  | ^\n  |\n  = cannot assign zero as a quantity\n"

# Arguments, then (status, stdout, stderr).
RUNS = {
    "report in a cause": (["major.brix"], (1, "", ZERO_TEXT)),
    "report alone": (["syntax.brix"], (1, "", SYNTAX_TEXT)),
    "no position": (["large.brix"], (1, "", TOO_LARGE_TEXT)),
    "compact": (["a.brix"], (0, VALID_JSON + "\n", "")),
    "pretty": (["--pretty", "a.brix"], (0, json.dumps(json.loads(VALID_JSON), indent=2) + "\n", "")),
    "debug": (["--debug", "a.brix"], (0, DEBUG_TEXT, "")),
    "multibyte text": (["econ.brix"], (0, ECON_JSON + "\n", "")),
    "bad byte": (["bad-line2.brix"], cannot_read("bad-line2.brix", "invalid UTF-8 at line 2, column 3 (byte 11)")),
    "after é": (["after-e.brix"], cannot_read("after-e.brix", "invalid UTF-8 at line 1, column 4 (byte 4)")),
    "directory": (["."], cannot_read(".", "Is a directory")),
    "missing": (["x.brix"], cannot_read("x.brix", "No such file or directory")),
    "-- ends options": (["--", "-odd.brix"], (0, VALID_JSON + "\n", "")),
    "version": (["--version"], (0, "brix 0.1.12\n", "")),
    "value": (["value", '"Two ""core"" courses"'], (0, 'String("Two \\"core\\" courses")\n', "")),
    "values, one bad": (["value", "3", "0", "CSCI 1010"], (1, "Quantity(Single(3))\n" + CLASS_VALUE, VALUE_ZERO)),
    "no input": ([], usage("no input FILE given (see 'brix --help')")),
    "check without files": (["check"], usage("'brix check' needs at least one FILE (see 'brix --help')")),
    "value without texts": (["value"], usage("'brix value' needs at least one TEXT (see 'brix --help')")),
    "unknown long": (["--frobnicate", "a.brix"], usage("unknown option '--frobnicate' (see 'brix --help')")),
    "long with one dash": (["-pretty", "a.brix"], usage("unknown option '-pretty' (see 'brix --help')")),
    "pretty and debug": (["--pretty", "--debug", "a.brix"], usage("--pretty and --debug cannot be used together")),
    "no jobs": (["check", "-j", "0", "a.brix"], usage("invalid value '0' for --jobs (expected a positive whole number)")),
    "error format": (["--error-format", "xml", "a.brix"], usage("invalid value 'xml' for --error-format (expected 'text' or 'json')")),
    "colour": (["--color=sometimes", "a.brix"], usage("invalid value 'sometimes' for --color (expected 'auto', 'always' or 'never')")),
    "value missing": (["a.brix", "--extern"], usage("option '--extern' needs a value")),
}


@pytest.mark.parametrize("args, expected", RUNS.values(), ids=RUNS.keys())
def test_runs(brix, files, args, expected):
    files(FILES)
    assert brix(*args) == expected


def test_help(brix):
    status, out, err = brix("check", "--help")
    assert (status, err) == (0, "")
    assert out.startswith("brix: check BRIX requirement files")
    for option in ("--pretty", "--debug", "--extern", "--externs-file", "--error-format", "--jobs"):
        assert option in out


def test_standard_input(brix, files):
    files({})
    assert brix("-", stdin=VALID) == (0, VALID_JSON + "\n", "")
    assert brix("-", stdin=ZERO) == (1, "", ZERO_TEXT.replace("major.brix", "<stdin>"))
    named = ZERO_TEXT.replace("major.brix", "majors/cs.brix")
    assert brix("--stdin-filename", "majors/cs.brix", "-", stdin=ZERO) == (1, "", named)
    assert brix("-", stdin=b"\xff") == cannot_read("<stdin>", "invalid UTF-8 at line 1, column 1 (byte 0)")


@pytest.mark.parametrize(
    "source, expected",
    [
        # The path is escaped as JSON.
        (ZERO, {"file": 'say "hi".brix', "line": 2, "column": 8, "end_line": 2, "end_column": 9,
                "message": "failed parsing quantity", "causes": ["cannot select zero"]}),
        (TOO_LARGE, {"file": "major.brix", "message": "failed parsing quantity",
                     "causes": ["selection could not fit as u16", "number too large to fit in target type"]}),
    ],
    ids=["span-in-cause", "no-position"],
)
def test_json_error_format(brix, files, source, expected):
    files({expected["file"]: source})
    status, out, err = brix("--error-format", "json", expected["file"])
    assert (status, out) == (1, "")
    assert err.endswith("\n") and err.count("\n") == 1
    # Keys come in a fixed order, so scripts may also read the line as text.
    # The keys come first in a fixed order; the code, severity, spans, help
    # and fixes follow.
    got = json.loads(err)
    assert list(got.items())[: len(expected)] == list(expected.items())
    assert list(got)[len(expected):] == ["code", "severity", "spans", "help", "fixes"]


def test_check_reports_every_file_in_input_order_with_the_worst_status(brix, files):
    files(FILES)
    status, out, err = brix("check", "-j", "3", "a.brix", "major.brix", "nope.brix", "econ.brix", "large.brix")
    assert status == 2
    assert out == "a.brix: ok\necon.brix: ok\n5 files: 2 ok, 3 with errors, 0 warnings\n"
    # A heading with the code over the library's report, which stays exactly
    # the library's text (the file's name is in the heading above it).
    assert err == ("major.brix:\nerror[E0201]: a count of zero\n" + ZERO_TEXT
                   + "\nbrix: cannot read 'nope.brix': No such file or directory\n"
                   + "large.brix:\nerror[E0204]: a number too large (counts and priorities go up to 65535)\n"
                   + TOO_LARGE_TEXT.removeprefix("large.brix: ")
                   + " --> large.brix:1:8\n  |\n1 | SELECT 70000 FROM CSCI 1010 : \"Intro\";\n"
                   "  |        ^^^^^ too large\n  |\n  = help: counts and priorities are whole numbers from 1 to 65535\n\n")
    assert brix("check", "-q", "a.brix", "econ.brix") == (0, "", "")
    assert brix("check", "a.brix", "major.brix")[0] == 1


def test_many_documents_are_printed_whole_and_in_input_order(brix, files):
    # Larger and smaller documents alternate with errors, so that a document
    # written over what an earlier one left would show.
    one = VALID_JSON[len('{"version":"0.1.12","requirements":[') : -len("]}")]
    counts = [(i * 7) % 40 if i % 5 else None for i in range(60)]
    named = {f"f{i:02}.brix": ZERO if n is None else VALID * n for i, n in enumerate(counts)}
    files(named)
    for jobs in ("1", "4"):
        status, out, err = brix("--jobs", jobs, *named)
        assert status == 1
        assert out.splitlines() == [
            '{"version":"0.1.12","requirements":[' + ",".join([one] * n) + "]}"
            for n in counts
            if n is not None
        ]
        assert err == "".join(ZERO_TEXT.replace("major.brix", name) for name in named if named[name] == ZERO)


def test_colour_decorates_without_changing_the_text(brix, files):
    files({"major.brix": ZERO})
    status, _, err = brix("--color=always", "major.brix")
    assert status == 1
    assert "\x1b[1;31m^\x1b[0m" in err
    assert "\x1b[1mcannot select zero\x1b[0m" in err
    # The source line itself is never coloured.
    assert '    \x1b[1;34m2 |\x1b[0m SELECT 0 FROM CSCI 1010 : "Intro";\n' in err
    assert re.sub(r"\x1b\[[0-9;]*m", "", err) == ZERO_TEXT
    assert brix("--color=always", "--error-format=json", "major.brix")[2].count("\x1b") == 0


@pytest.mark.parametrize(
    "args, env, coloured",
    [([], {}, True), ([], {"NO_COLOR": "1"}, False), (["--color=never"], {}, False),
     (["--color=always"], {"NO_COLOR": "1"}, True)],
)
def test_colour_only_on_a_terminal_without_no_color(brix, files, args, env, coloured):
    files({"major.brix": ZERO})
    leader, follower = pty.openpty()
    full_env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
    subprocess.run([str(brix.binary), *args, "major.brix"], stdout=subprocess.DEVNULL,
                   stderr=follower, env={**full_env, **env}, timeout=60)
    os.close(follower)
    err = b""
    try:
        while chunk := os.read(leader, 4096):
            err += chunk
    except OSError:  # the terminal's other end is closed
        pass
    os.close(leader)
    assert b"cannot select zero" in err
    assert (b"\x1b[" in err) == coloured
