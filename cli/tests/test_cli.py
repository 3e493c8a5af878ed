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
SYNTAX_TEXT = r""" --> major.brix:1:15
  |
1 | SELECT 1 FROM CSCI 1010 "Intro";
  |               ^---
  |
  = expected variable, XYZ, selector_list, or statement
"""

# No entry of this chain points into the file, so the path leads the first line.
TOO_LARGE = 'SELECT 70000 FROM CSCI 1010 : "Intro";\n'
TOO_LARGE_TEXT = r"""major.brix: failed parsing quantity

Caused by:
    0: selection could not fit as u16
    1: number too large to fit in target type
"""

MISSING_EXTERN = 'extern $electives;\nSELECT 1 FROM $electives : "Electives";\n'


@pytest.mark.parametrize(
    "source, stderr",
    [(ZERO, ZERO_TEXT), (SYNTAX, SYNTAX_TEXT), (TOO_LARGE, TOO_LARGE_TEXT)],
    ids=["in-a-cause", "report-alone", "no-position"],
)
def test_error_reports_name_the_file(brix, files, source, stderr):
    files({"major.brix": source})
    assert brix("major.brix") == (1, "", stderr)


@pytest.mark.parametrize(
    "args, stdout",
    [
        ([], VALID_JSON + "\n"),
        (["--pretty"], json.dumps(json.loads(VALID_JSON), indent=2) + "\n"),
        (
            ["--debug"],
            'ParseResult { parsed_brix_file: BRIXQueryFile { version: "0.1.12", requirements: '
            "[BRIXRequirement { query: BRIXQuery { quantity: Single(1), type: Select, selector: "
            '[Class(Class { department_id: "CSCI", course_number: 1010, lab: false })] }, '
            'description: "Intro", priority: 1 }] } }\n',
        ),
    ],
    ids=["compact", "pretty", "debug"],
)
def test_output_formats(brix, files, args, stdout):
    files({"major.brix": VALID})
    assert brix(*args, "major.brix") == (0, stdout, "")


def test_several_files_keep_going_after_errors_and_report_the_worst_status(brix, files):
    files({"a.brix": VALID, "b.brix": ZERO, "c.brix": VALID})
    b_text = ZERO_TEXT.replace("major.brix", "b.brix")
    assert brix("a.brix", "b.brix", "c.brix") == (1, VALID_JSON + "\n" + VALID_JSON + "\n", b_text)
    missing = "brix: cannot read 'missing.brix': No such file or directory\n"
    assert brix("a.brix", "missing.brix", "b.brix") == (2, VALID_JSON + "\n", missing + b_text)


@pytest.mark.parametrize(
    "content, message",
    [
        (b"SELECT 1\n  \xff", "invalid UTF-8 at line 2, column 3 (byte 11)"),
        (b"\xc0\x80", "invalid UTF-8 at line 1, column 1 (byte 0)"),
        # Columns count characters, not bytes.
        (b"//\xc3\xa9\x80", "invalid UTF-8 at line 1, column 4 (byte 4)"),
    ],
)
def test_invalid_utf8_is_an_input_error(brix, files, content, message):
    files({"bad.brix": content})
    assert brix("bad.brix") == (2, "", f"brix: cannot read 'bad.brix': {message}\n")


def test_valid_multibyte_text_passes(brix, files):
    files({"econ.brix": 'SELECT 1 FROM ECON 1010 : "Économie — 経済";\n'})
    status, out, _ = brix("econ.brix")
    assert status == 0
    assert json.loads(out)["requirements"][0]["description"] == "Économie — 経済"


def test_unreadable_inputs(brix, files):
    (files({}) / "majors").mkdir()
    assert brix("majors") == (2, "", "brix: cannot read 'majors': Is a directory\n")
    assert brix("x.brix") == (2, "", "brix: cannot read 'x.brix': No such file or directory\n")


@pytest.mark.parametrize(
    "args, message",
    [
        ([], "no input FILE given (see 'brix --help')"),
        (["check"], "'brix check' needs at least one FILE (see 'brix --help')"),
        (["value"], "'brix value' needs at least one TEXT (see 'brix --help')"),
        (["--frobnicate", "a.brix"], "unknown option '--frobnicate' (see 'brix --help')"),
        (["-pretty", "a.brix"], "unknown option '-pretty' (see 'brix --help')"),
        (["--pretty", "--debug", "a.brix"], "--pretty and --debug cannot be used together"),
        (["--pretty=yes", "a.brix"], "option '--pretty' takes no value"),
        (["check", "-j", "0", "a.brix"], "invalid value '0' for -j (expected a positive whole number)"),
        (["check", "--jobs=x", "a.brix"], "invalid value 'x' for --jobs (expected a positive whole number)"),
        (["--error-format", "xml", "a.brix"], "invalid value 'xml' for --error-format (expected 'text' or 'json')"),
        (["--color=sometimes", "a.brix"], "invalid value 'sometimes' for --color (expected 'auto', 'always' or 'never')"),
        (["a.brix", "--extern"], "option '--extern' needs a value"),
    ],
)
def test_usage_errors(brix, files, args, message):
    files({"a.brix": VALID})
    assert brix(*args) == (2, "", f"brix: {message}\n")


