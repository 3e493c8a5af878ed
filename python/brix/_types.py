"""The values that the brix package's checking functions return."""

from dataclasses import dataclass, field
from typing import Optional, Tuple

# "error", "warning" or "note".
Severity = str


@dataclass(frozen=True)
class Position:
    """A place in the text.

    ``offset`` counts UTF-8 bytes from the start of the text; ``line`` and the
    two columns start at 1, ``column`` counting characters and
    ``column_utf16`` UTF-16 code units (what most editors count).
    """

    offset: int
    line: int
    column: int
    column_utf16: int


@dataclass(frozen=True)
class Span:
    """A range of the text, ``end`` exclusive."""

    start: Position
    end: Position


@dataclass(frozen=True)
class Label:
    """A secondary span of a diagnostic, with what it shows."""

    span: Span
    message: str


@dataclass(frozen=True)
class Fix:
    """Replace the text of ``span`` with ``replacement``; an empty span inserts."""

    span: Span
    replacement: str


@dataclass(frozen=True)
class Diagnostic:
    """One error or warning about a text.

    ``code`` is stable ("E0101", "W0201", ...); ``span`` is None for the few
    errors that have no place; ``help`` is empty when there is none.
    """

    severity: Severity
    code: str
    message: str
    span: Optional[Span]
    labels: Tuple[Label, ...] = ()
    help: str = ""
    fixes: Tuple[Fix, ...] = ()


@dataclass(frozen=True)
class Definition:
    """Where a variable gets a value: an assignment, or an extern declaration.

    ``span`` is the name; ``statement`` the whole statement; ``value`` the
    value's text as written (empty for an extern).
    """

    name: str
    span: Span
    statement: Span
    value: str
    extern: bool


@dataclass(frozen=True)
class Use:
    """A variable used in a value or a requirement.

    ``definition`` indexes the definition in effect at the use (the last
    one above it), or is None when the variable has none there.
    """

    name: str
    span: Span
    definition: Optional[int]


@dataclass(frozen=True)
class Requirement:
    """A top-level SELECT or LIMIT statement and its description."""

    span: Span
    description: str
    description_span: Optional[Span]


@dataclass(frozen=True)
class Reference:
    """A course, a function name or a department code, where it is written.

    ``kind`` is "course", "function" or "department".
    """

    kind: str
    text: str
    span: Span


@dataclass(frozen=True)
class Symbols:
    """What a tool needs to find its way around a text."""

    definitions: Tuple[Definition, ...] = ()
    uses: Tuple[Use, ...] = ()
    requirements: Tuple[Requirement, ...] = ()
    references: Tuple[Reference, ...] = field(default=())


class BrixError(ValueError):
    """A text that is not valid BRIX.

    ``diagnostics`` holds every diagnostic of the text, the first being the
    error that stopped it; ``str()`` is the error report, with ``path`` in
    its arrow line when a path was given.
    """

    def __init__(self, report: str, diagnostics: Tuple[Diagnostic, ...], path: Optional[str]) -> None:
        super().__init__(report)
        self.report = report
        self.diagnostics = diagnostics
        self.path = path

    def __str__(self) -> str:
        return self.report
