"""The brix package's typed surface: check, load, symbols."""

import pathlib

import pytest

import brix
from brix import _symbols

ROOT = pathlib.Path(__file__).resolve().parents[2]

# (text, the diagnostics as "code line:column-column" in UTF-16 units)
CHECKS = [
    ('SELECT 1 FROM CSCX 1010 : "a";', ["E0401 1:15-19"]),
    ('SELECT 1 FROM CSCI 1010 : "😀"; SELECT 1 FROM CSCX 1020 : "b";', ["E0401 1:47-51"]),
    ('SELECT 5 FROM [CSCI 1010, CSCI 1020] : "é";', ["W0201 1:8-9"]),
    ('SELECT 1 FROM CSCI 1010 : "a";', []),
]


def show(d: brix.Diagnostic) -> str:
    assert d.span is not None
    return f"{d.code} {d.span.start.line}:{d.span.start.column_utf16}-{d.span.end.column_utf16}"


@pytest.mark.parametrize("text, expected", CHECKS)
def test_check(text, expected):
    assert [show(d) for d in brix.check(text)] == expected


def test_check_gives_fixes_and_help_and_honours_its_options():
    [d] = brix.check('SELECT 1 FROM CSCX 1010 : "a";')
    assert (d.severity, d.help, [(f.span.start.offset, f.span.end.offset, f.replacement) for f in d.fixes]) == (
        "error",
        "did you mean `CSCI`?",
        [(14, 18, "CSCI")],
    )
    assert brix.check('SELECT 1 FROM CSCX 1010 : "a";', catalog=["CSCX"]) == []
    assert brix.check('SELECT 5 FROM [CSCI 1010] : "a";', allow=["W0201"]) == []
    assert brix.check('SELECT 5 FROM [CSCI 1010] : "a";', warnings=False) == []
    assert brix.check('extern $n; SELECT $n FROM CSCI 1010 : "a";', externs={"n": "2"}) == []
    with pytest.raises(ValueError):
        brix.check("", externs={"n": "[unclosed"})


def test_check_reads_the_sibling_externs_file():
    text = (ROOT / "examples" / "cs-major.brix").read_text(encoding="utf-8")
    assert [d.code for d in brix.check(text, warnings=False)] == ["E0303", "E0303"]
    assert brix.check(text, path=str(ROOT / "examples" / "cs-major.brix"), warnings=False) == []


def test_load_returns_the_document_or_raises_with_the_report_and_the_path():
    document = brix.load('SELECT 1 FROM CSCI 1010 : "Intro";')
    assert document["requirements"][0]["description"] == "Intro"
    assert brix.load(ROOT / "examples" / "cs-major.brix")["version"] == "0.1.12"
    with pytest.raises(brix.BrixSemanticError) as raised:
        brix.load('SELECT 1 FROM CSCX 1010 : "a";', path="majors/cs.brix")
    assert " --> majors/cs.brix:1:15" in str(raised.value)
    assert [d.code for d in raised.value.diagnostics] == ["E0401"]
    with pytest.raises(brix.BrixSyntaxError) as raised:
        brix.load("SELECT 1 FROM", path="x.brix")
    assert isinstance(raised.value, brix.BrixError) and raised.value.path == "x.brix"


# (text, each use as "name->line of its definition", the requirements' descriptions).
# The library leaves statements with errors out; the tokenizer the language
# server falls back on while a file has errors reads them anyway.
SYMBOLS = [
    ('$x = 1;\n$x = 2;\nSELECT $x FROM CSCI 1010 : "a";', ["$x->2"], ["a"], ["$x->2"], ["a"]),
    ('$x = [CSCI 1010];\n$x = [$x, CSCI 1020];', ["$x->1"], [], ["$x->1"], []),
    ('SELECT 1 FROM $nowhere : "😀 ""q""";', [], [], ["$nowhere->none"], ['😀 "q"']),
    ('$t = "Title";\nSELECT 1 FROM CSCI 1010 : $t;', ["$t->1"], ["Title"], ["$t->1"], ["Title"]),
    ('extern $e;\n$t = "Title";\nSELECT $e FROM CSCI 1010 : $t', [], [], ["$e->1", "$t->2"], ["Title"]),
    ('$x = [CSCX 1010];\nSELECT 1 FROM $x : "a";', [], [], ["$x->1"], ["a"]),
    ("SELECT 1 FROM [CSCI 1010, ", [], [], [], [""]),
]


