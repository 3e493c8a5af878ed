"""Input made to hurt, through the command: a document or a clear error, never a
crash, a hang or a memory blow-up."""

import pytest

TOO_MANY = (
    "variable `$a` expands the document beyond 1048576 selectors; "
    "a file may copy at most that many selectors out of its variables"
)
TOO_DEEP = "variable `$a` nests queries too deeply (the limit is 256 levels)"


def last_line(text):
    return text.rstrip("\n").rsplit("\n", 1)[-1].strip()


@pytest.mark.parametrize(
    "source, arrow, message",
    [
        (
            "$a = [CSCI 1010];\n" + "$a = [$a, $a];\n" * 40 + 'SELECT 1 FROM $a : "x";\n',
            "--> major.brix:21:7",
            "= " + TOO_MANY,
        ),
        (
            "$a = [CSCI 1010];\n" + "$a = [SELECT 1 FROM $a];\n" * 100_000,
            "--> major.brix:258:21",
            "= " + TOO_DEEP,
        ),
    ],
    ids=["doubling forty times", "deepening a hundred thousand times"],
)
def test_copying_variables_ends_in_a_report(brix, files, source, arrow, message):
    files({"major.brix": source})
    status, out, err = brix("major.brix")
    assert (status, out) == (1, "")
    assert arrow in err
    assert last_line(err) == message


def test_doubling_through_an_extern(brix, files):
    # The extern holds 2^19 + 1 selectors; declaring it twice copies it twice.
    value = "[" + ", ".join(["CSCI 1010"] * (2**19 + 1)) + "]"
    files({"major.brix": "extern $big;\nextern $big;\n", "big.externs": "big = " + value + "\n"})
    status, out, err = brix("--externs-file", "big.externs", "major.brix")
    assert (status, out) == (1, "")
    assert "--> major.brix:2:8" in err
    assert last_line(err) == "= " + TOO_MANY.replace("$a", "$big")


def test_deep_extern_value_is_a_syntax_error(brix):
    # One argument may be at most 128 KiB long.
    text = "[" + "SELECT 1 FROM " * 9000 + "CSCI 1010]"
    status, out, err = brix("value", text)
    assert (status, out) == (1, "")
    assert err.startswith(" --> 1:3572\n")
    assert last_line(err) == "= queries and selector lists nest too deeply (the limit is 256 levels)"


@pytest.mark.parametrize(
    "content, status, out, err",
    [
        (
            b'SELECT 1 FROM CSCI 1010 : "a\0b";',
            0,
            '{"version":"0.1.12","requirements":[{"query":{"quantity":{"Single":1},"type":"Select",'
            '"selector":[{"Class":{"department_id":"CSCI","course_number":1010,"lab":false}}]},'
            '"description":"a\\u0000b","priority":1}]}\n',
            "",
        ),
        (
            b"SELECT 1\0 FROM CSCI 1010;",
            1,
            "",
            " --> major.brix:1:9\n  |\n1 | SELECT 1\0 FROM CSCI 1010;\n  |         ^---\n  |\n"
            "  = expected from\n",
        ),
        # A lone carriage return ends no line.
        (
            b'$a = CSCI 1010;\rSELECT 1 FROM $b : "d";\r',
            1,
            "",
            "failed parsing selector\n\nCaused by:\n     --> major.brix:1:31\n      |\n"
            '    1 | $a = CSCI 1010;SELECT 1 FROM $b : "d";\n      |                               ^^\n'
            "      |\n      = undefined variable `$b`\n",
        ),
    ],
    ids=["NUL in a description", "NUL between words", "carriage returns only"],
)
def test_control_characters(brix, files, content, status, out, err):
    files({"major.brix": content})
    assert brix("major.brix") == (status, out, err)


@pytest.mark.parametrize(
    "args, err",
    [
        (["value", b"TAG(\"\xff\")"], "input is not valid UTF-8: invalid byte at offset 5\n"),
        (
            ["-x", b"a=\xc0\x80", "major.brix"],
            "Error parsing extern value for $a: input is not valid UTF-8: invalid byte at offset 0\n",
        ),
    ],
    ids=["value", "extern"],
)
def test_invalid_utf8_arguments(brix, files, args, err):
    files({"major.brix": "extern $a;"})
    assert brix(*args) == (1, "", err)


def test_ten_megabyte_line(brix, files):
    description = "x" * 10_000_000
    files({"major.brix": 'SELECT 1 FROM CSCI 1010 : "' + description + '";'})
    status, out, err = brix("major.brix")
    assert (status, err) == (0, "")
    assert out.endswith('"description":"' + description + '","priority":1}]}\n')
