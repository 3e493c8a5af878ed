// Moving text between UTF-8 and Latin-1. The interpreter turns a str of
// characters below U+0100 into Latin-1 bytes and back several times faster
// than into UTF-8, and BRIX texts and JSON documents are almost always of
// that kind, so the module crosses into Python in Latin-1 when it can and
// does the UTF-8 side itself.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace rediriziv {

// The offset of the first byte at or after `from` that is not ASCII, or
// `size` when there is none.
std::size_t next_non_ascii(const char* data, std::size_t from, std::size_t size);

// Writes `latin1` as UTF-8 to `out`, which must have room for twice its
// length, and returns the number of bytes written.
std::size_t latin1_to_utf8(std::string_view latin1, char* out);

// Rewrites the well-formed UTF-8 text `data[0, size)` as Latin-1 and returns
// its new length, when every character is below U+0100. Otherwise the text is
// left exactly as it was and the result is empty.
std::optional<std::size_t> utf8_to_latin1_in_place(char* data, std::size_t size);

// Undoes utf8_to_latin1_in_place: widens the `latin1_size` bytes at `data`
// back into the `utf8_size` bytes of UTF-8 they were narrowed from.
void latin1_to_utf8_in_place(char* data, std::size_t latin1_size, std::size_t utf8_size);

}  // namespace rediriziv
