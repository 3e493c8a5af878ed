"""Every example of docs/language.md, run through the real brix command.

Fenced blocks of the guide, by their info string:
  brix                  must be valid; a ```json block right after it is its
                        exact `brix --pretty` output
  brix-error [NAME]     must fail; the ```text block right after it is its exact
                        error output (the file is called NAME, default major.brix)
  brix-externs          an externs file used by the next brix or brix-error block
  console               "$ brix ..." lines, each followed by its exact output
  brix-wrong CODE [ARG...]  must be reported with CODE by `brix lint ARG... major.brix`
                        (as=cr: written with bare CR line breaks, as=latin-1:
                        written in Latin-1)
  brix-fixed CODE [ARG...]  the same file put right: no CODE, exit status 0
  file NAME             a file the next brix-wrong or brix-fixed block needs
"""

import json
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


def code_examples():
    """pytest params of (source, args, encoding, files, code, wrong)."""
    found = []
    needed = {}
    for line, kind, args, body in blocks():
        if kind == "file":
            needed[args[0]] = body
        elif kind in ("brix-wrong", "brix-fixed"):
            code, rest = args[0], args[1:]
            layout = [a for a in rest if a.startswith("as=")]
            found.append(pytest.param(body, [a for a in rest if not a.startswith("as=")],
                                      layout[0][3:] if layout else "utf-8", needed, code,
                                      kind == "brix-wrong", id=f"line{line}-{kind[5:]}-{code}"))
            needed = {}
    return found


CODE_EXAMPLES = code_examples()


def test_every_code_has_a_chapter_with_a_wrong_and_a_fixed_example():
    codes = re.findall(r'\{"([EW]\d{4})", Severity::', (ROOT / "libbrix/src/diagnostics/codes.cpp").read_text())
    text = GUIDE.read_text(encoding="utf-8")
    assert len(codes) > 20
    for code in codes:
        assert f"\n### {code}: " in text, code
        if code == "E0001":  # nothing can cause it
            continue
        for wrong in (True, False):
            assert [p for p in CODE_EXAMPLES if p.values[4] == code and p.values[5] == wrong], (code, wrong)


@pytest.mark.parametrize("source, args, encoding, needed, code, wrong", CODE_EXAMPLES)
def test_code_example(brix, files, source, args, encoding, needed, code, wrong):
    data = source.replace("\n", "\r").encode("latin-1") if encoding == "cr" else source.encode(encoding)
    files({"major.brix": data, **needed})
    status, _, err = brix("lint", "--error-format", "json", *args, "major.brix")
    found = [json.loads(line)["code"] for line in err.splitlines()]
    if wrong:
        assert code in found, err
    else:
        assert status == 0 and code not in found, err
