"""Positions of a Python string as the library gives them: UTF-8 byte offsets,
lines, and columns in characters and in UTF-16 code units."""

import bisect
from typing import List

from ._types import Position, Span


def _utf8_width(char: str) -> int:
    code = ord(char)
    if code < 0x80:
        return 1
    if code < 0x800:
        return 2
    return 3 if code < 0x10000 else 4


class Positions:
    """Turns character indexes of ``text`` into Positions, and back from byte offsets.

    A line ends at "\\n"; "\\r\\n" is one line break, as the library counts.
    """

    def __init__(self, text: str) -> None:
        self.text = text
        # Byte offset before each character, and one past the end.
        self._bytes: List[int] = [0] * (len(text) + 1)
        self._utf16: List[int] = [0] * (len(text) + 1)
        byte = unit = 0
        for index, char in enumerate(text):
            self._bytes[index] = byte
            self._utf16[index] = unit
            byte += _utf8_width(char)
            unit += 2 if ord(char) > 0xFFFF else 1
        self._bytes[len(text)] = byte
        self._utf16[len(text)] = unit
        self._line_starts = [0]
        for index, char in enumerate(text):
            if char == "\n":
                self._line_starts.append(index + 1)

    def at(self, index: int) -> Position:
        """The Position before character ``index`` (0 <= index <= len(text))."""
        index = max(0, min(index, len(self.text)))
        line = bisect.bisect_right(self._line_starts, index) - 1
        start = self._line_starts[line]
        return Position(
            offset=self._bytes[index],
            line=line + 1,
            column=index - start + 1,
            column_utf16=self._utf16[index] - self._utf16[start] + 1,
        )

    def span(self, start: int, end: int) -> Span:
        return Span(self.at(start), self.at(end))

    def index_of_offset(self, offset: int) -> int:
        """The character index at byte ``offset`` (rounded down inside a character)."""
        return max(0, bisect.bisect_right(self._bytes, offset) - 1)
