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
  friend class FileBuilder;

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
  // The query or count of a node into `out`; see parse_query.
  static Status query_into(Pair statement, const VariableTable& table, bool top_level,
                           BRIXQuery& out);
  static Status quantity_into(Pair quantity, const VariableTable& table, bool top_level,
                              Quantity& out);
  // The parts of the two recursive operations that do not recurse, kept out
  // of their stack frames: the count and type of a query, with the node of
  // its selector; a selector that is not a nested query.
  [[gnu::noinline]] static Status query_head_into(Pair statement, const VariableTable& table,
                                                  bool top_level, BRIXQuery& query, Pair& selector);
  [[gnu::noinline]] static Status append_selector_leaf(Pair child, const VariableTable& table,
                                                       std::vector<Selector>& out);
  static Status parse_requirement(Pair special_statement, const VariableTable& table,
                                  std::vector<BRIXRequirement>& out);
  // One child of the `file` node: binds an extern or a variable, or appends a
  // requirement.
  static Status add_statement(Pair statement, const ExternValues& externals, VariableTable& table,
                              std::vector<BRIXRequirement>& out);
};

// Builds a file statement by statement as the grammar hands them over (see
// parse_file_statements), so a whole file's tree is never held at once.
class FileBuilder {
 public:
  explicit FileBuilder(ExternValues externals) : externals_(std::move(externals)) {}

  // Adds one child of the `file` node. After an error the builder is done
  // with: the error is the file's.
  Status add(Pair statement) {
    return BRIXParser::add_statement(statement, externals_, table_, file_.requirements);
  }
  // Starts again from an empty file with the same externs.
  void restart() {
    table_ = VariableTable();
    file_ = BRIXQueryFile();
  }
  BRIXQueryFile take() && { return std::move(file_); }

  // For a build that takes a file over part way through: binds a variable as
  // the part before left it, and gives the meter to set its totals.
  void preset(std::string_view name, VarValue value) { table_.bind(name, std::move(value)); }
  ExpansionMeter& meter() { return table_.meter(); }

 private:
  ExternValues externals_;
  VariableTable table_;
  BRIXQueryFile file_;
};

}  // namespace brix::detail
