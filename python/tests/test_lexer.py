"""The Pygments lexer, and the C++ highlighter of the page held to its token
stream on everything the project has."""

import itertools

import pytest
from pygments.lexers import get_lexer_by_name, get_lexer_for_filename
from pygments.token import Error

from brix import _native
from brix.lexer import BrixLexer
from conftest import example_params, guide_snippets

VALID = example_params() + guide_snippets(("brix",))
EVERYTHING = VALID + guide_snippets(("brix-error", "brix-externs"))

# Texts where a highlighter that only looks like the lexer would differ.
TRICKY = [
    'SELECT 1 FROM TAG 1234 : "x";',  # a function name before a number is a department
    "SELECT 1 FROM TAG_DEPTX(\"a\");",  # a longer word is no function
    'SELECT 1 FROM Tag("a");',
    "SELECT 1 FROM [CSCI1010, E&ES  1100, CHEM 1610L, MATH 12345L];",
    '"a""b"  "unclosed ""x"" rest',  # backs off to the last doubled quote
    '"open\n"',
    "SELECT 2-3 FROM $x_1 : $d : $p;",
    "extern $a; externs",
    "// comment with \"quote\" and é\nLIMIT 1",
    "# ¿ü € 😀 \t\f",
    "1610LIMIT 0000L",
    "$ $1 $_",
    "",
]


def merged(tokens):
    """Adjacent tokens of one type joined, as both sides may split runs differently."""
    return [(kind, "".join(text for _, text in run)) for kind, run in itertools.groupby(tokens, key=lambda t: t[0])]


def pygments_stream(text):
    return merged((str(kind)[len("Token.") :], value) for kind, value in BrixLexer().get_tokens(text))


@pytest.mark.parametrize("source", VALID)
def test_no_error_tokens_in_valid_files(source):
    text = source.text if hasattr(source, "text") else source
    errors = [value for kind, value in BrixLexer().get_tokens(text) if kind in Error]
    assert errors == []


@pytest.mark.parametrize("source", EVERYTHING + [pytest.param(t, id=f"tricky{i}") for i, t in enumerate(TRICKY)])
def test_the_page_highlights_as_pygments_does(source):
    text = source.text if hasattr(source, "text") else source
    assert merged(_native.highlight(text)) == pygments_stream(text)


def test_the_highlighter_covers_the_text():
    text = 'SELECT 1 FROM [MATH 1210] : "Ünïcode ""q""" ; // é\n'
    assert "".join(value for _, value in _native.highlight(text)) == text


@pytest.mark.parametrize(
    "text, expected",
    [
        ("CHEM 1610L", [("Name.Constant", "CHEM"), ("Text.Whitespace", " "), ("Literal.Number.Integer", "1610L")]),
        ("TAG(", [("Name.Builtin", "TAG"), ("Punctuation", "(")]),
        ("TAG 1234", [("Name.Constant", "TAG"), ("Text.Whitespace", " "), ("Literal.Number.Integer", "1234")]),
        ("Tag(", [("Name", "Tag"), ("Punctuation", "(")]),
        ("2-3", [("Literal.Number.Integer", "2"), ("Operator", "-"), ("Literal.Number.Integer", "3")]),
        ('"a""b"', [("Literal.String.Double", '"a""b"')]),
        ("extern $x;", [("Keyword.Declaration", "extern"), ("Text.Whitespace", " "), ("Name.Variable", "$x"), ("Punctuation", ";")]),
        ("#", [("Error", "#")]),
    ],
)
def test_token_kinds(text, expected):
    assert pygments_stream(text) == expected


def test_registered_with_pygments():
    try:
        lexer = get_lexer_by_name("brix")
    except Exception:  # pragma: no cover - only when the package is not installed
        pytest.skip("the brix package is not installed, so its entry point is not registered")
    assert isinstance(lexer, BrixLexer)
    assert isinstance(get_lexer_for_filename("cs-major.brix"), BrixLexer)
