// Reads back the JSON the one-pass converter keeps for a variable, so that
// the full parser can take over a file with the variables bound as they were.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "brix/model.hpp"

namespace brix::detail {

// Selector objects separated by commas, as the compact document writes them.
std::vector<Selector> read_selectors(std::string_view json);

// A course object.
Class read_course(std::string_view json);

// The text of a quoted JSON string as the compact document writes it.
std::string read_json_string(std::string_view json);

}  // namespace brix::detail
