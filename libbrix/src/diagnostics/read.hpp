// Reads a text with a sink of the diagnostics (warnings, symbols) when the
// text is valid as a whole. Anything else, the caller asks the library what
// is wrong: errors are the rare case, and the library words them.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "brix/diagnostics.hpp"
#include "diagnostics/catalog_in_use.hpp"
#include "lib/utf8.hpp"
#include "reader/reader.hpp"

namespace brix::detail {

template <class S>
bool read_clean(std::string_view text, const Options& options, S& sink) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  if (find_invalid_utf8(text)) return false;
  const CatalogInUse catalog(options.catalog);
  Reader<S> reader(text, options.externs, sink, catalog.get());
  return reader.read_file().end == ReadEnd::Done;
}

}  // namespace brix::detail
