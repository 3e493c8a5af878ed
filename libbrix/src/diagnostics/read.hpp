// Reads a text with a sink of the diagnostics (warnings, symbols) when the
// text is valid as a whole. Anything else, the caller asks the library what
// is wrong: errors are the rare case, and the library words them.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "brix/diagnostics.hpp"
#include "reader/reader.hpp"

namespace brix::detail {

// A read that is done has also checked the UTF-8 wherever the text may hold
// bytes that are not ASCII.
template <class S>
bool read_clean(std::string_view text, const Options& options, S& sink) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  BRIXParser<S> reader(text, options.externs, sink, options.catalog ? &*options.catalog : nullptr);
  return reader.parse_file().end == ReadEnd::Done;
}

}  // namespace brix::detail