def test_double_dash_ends_options(brix, files):
    files({"-odd.brix": VALID})
    assert brix("--", "-odd.brix") == (0, VALID_JSON + "\n", "")


def test_version_and_help(brix):
    assert brix("--version") == (0, "brix 0.1.12\n", "")
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
    bad = "brix: cannot read '<stdin>': invalid UTF-8 at line 1, column 1 (byte 0)\n"
    assert brix("-", stdin=b"\xff") == (2, "", bad)


@pytest.mark.parametrize(
    "source, expected",
    [
        (ZERO, {"file": "major.brix", "line": 2, "column": 8, "end_line": 2, "end_column": 9,
                "message": "failed parsing quantity", "causes": ["cannot select zero"]}),
        (MISSING_EXTERN, {"file": "major.brix", "line": 1, "column": 8, "end_line": 1, "end_column": 18,
                          "message": "extern variable `$electives` was declared but not provided by the caller",
                          "causes": []}),
        (TOO_LARGE, {"file": "major.brix", "message": "failed parsing quantity",
                     "causes": ["selection could not fit as u16", "number too large to fit in target type"]}),
        (SYNTAX, {"file": "major.brix", "line": 1, "column": 15,
                  "message": "expected variable, XYZ, selector_list, or statement", "causes": []}),
    ],
    ids=["span-in-cause", "span", "no-position", "position"],
)
def test_json_error_format(brix, files, source, expected):
    files({"major.brix": source})
    status, out, err = brix("--error-format", "json", "major.brix")
    assert (status, out) == (1, "")
    assert err.endswith("\n") and err.count("\n") == 1
    # Keys come in a fixed order, so scripts may also read the line as text.
    assert list(json.loads(err).items()) == list(expected.items())


def test_json_error_format_escapes_the_path(brix, files):
    files({'say "hi".brix': ZERO})
    _, _, err = brix("--error-format", "json", 'say "hi".brix')
    assert err.startswith('{"file":"say \\"hi\\".brix","line":2,')


def test_check_reports_every_file_in_input_order(brix, files):
    files({"a.brix": VALID, "b.brix": ZERO, "c.brix": VALID, "d.brix": TOO_LARGE})
    status, out, err = brix("check", "-j", "3", "a.brix", "b.brix", "nope.brix", "c.brix", "d.brix")
    assert status == 2
    assert out == "a.brix: ok\nc.brix: ok\n"
    assert err == (
        ZERO_TEXT.replace("major.brix", "b.brix")
        + "brix: cannot read 'nope.brix': No such file or directory\n"
        + TOO_LARGE_TEXT.replace("major.brix", "d.brix")
    )
    assert brix("check", "-q", "a.brix", "c.brix") == (0, "", "")
    assert brix("check", "a.brix", "b.brix")[0] == 1


def test_check_many_files_on_several_threads_keeps_input_order(brix, files):
    named = {f"f{i:03}.brix": (VALID if i % 3 else TOO_LARGE) for i in range(120)}
    files(named)
    status, out, err = brix("check", "--jobs=4", *named)
    assert status == 1
    assert out.splitlines() == [f"{n}: ok" for n in named if named[n] == VALID]
    failed = [line.split(":")[0] for line in err.splitlines() if line.endswith("failed parsing quantity")]
    assert failed == [n for n in named if named[n] == TOO_LARGE]


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
    chunks = []
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:  # the terminal's other end is closed
            break
        if not chunk:
            break
        chunks.append(chunk)
    os.close(leader)
    err = b"".join(chunks).decode()
    assert "cannot select zero" in err
    assert ("\x1b[" in err) == coloured


def test_value_shows_the_diagnostic_text_of_each_value(brix):
    assert brix("value", '"Two ""core"" courses"') == (0, 'String("Two \\"core\\" courses")\n', "")
    expected = " --> 1:1\n  |\n1 | 0\n  | ^\n  |\n  = cannot assign zero as a quantity\n"
    assert brix("value", "0") == (1, "", expected)
    status, out, err = brix("value", "3", "0", "CSCI 1010")
    assert (status, err) == (1, expected)
    assert out == 'Quantity(Single(3))\nClass(Class { department_id: "CSCI", course_number: 1010, lab: false })\n'
