"""An open document's text, and positions in the units the client chose.

The protocol counts lines at "\\n", "\\r\\n" and "\\r", and columns in UTF-16
code units unless the client negotiated UTF-8 or UTF-32; the library counts
bytes. Everything here goes through character indexes of the Python string,
and every position a client sends is clamped into the text, so that an edit
or a request past the end never fails.
"""

import bisect
import re
from typing import List

from lsprotocol import types as lsp

_LINE_BREAK = re.compile("\r\n|\r|\n")
_LONE_SURROGATE = re.compile("[\ud800-\udfff]")


def clean(text: str) -> str:
    """``text`` with lone surrogates (which JSON can carry) replaced by U+FFFD,
    one unit for one, so that it can be written as UTF-8."""
    return _LONE_SURROGATE.sub("\ufffd", text)


def _units(text: str, encoding: str) -> int:
    if encoding == lsp.PositionEncodingKind.Utf8:
        return len(text.encode("utf-8", "surrogatepass"))
    if encoding == lsp.PositionEncodingKind.Utf32:
        return len(text)
    return len(text.encode("utf-16-le", "surrogatepass")) // 2


class LineIndex:
    def __init__(self, text: str) -> None:
        self.text = text
        self._starts: List[int] = [0] + [m.end() for m in _LINE_BREAK.finditer(text)]
        self._data = text.encode("utf-8", "surrogatepass")
        self._byte_starts: List[int] = []

    def _line_end(self, line: int) -> int:
        """The index where the line's text ends, before its line break."""
        if line + 1 >= len(self._starts):
            return len(self.text)
        end = self._starts[line + 1]
        while end > self._starts[line] and self.text[end - 1] in "\r\n":
            end -= 1
        return end

    def position(self, index: int, encoding: str) -> lsp.Position:
        index = max(0, min(index, len(self.text)))
        line = bisect.bisect_right(self._starts, index) - 1
        start = self._starts[line]
        return lsp.Position(line=line, character=_units(self.text[start:index], encoding))

    def index(self, position: lsp.Position, encoding: str) -> int:
        """The character index at a client position; past a line's end is its
        end, past the last line is the end of the text."""
        if position.line >= len(self._starts):
            return len(self.text)
        start, end = self._starts[position.line], self._line_end(position.line)
        wanted = position.character
        count = 0
        for index in range(start, end):
            if count >= wanted:
                return index
            count += _units(self.text[index], encoding)
        return end

    def index_of_offset(self, offset: int) -> int:
        """The character index at a byte offset of the text's UTF-8 form."""
        if not self._byte_starts:
            total = 0
            for line, start in enumerate(self._starts):
                self._byte_starts.append(total)
                end = self._starts[line + 1] if line + 1 < len(self._starts) else len(self.text)
                total += len(self.text[start:end].encode("utf-8", "surrogatepass"))
        offset = max(0, min(offset, len(self._data)))
        line = bisect.bisect_right(self._byte_starts, offset) - 1
        before = self._data[self._byte_starts[line] : offset].decode("utf-8", "ignore")
        return self._starts[line] + len(before)

    def range(self, start: int, end: int, encoding: str) -> lsp.Range:
        """The range between two byte offsets."""
        return lsp.Range(
            start=self.position(self.index_of_offset(start), encoding),
            end=self.position(self.index_of_offset(end), encoding),
        )


def apply_change(text: str, change: lsp.TextDocumentContentChangeEvent, encoding: str) -> str:
    """``text`` after one change; a range past the end is clamped to it."""
    if isinstance(change, lsp.TextDocumentContentChangePartial):
        index = LineIndex(text)
        start = index.index(change.range.start, encoding)
        end = index.index(change.range.end, encoding)
        if end < start:
            start, end = end, start
        return text[:start] + clean(change.text) + text[end:]
    return clean(change.text)
