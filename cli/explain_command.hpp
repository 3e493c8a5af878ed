// brix explain: a file's requirements in plain English.
#pragma once

#include <string>

#include "commands.hpp"

namespace brix::cli {

Outcome explain_file(const std::string& path, const Context& context);

}  // namespace brix::cli
