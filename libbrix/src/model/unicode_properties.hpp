// The two Unicode properties the diagnostic text form needs to decide which
// characters it writes as "\u{...}" escapes.
#pragma once

namespace brix::detail {

// Assigned and not a control, format, surrogate, private-use or separator
// character; U+0020 counts as printable.
bool is_printable(char32_t c);

// Combining marks and the other characters that extend a grapheme cluster.
bool is_grapheme_extend(char32_t c);

}  // namespace brix::detail
