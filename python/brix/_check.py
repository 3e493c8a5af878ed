"""check, load and format: the library's diagnostics as dataclasses."""

import json
import os
import pathlib
from typing import Any, Dict, Iterable, List, Mapping, Optional, Tuple, Type, Union

from . import _native
from ._types import BrixError, Diagnostic, Fix, Label, Position, Span

Catalog = Union[Iterable[str], "os.PathLike[str]"]

_SpanTuple = Tuple[Tuple[int, int, int, int], Tuple[int, int, int, int]]


class BrixSyntaxError(BrixError):
    """The text does not follow the grammar (code E0101)."""


class BrixSemanticError(BrixError):
    """The text follows the grammar but means nothing valid: an unknown
    department, an undefined variable, a count of zero, ..."""


def _span(raw: _SpanTuple) -> Span:
    return Span(Position(*raw[0]), Position(*raw[1]))


def _diagnostic(raw: Tuple[Any, ...]) -> Diagnostic:
    severity, code, message, span, labels, help_text, fixes = raw
    return Diagnostic(
        severity=severity,
        code=code,
        message=message,
        span=_span(span) if span is not None else None,
        labels=tuple(Label(_span(at), text) for at, text in labels),
        help=help_text,
        fixes=tuple(Fix(_span(at), replacement) for at, replacement in fixes),
    )


def read_externs(text: str) -> Dict[str, str]:
    """``NAME = VALUE`` lines, as an externs file holds them.

    Blank lines and lines starting with ``#`` are skipped, as are lines
    without ``=``; the ``$`` of a name may be left out; a later line for a
    name replaces an earlier one.
    """
    externs: Dict[str, str] = {}
    for line in text.splitlines():
        stripped = line.strip()
        if not stripped or stripped.startswith("#") or "=" not in stripped:
            continue
        name, value = stripped.split("=", 1)
        name = name.strip()
        externs[name if name.startswith("$") else "$" + name] = value.strip()
    return externs


def sibling_externs(path: "Union[str, os.PathLike[str]]") -> Optional[Dict[str, str]]:
    """The values of ``NAME.externs`` beside ``NAME.brix``, or None when there is none."""
    beside = pathlib.Path(path).with_suffix(".externs")
    try:
        return read_externs(beside.read_text(encoding="utf-8-sig"))
    except (OSError, UnicodeDecodeError, ValueError):
        return None


def _catalog_codes(catalog: Optional[Catalog]) -> Optional[List[str]]:
    if catalog is None:
        return None
    if isinstance(catalog, (str, os.PathLike)):
        lines = pathlib.Path(catalog).read_text(encoding="utf-8-sig").splitlines()
        return [line.strip() for line in lines if line.strip()]
    return list(catalog)


def _externs_for(externs: Optional[Mapping[str, str]], path: Optional[str]) -> Optional[Mapping[str, str]]:
    if externs is None and path is not None:
        return sibling_externs(path)
    return externs


def check(
    text: str,
    *,
    externs: Optional[Mapping[str, str]] = None,
    catalog: Optional[Catalog] = None,
    path: Optional[str] = None,
    warnings: bool = True,
    allow: Iterable[str] = (),
) -> List[Diagnostic]:
    """Every diagnostic of ``text``: its errors in text order, then its warnings.

    The first error is exactly the one ``rediriziv.parse_with_externals``
    raises; after an error the text is read on from the next statement.
    ``externs`` maps extern names (the ``$`` may be left out) to value texts;
    when it is None and ``path`` names a file ``NAME.brix``, the values of
    ``NAME.externs`` beside it are used. ``catalog`` lists the department
    codes that exist, or names a file with one code per line; the built-in
    catalog is used when it is None. ``allow`` lists warning codes not to
    report. Raises ``ValueError`` for an extern value or a catalog that is
    not valid.
    """
    found = _native.check(text, _externs_for(externs, path), _catalog_codes(catalog), warnings, list(allow))
    return [_diagnostic(raw) for raw in found]


def load(
    source: "Union[str, os.PathLike[str]]",
    *,
    externs: Optional[Mapping[str, str]] = None,
    catalog: Optional[Catalog] = None,
    path: Optional[str] = None,
) -> Dict[str, Any]:
    """The requirements document of a text, as Python data.

    ``source`` is the text itself when it is a ``str``, and a file to read
    when it is a path object (``pathlib.Path``); a file's ``NAME.externs``
    is used as ``check`` uses it. Raises ``BrixSyntaxError`` or
    ``BrixSemanticError`` (both ``BrixError``), which carry the diagnostics
    and whose text is the error report with the path in it.
    """
    if isinstance(source, str):
        text = source
    else:
        text = pathlib.Path(source).read_text(encoding="utf-8-sig")
        path = path if path is not None else os.fspath(source)
    externs = _externs_for(externs, path)
    codes = _catalog_codes(catalog)
    ok, out = _native.load(text, externs, codes, path)
    if ok:
        document: Dict[str, Any] = json.loads(out)
        return document
    diagnostics = tuple(_diagnostic(raw) for raw in _native.check(text, externs, codes, False, []))
    kind: Type[BrixError] = BrixSemanticError
    if diagnostics and diagnostics[0].code == "E0101":
        kind = BrixSyntaxError
    raise kind(out, diagnostics, path)


def format(text: str) -> str:  # noqa: A001 - the package's name for it
    """``text`` laid out as ``brix fmt`` lays it out, every comment kept.

    One statement per line, long lists broken one element per line, the
    descriptions of a block aligned, a line feed at the end; formatting the
    result again gives the same text. A text with only semantic errors is
    formatted; one that does not follow the grammar raises
    ``BrixSyntaxError``, which carries the diagnostics.
    """
    ok, out = _native.format(text)
    if ok:
        return out
    diagnostics = tuple(_diagnostic(raw) for raw in _native.check(text, None, None, False, []))
    raise BrixSyntaxError(out, diagnostics, None)
