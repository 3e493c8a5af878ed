"""Pygments lexer for BRIX requirement files.

The command's HTML page highlights its source pane with a C++ twin of this
lexer (libbrix/src/render/highlight.cpp); the tests hold the two to the same
token stream, so the rules below change only together with that file.
"""

from typing import Any

from pygments.lexer import RegexLexer
from pygments.token import (
    Comment,
    Error,
    Keyword,
    Name,
    Number,
    Operator,
    Punctuation,
    String,
    Whitespace,
)

__all__ = ["BrixLexer"]

_FUNCTIONS = (
    "CLASS|PLACEMENT|TAG_DEPT|TAG|DIST_DEPT|DIST|RANGE_DIST|RANGE_TAG|RANGE|"
    "class|placement|tag_dept|tag|dist_dept|dist|range_dist|range_tag|range"
)


class BrixLexer(RegexLexer):
    """Course requirements written in BRIX."""

    name = "BRIX"
    aliases = ["brix"]
    filenames = ["*.brix"]
    mimetypes = ["text/x-brix"]
    url = "https://pypi.org/project/rediriziv/"
    version_added = ""

    tokens = {
        "root": [
            (r"[ \t\r\n]+", Whitespace),
            (r"//[^\n]*", Comment.Single),
            (r'"(?:""|[^"\r\n])*"', String.Double),
            (r"SELECT|LIMIT|FROM", Keyword),
            (r"extern", Keyword.Declaration),
            (r"\$[A-Za-z_][A-Za-z0-9_]*", Name.Variable),
            # A department code is the word before a four-digit course number.
            (r"[A-Za-z&]+(?= *[0-9]{4})", Name.Constant),
            (r"(?:" + _FUNCTIONS + r")(?![A-Za-z0-9_])", Name.Builtin),
            (r"[A-Za-z_][A-Za-z0-9_]*", Name),
            (r"[0-9]{4}L|[0-9]+", Number.Integer),
            (r"-", Operator),
            (r"[\[\](),;:=]", Punctuation),
            (r".", Error),
        ]
    }

    def __init__(self, **options: Any) -> None:
        # Leading and trailing blank lines are part of the text: the page's
        # line numbers and the command's offsets count them.
        options.setdefault("stripnl", False)
        options.setdefault("ensurenl", False)
        super().__init__(**options)
