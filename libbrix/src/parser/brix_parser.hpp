// The semantic builder: walks a parse tree and builds the requirements
// document, resolving variables and externs and enforcing the language's rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brix/brix.hpp"
#include "parser/variable_table.hpp"
#include "peg/tree.hpp"

namespace brix::detail {

// Builds a whole file from its `file` node.
Result<BRIXQueryFile> parse_file(Pair file, ExternValues externals);

// Builds one value from a `var_value` node with an empty variable table.
Result<VarValue> parse_extern_var_value(Pair var_value);

// Nothing on success, or the error that ended the operation.
using Status = std::optional<ErrorChain>;

class BRIXParser {
 public:
  static Result<BRIXQueryFile> parse_file(Pair file, ExternValues externals);
  static Result<BRIXQuery> parse_query(Pair statement, const VariableTable& table, bool top_level);
  static Result<VarValue> parse_var_value(Pair var_value, const VariableTable& table);
  // The text value of a `string` leaf: quotes dropped, doubled quotes undone.
  static std::string parse_string(Pair string);
  static Result<std::vector<Selector>> parse_selector_list(Pair selector_list,
                                                           const VariableTable& table);
  static Result<std::vector<Selector>> parse_selector_single(Pair selector_single,
                                                             const VariableTable& table);
  static Result<Class> parse_class_from_pair(Pair class_argument);
  static Result<Selector> parse_xyz(Pair xyz, const VariableTable& table);

 private:
  // Appending forms of the two selector operations: a variable holding a list
  // is spliced straight into `out`, so a query's selectors are copied once.
  static Status append_selector_list(Pair selector_list, const VariableTable& table,
                                     std::vector<Selector>& out);
  static Status append_selector_single(Pair selector_single, const VariableTable& table,
                                       std::vector<Selector>& out);
  // The parts of the two recursive operations that do not recurse, kept out
  // of their stack frames.
  [[gnu::noinline]] static Result<BRIXQuery> parse_query_head(Pair statement,
                                                              const VariableTable& table,
                                                              bool top_level, Pair& selector);
  [[gnu::noinline]] static Status append_selector_leaf(Pair child, const VariableTable& table,
                                                       std::vector<Selector>& out);
  static Result<Quantity> parse_query_quantity(Pair quantity, const VariableTable& table,
                                               bool top_level);
  static Status parse_requirement(Pair special_statement, const VariableTable& table,
                                  std::vector<BRIXRequirement>& out);
};

}  // namespace brix::detail
