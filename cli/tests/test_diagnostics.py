"""brix lint/check --error-format json: slips get help and a fix that makes the file parse; warnings."""

import json

import pytest


def diagnostics(brix, files, text, *args):
    files({"f.brix": text})
    status, out, err = brix("lint", "--error-format", "json", *args, "f.brix")
    return status, [json.loads(line) for line in err.splitlines()]


def apply(text, fixes):
    data = text.encode()
    for fix in sorted(fixes, key=lambda f: f["span"]["start"], reverse=True):
        data = data[: fix["span"]["start"]] + fix["replacement"].encode() + data[fix["span"]["end"]:]
    return data.decode()


# Slip text, (line, column) of the slip, words the help must hold.
SLIPS = {
    "missing ;": ('SELECT 1 FROM CSCI 1010 : "a"\nSELECT 1 FROM CSCI 1020 : "b";\n', (1, 30), "`;`"),
    "missing ; after a list": ('SELECT 1 FROM [CSCI 1010, CSCI 1020] : "a"\nSELECT 1 FROM CSCI 1010 : "b";\n', (1, 43), "after `\"` on line 1"),
    "nested description": ('SELECT 2 FROM [SELECT 1 FROM CSCI 1010 : "x", CSCI 1020] : "y";\n', (1, 40), "top-level"),
    "assignment without ;": ('$count = 2\nSELECT $count FROM CSCI 1010 : "a";\n', (1, 11), "`;`"),
    "department": ('SELECT 1 FROM CSXI 1010 : "a";\n', (1, 15), "`CSCI`"),
    "function": ('SELECT 1 FROM TAGG("x") : "a";\n', (1, 15), "`TAG`"),
}


@pytest.mark.parametrize("text, at, words", SLIPS.values(), ids=SLIPS.keys())
def test_slip_has_help_a_caret_on_it_and_a_fix_that_parses(brix, files, text, at, words):
    status, found = diagnostics(brix, files, text)
    assert status == 1
    first = found[0]
    assert first["severity"] == "error" and words in first["help"]
    label = [s for s in first["spans"] if not s["primary"]][0]
    assert (label["line"], label["column"]) == at
    fixed = apply(text, first["fixes"])
    files({"fixed.brix": fixed})
    assert brix("check", "fixed.brix")[0] == 0, fixed


# Warning code, a text that triggers it, a text that must not.
WARNINGS = {
    "W0202": ('SELECT 1 FROM RANGE(MATH 4999, MATH 3000) : "a";\n', 'SELECT 1 FROM RANGE(MATH 3000, MATH 4999) : "a";\n'),
    "W0203": ('SELECT 1 FROM RANGE(MATH 3000, CSCI 4000) : "a";\n', 'SELECT 1 FROM RANGE(CSCI 3000, CSCI 4000) : "a";\n'),
    "W0207": ('$c = CSCI 1010;\n$c = CSCI 1020;\nSELECT 1 FROM $c : "a";\n',
              '$c = CSCI 1010;\nSELECT 1 FROM $c : "a";\n$c = CSCI 1020;\nSELECT 1 FROM $c : "b";\n'),
    "W0208": ('LIMIT 2 FROM [CSCI 1010, CSCI 1020] : "a";\n', 'LIMIT 1 FROM [CSCI 1010, CSCI 1020] : "a";\n'),
}


@pytest.mark.parametrize("code, texts", WARNINGS.items(), ids=WARNINGS.keys())
def test_warning_rows(brix, files, code, texts):
    hit, miss = texts
    status, found = diagnostics(brix, files, hit)
    assert status == 0 and code in [d["code"] for d in found]
    assert code not in [d["code"] for d in diagnostics(brix, files, miss)[1]]
    # Silenced by the comment above, by -A, and failing with --deny-warnings.
    if hit.count("\n") == 1:
        assert code not in [d["code"] for d in diagnostics(brix, files, f"// brix: allow({code})\n" + hit)[1]]
    assert code not in [d["code"] for d in diagnostics(brix, files, hit, "-A", code)[1]]
    assert diagnostics(brix, files, hit, "--deny-warnings")[0] == 1


RUNS = {
    "options after the subcommand": (["check", "a.brix", "--color", "never"], 0),
    "options before it": (["--color", "never", "check", "a.brix"], 0),
    "a directory, worst status": (["check", "."], 2),
    "stdin twice": (["check", "-", "-"], 2),
    "spaces around =": (["-x", "n = 2", "a.brix"], 0),
    "byte-order mark": (["check", "bom.brix"], 0),
    "bare CR": (["check", "cr.brix"], 2),
    "catalog knows ABCD": (["--catalog", "cat.txt", "check", "abcd.brix"], 0),
    "catalog listed twice": (["--catalog", "twice.txt", "check", "a.brix"], 2),
}


@pytest.mark.parametrize("args, status", RUNS.values(), ids=RUNS.keys())
def test_command_runs(brix, files, args, status):
    files({"a.brix": 'SELECT 1 FROM CSCI 1010 : "a";\n', "b.brix": "SELECT 0;",
           "bom.brix": b'\xef\xbb\xbfSELECT 1 FROM CSCI 1010 : "a";\n',
           "cr.brix": b'// old Mac\rSELECT 1 FROM CSCI 1010 : "a";\r',
           "abcd.brix": 'SELECT 1 FROM ABCD 1010 : "a";\n', "cat.txt": "ABCD\nMATH\n", "twice.txt": "ABCD\nABCD\n"})
    assert brix(*args)[0] == status


def test_usage_errors_and_read_errors_in_json(brix, files):
    files({"cr.brix": b"// x\rSELECT 1;\r"})
    status, _, err = brix("--error-format", "json", "check", "-", "-")
    assert status == 2 and json.loads(err)["code"] == "E0505"
    status, _, err = brix("--error-format", "json", "check", "cr.brix")
    assert status == 2 and json.loads(err)["code"] == "E0502" and "carriage return" in json.loads(err)["message"]


# What a registrar sees for a warning: a heading with the code over the
# report, the message said once, and the slip marked with what is wrong there.
# (An error's heading over the library's report is pinned by test_cli.)
REVERSED = 'SELECT 1 FROM RANGE(MATH 4999, MATH 3000) : "x";\n'
REVERSED_SEEN = """\
warning[W0202]: a RANGE whose first course comes after its second
 --> f.brix:1:15
  |
1 | SELECT 1 FROM RANGE(MATH 4999, MATH 3000) : "x";
  |               ^-------------------------^
  |
  = this range starts after it ends, so it holds no course
 --> f.brix:1:21
  |
1 | SELECT 1 FROM RANGE(MATH 4999, MATH 3000) : "x";
  |                     ^^^^^^^^^^^^^^^^^^^^ reversed
  |
  = help: swap the two courses
"""


def test_what_a_registrar_sees(brix, files):
    files({"f.brix": REVERSED})
    assert brix("lint", "f.brix") == (0, "1 file: 1 ok, 0 with errors, 1 warning\n", "f.brix:\n" + REVERSED_SEEN + "\n")
