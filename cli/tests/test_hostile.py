"""Input made to hurt, through the command: a document, or a report with status
1, never a crash, a hang or a memory blow-up. The library's tests pin the
reports' texts; these check that the command passes bytes and reports through
whole, with the file's path."""

import pytest


# NULs reach the library, and its answer reaches the streams, unshortened.
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
    ],
    ids=["NUL in a description", "NUL between words"],
)
def test_nul_characters(brix, files, content, status, out, err):
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
