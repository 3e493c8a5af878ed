// UTF-8 validation of caller-supplied text, done once before any parsing so
// that the grammar and the column counting can trust every byte sequence.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace brix::detail {

// The offset where `text` stops being valid UTF-8: the first byte of the
// first ill-formed, overlong, surrogate, out-of-range or truncated sequence.
// Nothing when the whole text is valid.
std::optional<std::size_t> find_invalid_utf8(std::string_view text);

}  // namespace brix::detail
