// Reading on after an error, so that one check shows every independent
// mistake of a file (see recovery.cpp for how the next statement is found).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "brix/diagnostics.hpp"

namespace brix::detail {

struct Recovered {
  // The library's error first, then the others in text order.
  std::vector<Diagnostic> errors;
  // The text with the statements that hold errors blanked: same length,
  // same lines, and it parses unless errors were left over.
  std::string readable;
  bool parses = false;
};

// `hints` adds help and fixes to the errors (each hint is tried, so it
// costs parses of its own).
Recovered recover(std::string_view text, const Options& options, bool hints);

}  // namespace brix::detail
