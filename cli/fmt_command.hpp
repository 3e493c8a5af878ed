// brix fmt: formats files in place, prints formatted standard input, or (with
// --check and --diff) only tells what would change.
#pragma once

#include <string>

#include "commands.hpp"

namespace brix::cli {

Outcome format_file(const std::string& path, const Context& context);

}  // namespace brix::cli
