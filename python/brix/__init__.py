"""Tools for BRIX requirement files: diagnostics with spans, help and fixes
(``check``), the document as Python data (``load``), symbols for editors,
plain-English explanations, web pages and graphs of the requirement tree, and
a Pygments lexer (``brix.lexer``). ``brix-lsp`` is the language server.

The parser itself is the ``rediriziv`` module of the same distribution.
"""

from typing import Mapping, Optional

from . import _native
from ._check import BrixSemanticError, BrixSyntaxError, check, format, load, read_externs
from ._symbols import symbols
from ._types import (
    BrixError,
    Definition,
    Diagnostic,
    Fix,
    Label,
    Position,
    Reference,
    Requirement,
    Span,
    Symbols,
    Use,
)

__all__ = [
    "__version__",
    "BrixError",
    "BrixSemanticError",
    "BrixSyntaxError",
    "Definition",
    "Diagnostic",
    "Fix",
    "Label",
    "Position",
    "Reference",
    "Requirement",
    "Span",
    "Symbols",
    "Use",
    "check",
    "explain",
    "format",
    "load",
    "read_externs",
    "render_dot",
    "render_html",
    "symbols",
]

__version__: str = _native.__version__


def explain(text: str, *, externs: Optional[Mapping[str, str]] = None) -> str:
    """Say in plain English what the BRIX ``text`` requires.

    One block per requirement, nested as the queries nest, for example
    ``Take 2 of: MATH 1210, MATH 1220. (Single-variable calculus)``.
    ``externs`` maps extern names (the ``$`` may be left out) to value texts.
    Raises ``ValueError`` with the error report when the text is not valid.
    """
    return _native.explain(text, externs)


def render_html(
    text: str, *, externs: Optional[Mapping[str, str]] = None, title: str = "requirements"
) -> str:
    """A self-contained web page of the requirement tree beside the highlighted source."""
    return _native.render_html(text, externs, title)


def render_dot(
    text: str, *, externs: Optional[Mapping[str, str]] = None, title: str = "requirements"
) -> str:
    """The requirement tree as a Graphviz graph in the dot language."""
    return _native.render_dot(text, externs, title)
