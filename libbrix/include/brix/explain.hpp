// The requirements of a file in plain English, for people who do not read
// BRIX: one block per requirement, nested as its queries nest.
#pragma once

#include <string>
#include <string_view>

#include "brix/brix.hpp"

namespace brix {

// For example "Take 2 of: MATH 1210, MATH 1220. (Single-variable calculus)".
// Fails with the error parse_with_externals reports for the text.
Result<std::string> explain(std::string_view text, const ExternValues& externals = {});

}  // namespace brix
