"""Every example of docs/language.md, run through the real brix command.

Fenced blocks of the guide, by their info string:
  brix                  must be valid; a ```json block right after it is its
                        exact `brix --pretty` output
  brix-error [NAME]     must fail; the ```text block right after it is its exact
                        error output (the file is called NAME, default major.brix)
  brix-externs          an externs file used by the next brix or brix-error block
  console               "$ brix ..." lines, each followed by its exact output
"""

import re
import shlex

import pytest

from conftest import ROOT

GUIDE = ROOT / "docs" / "language.md"
FENCE = re.compile(r"^```([^\n`]*)\n(.*?)^```$", re.MULTILINE | re.DOTALL)


def blocks():
    text = GUIDE.read_text(encoding="utf-8")
    for match in FENCE.finditer(text):
        line = text.count("\n", 0, match.start()) + 1
        info = match.group(1).split()
        yield line, (info[0] if info else ""), info[1:], match.group(2)


def cases():
    """pytest params of (source, file name, externs text or None, status, expected output or None)."""
    found = []
    items = list(blocks()) + [(None, None, None, None)]
    externs = None
    for (line, kind, args, body), (_, next_kind, _, next_body) in zip(items, items[1:]):
        if kind == "brix-externs":
            externs = body
        elif kind in ("brix", "brix-error"):
            failing = kind == "brix-error"
            assert not failing or next_kind == "text", f"line {line}: brix-error needs a text block after it"
            expected = next_body if next_kind == ("text" if failing else "json") else None
            name = args[0] if args else "major.brix"
            found.append(pytest.param(body, name, externs, int(failing), expected, id=f"line{line}"))
            externs = None
    return found


CASES = cases()


def test_the_guide_has_examples_of_every_kind():
    kinds = {kind for _, kind, _, _ in blocks()}
    assert {"brix", "brix-error", "brix-externs", "json", "text", "console"} <= kinds
    assert sum(1 for c in CASES if c.values[3] == 1) >= 30


@pytest.mark.parametrize("source, name, externs, status, expected", CASES)
def test_guide_example(brix, files, source, name, externs, status, expected):
    args = [] if externs is None else ["--externs-file", "guide.externs"]
    files({name: source} if externs is None else {name: source, "guide.externs": externs})
    if status == 0:
        got = brix("--pretty", *args, name)
        assert got[0] == 0, got[2]
        assert expected is None or got[1] == expected
    else:
        assert brix(*args, name) == (1, "", expected)


def test_guide_console_sessions(brix):
    for _, kind, _, body in blocks():
        if kind != "console":
            continue
        sessions = re.split(r"^\$ ", body, flags=re.MULTILINE)[1:]
        for session in sessions:
            command, _, output = session.partition("\n")
            argv = shlex.split(command)
            assert argv[0] == "brix"
            assert brix(*argv[1:]) == (0, output, "")


def test_guide_lists_exactly_the_catalog_departments():
    text = GUIDE.read_text(encoding="utf-8")
    listed = re.findall(r"`([A-Z&]{3,4})`", text.split("## Department codes", 1)[1])
    catalog = (ROOT / "libbrix/src/tarrow_departments/departments.txt").read_text().split()
    assert sorted(listed) == sorted(catalog)
