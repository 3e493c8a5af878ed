"""Symbols of a text: variable definitions and uses, requirements with their
descriptions, courses, functions and departments.

``symbols`` is the library's reading, exact but blind to statements with
errors. ``read_any`` is a small tokenizer that reads any text, valid or not,
so that an editor can still find its way around a file while it has
mistakes; there statements are told apart by their ";".
"""

import re
from typing import Any, Dict, List, Mapping, NamedTuple, Optional, Tuple

from . import _native

from ._positions import Positions
from ._types import Definition, Position, Reference, Requirement, Span, Symbols, Use

_TOKEN = re.compile(
    r"""
      (?P<space>\s+)
    | (?P<comment>//[^\n]*)
    | (?P<string>"(?:[^"\n]|"")*"?)
    | (?P<variable>\$[A-Za-z_][A-Za-z0-9_]*)
    | (?P<course>(?P<department>[A-Z&]{3,4})[ ]*[0-9]{4}L?(?![0-9A-Za-z_]))
    | (?P<word>[A-Za-z_&][A-Za-z0-9_&]*)
    | (?P<number>[0-9]+)
    | (?P<punct>.)
    """,
    re.VERBOSE | re.DOTALL,
)

FUNCTIONS = (
    "CLASS",
    "PLACEMENT",
    "TAG",
    "TAG_DEPT",
    "DIST",
    "DIST_DEPT",
    "RANGE",
    "RANGE_DIST",
    "RANGE_TAG",
)


class Token(NamedTuple):
    kind: str  # a group name of _TOKEN
    text: str
    start: int  # character indexes
    end: int
    department_end: int  # for a course: where its department code ends


def tokenize(text: str) -> List[Token]:
    """Every token but spaces and comments."""
    tokens = []
    for match in _TOKEN.finditer(text):
        kind = match.lastgroup or "punct"
        if kind == "department":
            kind = "course"
        if kind in ("space", "comment"):
            continue
        tokens.append(Token(kind, match.group(), match.start(), match.end(), match.end("department")))
    return tokens


def string_value(literal: str) -> str:
    """The text of a string literal: quotes dropped, doubled quotes undone."""
    inner = literal[1:-1] if len(literal) >= 2 and literal.endswith('"') else literal[1:]
    return inner.replace('""', '"')


def _statements(tokens: List[Token]) -> List[List[Token]]:
    statements: List[List[Token]] = [[]]
    for token in tokens:
        statements[-1].append(token)
        if token.kind == "punct" and token.text == ";":
            statements.append([])
    return [statement for statement in statements if statement]


def _top_level_colons(statement: List[Token]) -> List[int]:
    depth = 0
    found = []
    for index, token in enumerate(statement):
        if token.kind != "punct":
            continue
        if token.text in "[(":
            depth += 1
        elif token.text in "])":
            depth = max(0, depth - 1)
        elif token.text == ":" and depth == 0:
            found.append(index)
    return found


def _span(raw: Tuple[Any, ...]) -> Span:
    return Span(Position(*raw[0]), Position(*raw[1]))


def symbols(text: str, *, externs: Optional[Mapping[str, str]] = None) -> Symbols:
    """The symbols of ``text`` as the library reads it.

    Statements with errors are left out, and so is a use whose definition
    has one; every use has its definition. ``externs`` is as for ``check``:
    an extern without a value still counts as defined.
    """
    definitions, uses, requirements, references = _native.symbols(text, externs)
    return Symbols(
        tuple(Definition(name, _span(at), _span(whole), value, extern) for name, at, whole, value, extern in definitions),
        tuple(Use(name, _span(at), definition) for name, at, definition in uses),
        tuple(Requirement(_span(whole), description, _span(at)) for whole, description, at in requirements),
        tuple(Reference(kind, written, _span(at)) for kind, written, at in references),
    )


# An extern declared without a value: ``symbols`` still counts it as defined.
_KEPT_BY_SYMBOLS = ("E0303",)


def has_errors(text: str) -> bool:
    """Whether ``text`` has an error that makes ``symbols`` leave a statement out."""
    return any(raw[0] == "error" and raw[1] not in _KEPT_BY_SYMBOLS for raw in _native.check(text, None, None, False, []))


def read_any(text: str) -> Symbols:
    """The symbols of ``text``, which need not be valid, read by the tokenizer."""
    where = Positions(text)
    definitions: List[Definition] = []
    uses: List[Use] = []
    requirements: List[Requirement] = []
    references: List[Reference] = []
    # The index of the definition in effect for each name, as statements end.
    in_effect: Dict[str, int] = {}

    for statement in _statements(tokenize(text)):
        start, end = statement[0].start, statement[-1].end
        first = statement[0]
        defined: Optional[Token] = None
        if first.kind == "word" and first.text == "extern" and len(statement) > 1:
            if statement[1].kind == "variable":
                defined = statement[1]
                definitions.append(
                    Definition(defined.text, where.span(defined.start, defined.end), where.span(start, end), "", True)
                )
        elif first.kind == "variable" and len(statement) > 1 and statement[1].text == "=":
            defined = first
            value_end = statement[-1].start if statement[-1].text == ";" else end
            value = text[statement[1].end : value_end].strip() if len(statement) > 2 else ""
            definitions.append(
                Definition(first.text, where.span(first.start, first.end), where.span(start, end), value, False)
            )
        elif first.kind == "word" and first.text in ("SELECT", "LIMIT"):
            colons = _top_level_colons(statement)
            description, description_span = "", None
            if colons and colons[0] + 1 < len(statement):
                after = statement[colons[0] + 1]
                description_span = where.span(after.start, after.end)
                if after.kind == "string":
                    description = string_value(after.text)
                elif after.kind == "variable" and after.text in in_effect:
                    value = definitions[in_effect[after.text]].value
                    description = string_value(value) if value.startswith('"') else after.text
                else:
                    description = after.text
            requirements.append(Requirement(where.span(start, end), description, description_span))

        for index, token in enumerate(statement):
            if token.kind == "variable" and token is not defined:
                uses.append(Use(token.text, where.span(token.start, token.end), in_effect.get(token.text)))
            elif token.kind == "course":
                references.append(Reference("course", token.text, where.span(token.start, token.end)))
                references.append(
                    Reference(
                        "department",
                        text[token.start : token.department_end],
                        where.span(token.start, token.department_end),
                    )
                )
            elif token.kind == "word" and index + 1 < len(statement) and statement[index + 1].text == "(":
                references.append(Reference("function", token.text, where.span(token.start, token.end)))
        if defined is not None:
            in_effect[defined.text] = len(definitions) - 1

    return Symbols(tuple(definitions), tuple(uses), tuple(requirements), tuple(references))
