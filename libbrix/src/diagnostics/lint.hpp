// Warnings: requirements that parse but are plainly wrong, and variables that
// serve nothing. Each has a code; `// brix: allow(CODE)` on the line above
// the place it points at, or the code in Options::allowed, silences it.
#pragma once

#include <string_view>
#include <vector>

#include "brix/diagnostics.hpp"

namespace brix::detail {

// `parsed` is `text` with any statements that had errors blanked out; it
// parses. Spans refer to both alike.
std::vector<Diagnostic> lint(std::string_view text, std::string_view parsed,
                             const Options& options);

}  // namespace brix::detail
