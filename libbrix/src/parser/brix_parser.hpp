// The semantic builder: walks a parse tree and builds the requirements
// document, resolving variables and externs and enforcing the language's rules.
#pragma once

#include "brix/brix.hpp"
#include "peg/tree.hpp"

namespace brix::detail {

// Builds a whole file from its `file` node.
Result<BRIXQueryFile> parse_file(Pair file, ExternValues externals);

// Builds one value from a `var_value` node with an empty variable table.
Result<VarValue> parse_extern_var_value(Pair var_value);

}  // namespace brix::detail