def _shown(found):
    uses = []
    for use in found.uses:
        line = found.definitions[use.definition].span.start.line if use.definition is not None else "none"
        uses.append(f"{use.name}->{line}")
    return uses, [r.description for r in found.requirements]


@pytest.mark.parametrize("text, uses, descriptions, any_uses, any_descriptions", SYMBOLS)
def test_symbols(text, uses, descriptions, any_uses, any_descriptions):
    assert _shown(brix.symbols(text)) == (uses, descriptions)
    assert _shown(_symbols.read_any(text)) == (any_uses, any_descriptions)


@pytest.mark.parametrize("path", sorted((ROOT / "examples").glob("*.brix")), ids=lambda p: p.name)
def test_the_tokenizer_reads_a_valid_file_as_the_library_does(path):
    # The language server switches between the two as a file gains and
    # loses errors; on valid text nothing may move.
    text = path.read_text(encoding="utf-8")
    assert not _symbols.has_errors(text)
    assert _symbols.read_any(text) == brix.symbols(text)


# (text, whether the language server must fall back on the tokenizer)
FALLBACKS = [
    ('SELECT 1 FROM CSCI 1010 : "a";', False),
    ('extern $n;\nSELECT $n FROM CSCI 1010 : "a";', False),
    ('SELECT 1 FROM CSCX 1010 : "a";', True),
    ('SELECT 1 FROM CSCI 1010 : "a"', True),
]


@pytest.mark.parametrize("text, expected", FALLBACKS)
def test_symbols_fall_back_on_the_tokenizer_only_where_statements_are_left_out(text, expected):
    assert _symbols.has_errors(text) == expected


# (text, what the definitions hold as written)
DEFINITION_VALUES = [
    ("$x = [CSCI 1010,\n  CSCI 1020] ;", ["[CSCI 1010,\n  CSCI 1020]"]),
    ('$x // not = this\n  = "a;b";', ['"a;b"']),
    ("extern $e;\n$n = 2;", ["", "2"]),
]


@pytest.mark.parametrize("text, values", DEFINITION_VALUES)
def test_definition_values_are_the_text_after_the_equals_sign(text, values):
    assert [d.value for d in brix.symbols(text).definitions] == values


def test_symbol_positions_count_bytes_characters_and_utf16_units():
    [use] = brix.symbols('$a = 1; SELECT 1 FROM CSCI 1010 : "😀é"; SELECT $a FROM CSCI 1010 : "b";').uses
    assert (use.span.start.offset, use.span.start.column, use.span.start.column_utf16) == (51, 48, 49)
    references = brix.symbols("SELECT 1 FROM [E&ES 1100, RANGE(CSCI 1000, CSCI 2000)] : \"x\";").references
    assert [(r.kind, r.text) for r in references] == [
        ("course", "E&ES 1100"),
        ("department", "E&ES"),
        ("function", "RANGE"),
        ("course", "CSCI 1000"),
        ("department", "CSCI"),
        ("course", "CSCI 2000"),
        ("department", "CSCI"),
    ]


# (text, formatted)
FORMATS = [
    ('$x=[CSCI 1010,CSCI 1020];SELECT 1 FROM $x:"a";', '$x = [CSCI 1010, CSCI 1020];\nSELECT 1 FROM $x : "a";\n'),
    ('SELECT 1 FROM CSCX 1010 : "only a semantic error";', 'SELECT 1 FROM CSCX 1010 : "only a semantic error";\n'),
]


@pytest.mark.parametrize("text, formatted", FORMATS)
def test_format(text, formatted):
    assert brix.format(text) == formatted
    assert brix.format(formatted) == formatted


def test_format_refuses_a_syntax_error_with_its_diagnostics():
    with pytest.raises(brix.BrixSyntaxError) as raised:
        brix.format("SELECT 1 FROM [CSCI 1010,")
    assert [d.code for d in raised.value.diagnostics][:1] == ["E0101"]
    assert str(raised.value).startswith(" --> 1:26\n")
