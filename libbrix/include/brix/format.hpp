// The formatter: BRIX text laid out in one house style, with every comment
// kept and the meaning unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "brix/result.hpp"

namespace brix {

struct FormatOptions {
  // Lines longer than this are broken where the style allows (lists and
  // function calls, then before the description). Counted in characters.
  std::size_t width = 100;
};

// `text` formatted: one statement per line, lists broken one element per line
// when they do not fit, the descriptions of a block of requirements aligned,
// one space around "=" and ":", upper-case function names, at most one blank
// line in a row, line feeds only, and a line feed at the end. Formatting the
// result again gives the same text.
//
// Text that does not follow the grammar (or is not UTF-8) is refused with the
// error `parse` reports for it. A file with only semantic errors (an unknown
// department, a missing extern value) is formatted, since it reads the same.
Result<std::string> format(std::string_view text, const FormatOptions& options = {});

}  // namespace brix
