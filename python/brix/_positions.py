"""Positions of a Python string as the library gives them: UTF-8 byte offsets,
lines, and columns in characters and in UTF-16 code units."""

import bisect
import re
from typing import List

from ._types import Position, Span

_LINE_BREAK = re.compile("\n")


def utf8_length(text: str) -> int:
    return len(text.encode("utf-8", "surrogatepass"))


def utf16_length(text: str) -> int:
    return len(text.encode("utf-16-le", "surrogatepass")) // 2


class Positions:
    """Turns character indexes of ``text`` into Positions.

    A line ends at "\\n" ("\\r\\n" is one line break), as the library counts.
    Work is done per line, when a position on it is asked for.
    """

    def __init__(self, text: str) -> None:
        self.text = text
        self._line_starts: List[int] = [0] + [match.end() for match in _LINE_BREAK.finditer(text)]
        self._line_offsets: List[int] = [0]
        for line, start in enumerate(self._line_starts[:-1]):
            self._line_offsets.append(self._line_offsets[-1] + utf8_length(text[start : self._line_starts[line + 1]]))

    def at(self, index: int) -> Position:
        """The Position before character ``index`` (clamped to the text)."""
        index = max(0, min(index, len(self.text)))
        line = bisect.bisect_right(self._line_starts, index) - 1
        start = self._line_starts[line]
        before = self.text[start:index]
        return Position(
            offset=self._line_offsets[line] + utf8_length(before),
            line=line + 1,
            column=index - start + 1,
            column_utf16=utf16_length(before) + 1,
        )

    def span(self, start: int, end: int) -> Span:
        return Span(self.at(start), self.at(end))
