// brix render: a file's requirement tree as a web page or a Graphviz graph.
#pragma once

#include <string>

#include "commands.hpp"

namespace brix::cli {

// Writes to the --output file when one is given, else to standard output.
Outcome render_file(const std::string& path, const Context& context);

}  // namespace brix::cli
