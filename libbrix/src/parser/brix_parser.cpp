#include "parser/brix_parser.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>
#include <variant>

#include "closest_string/closest_string.hpp"
#include "parser/decimal_u16.hpp"
#include "tarrow_departments/tarrow_departments.hpp"

namespace brix::detail {
namespace {

std::string cat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string out;
  out.reserve(size);
  for (std::string_view part : parts) out.append(part);
  return out;
}

// A semantic error on the span of `node`, rendered with line, column and
// underline like a syntax error.
ErrorChain report(Pair node, std::string message) {
  return ErrorChain::from_report(
      Error::new_from_span(CustomError{std::move(message)}, node.input(), node.start(), node.end())
          .renamed_rules(renamed_rules_impl));
}

ErrorChain plain(std::string_view message) {
  return ErrorChain::from_message(std::string(message));
}

// The builder's helpers fill an out parameter and return a Status rather than
// return a Result: a Result is a std::variant of the value and an ErrorChain,
// and building, moving and destroying one per course or number cost more than
// the work it carried.

// A number leaf as u16; a failed conversion is wrapped in `context`.
Status leaf_u16(Pair leaf, std::string_view context, std::uint16_t& out) {
  auto converted = parse_decimal_u16(leaf.as_str());
  if (const IntError* error = std::get_if<IntError>(&converted)) {
    return ErrorChain::from_int_error(*error).wrap(std::string(context));
  }
  out = *std::get_if<std::uint16_t>(&converted);
  return std::nullopt;
}

std::string kind_and_name(std::string_view prefix, const VarValue& value, Pair variable) {
  return cat({prefix, kind_name(value), " (`", variable.as_str(), "`)"});
}

constexpr std::string_view kSelectionContext = "selection could not fit as u16";
constexpr std::string_view kQuantityContext = "quantity could not fit as u16";
constexpr std::string_view kTopLevelZeroRange =
    "cannot select a range starting from zero on a top-level SELECT";
constexpr std::string_view kStatementShape =
    "should have { select ~ quantity ~ from ~ selector ~ semicolon }, missing ";
constexpr std::string_view kQuantityShape =
    "should have { quantity_single | quantity_multiple | variable }";
constexpr std::string_view kSelectorSingleShape =
    "should have { statement | XYZ | class_argument | variable }";

// Candidates for a misspelt function name; among equally close names the
// later one wins, so the order is part of the messages.
constexpr std::array<std::string_view, 9> kFunctionNames{"CLASS",     "RANGE",      "TAG_DEPT",
                                                         "TAG",       "PLACEMENT",  "DIST",
                                                         "DIST_DEPT", "RANGE_DIST", "RANGE_TAG"};

enum class ArgKind { Course, Text };

// No function takes more than three arguments; a call with more is checked
// for argument errors but only its count matters for the pattern.
constexpr std::size_t kMaxArguments = 3;

struct Arguments {
  std::array<Argument, kMaxArguments> values;
  std::size_t count = 0;

  bool fit(std::initializer_list<ArgKind> pattern) const {
    if (count != pattern.size()) return false;
    std::size_t i = 0;
    for (ArgKind kind : pattern) {
      if (std::holds_alternative<Text>(values[i++]) != (kind == ArgKind::Text)) {
        return false;
      }
    }
    return true;
  }
  Class take_course(std::size_t i) { return std::move(std::get<Class>(values[i])); }
  Text take_text(std::size_t i) { return std::move(std::get<Text>(values[i])); }
};

// How many selectors a selector_single adds: a variable holding a list adds
// its length, anything else one (or nothing, if it turns out to be an error).
// Reserving that much up front spares the vector a regrowth, with its copies,
// whenever a list variable is spliced in.
std::size_t selector_count(Pair selector_single, const VariableTable& table) {
  std::optional<Pair> child = selector_single.children().next();
  if (child && child->rule() == Rule::variable) {
    if (const VarValue* value = table.find(child->as_str())) {
      if (const auto* list = std::get_if<VarValue::SelectorList>(&value->value)) {
        return list->selectors.size();
      }
    }
  }
  return 1;
}

Status class_into(Pair class_argument, Class& out) {
  Pairs parts = class_argument.children();
  std::optional<Pair> department = parts.next();
  if (!department) return plain("expected department_id");
  if (department->rule() == Rule::bad_department_id) {
    return report(*department, "departments must be 3-4 uppercase ASCII character symbols");
  }
  std::optional<Pair> class_id = parts.next();
  if (!class_id) return plain("expected class_id");

  std::string_view digits = class_id->as_str();
  bool lab = !digits.empty() && digits.back() == 'L';
  if (lab) digits.remove_suffix(1);
  auto number = parse_decimal_u16(digits);
  if (const IntError* error = std::get_if<IntError>(&number)) {
    return ErrorChain::from_int_error(*error).wrap("could not parse class_id into u16");
  }

  std::string_view code = department->as_str();
  if (!is_department(code)) {
    std::string_view suggestion = closest_string(code, tarrow_departments_list()).value_or("");
    return report(*department,
                  cat({"this department does not exist in Tarrow's course catalog (Did you mean: ",
                       suggestion, ")"}));
  }
  out.department_id = Text(code);
  out.course_number = *std::get_if<std::uint16_t>(&number);
  out.lab = lab;
  return std::nullopt;
}

// The text value of a `string` leaf as a Text. Most strings hold no doubled
// quote, and those are copied straight from the source, without the
// std::string that parse_string would build first.
Text string_text(Pair string) {
  std::string_view text = string.as_str();
  if (text.size() >= 2 && text.find('"', 1) == text.size() - 1) {
    return Text(text.substr(1, text.size() - 2));
  }
  return Text(BRIXParser::parse_string(string));
}

Result<Argument> build_argument(Pair query_argument, const VariableTable& table) {
  std::optional<Pair> child = query_argument.children().next();
  if (!child) return plain("query_argument should have a child");
  switch (child->rule()) {
    case Rule::string:
      return Argument{string_text(*child)};
    case Rule::class_argument: {
      Class course;
      if (Status status = class_into(*child, course)) return std::move(*status);
      return Argument{std::move(course)};
    }
    default: {
      Result<const VarValue*> bound = table.lookup(*child);
      if (!bound) return std::move(bound).error();
      const VarValue& value = **bound;
      const auto* text = std::get_if<VarValue::String>(&value.value);
      const auto* course = std::get_if<Class>(&value.value);
      if (!text && !course) {
        return report(*child,
                      kind_and_name("expected string or class argument, found ", value, *child));
      }
      if (auto over = table.meter().charge(value, *child)) return std::move(*over);
      if (text) return Argument{text->value};
      return Argument{*course};
    }
  }
}

}  // namespace

Result<BRIXQueryFile> BRIXParser::parse_file(Pair file, ExternValues externals) {
  if (file.rule() != Rule::file) return plain("expected file");
  FileBuilder builder(std::move(externals));
  for (Pair child : file.children()) {
    if (Status status = builder.add(child)) return std::move(*status);
  }
  return std::move(builder).take();
}

Status BRIXParser::add_statement(Pair statement, const ExternValues& externals,
                                 VariableTable& table, std::vector<BRIXRequirement>& out) {
  switch (statement.rule()) {
    case Rule::extern_decl: {
      std::optional<Pair> variable = statement.children().next();
      if (!variable) return plain("expected variable in extern_decl");
      std::string_view name = variable->as_str();
      auto supplied = externals.empty() ? externals.end() : externals.find(std::string(name));
      if (supplied == externals.end()) {
        return report(*variable, cat({"extern variable `", name,
                                      "` was declared but not provided by the caller"}));
      }
      if (Status over = table.meter().charge(supplied->second, *variable)) return over;
      table.bind(name, supplied->second);
      return std::nullopt;
    }
    case Rule::var_assign: {
      Pairs parts = statement.children();
      std::optional<Pair> variable = parts.next();
      if (!variable || variable->rule() != Rule::variable) {
        return plain("expected variable in var_assign");
      }
      std::optional<Pair> value_node = parts.next();
      if (!value_node) return plain("expected var_value in var_assign");
      // Built before binding, so the right-hand side sees the old value.
      Result<VarValue> value = parse_var_value(*value_node, table);
      if (!value) return std::move(value).error();
      table.bind(variable->as_str(), std::move(value).value());
      return std::nullopt;
    }
    case Rule::special_statement:
      return parse_requirement(statement, table, out);
    default:
      return std::nullopt;
  }
}

Status BRIXParser::parse_requirement(Pair special_statement, const VariableTable& table,
                                     std::vector<BRIXRequirement>& out) {
  Pairs parts = special_statement.children();
  std::optional<Pair> statement = parts.next();
  std::optional<Pair> description_node = parts.next();
  std::optional<Pair> priority_node = parts.next();
  if (!statement || !description_node) {
    return plain("special_statement should have a statement and a description");
  }

  std::uint16_t priority = 1;
  if (priority_node && priority_node->rule() == Rule::quantity_single) {
    if (Status status = leaf_u16(*priority_node, kSelectionContext, priority)) return status;
  } else if (priority_node) {
    Result<const VarValue*> bound = table.lookup(*priority_node);
    if (!bound) return std::move(bound).error();
    const auto* quantity = std::get_if<Quantity>(&(*bound)->value);
    if (!quantity) {
      return report(*priority_node, kind_and_name("expected quantity for priority, found ", **bound,
                                                  *priority_node));
    }
    const auto* single = std::get_if<Quantity::Single>(&quantity->value);
    if (!single) {
      return report(*priority_node, cat({"priority must be a single number, not a range (`",
                                         priority_node->as_str(), "`)"}));
    }
    priority = single->value;
  }

  Text description;
  if (description_node->rule() == Rule::string) {
    description = string_text(*description_node);
  } else {
    Result<const VarValue*> bound = table.lookup(*description_node);
    if (!bound) return std::move(bound).error();
    const auto* text = std::get_if<VarValue::String>(&(*bound)->value);
    if (!text) {
      return report(*description_node, kind_and_name("expected string for description, found ",
                                                     **bound, *description_node));
    }
    if (Status over = table.meter().charge(**bound, *description_node)) return over;
    description = text->value;
  }

  // Built in place, so the query's selectors are never moved.
  BRIXRequirement& added = out.emplace_back();
  if (Status status = query_into(*statement, table, true, added.query)) {
    out.pop_back();
    return status;
  }
  added.description = std::move(description);
  added.priority = priority;
  return std::nullopt;
}

Result<BRIXQuery> BRIXParser::parse_query(Pair statement, const VariableTable& table,
                                          bool top_level) {
  BRIXQuery query;
  if (Status status = query_into(statement, table, top_level, query)) return std::move(*status);
  return query;
}

// Nested queries recurse through query_into, append_selector_list and
// append_selector_single, so those three keep only what the recursion needs
// in their frames and leave the rest to functions that are never inlined:
// 256 levels of nesting then fit a small thread stack even unoptimised.
Status BRIXParser::query_into(Pair statement, const VariableTable& table, bool top_level,
                              BRIXQuery& query) {
  Pair selector = statement;
  if (Status status = query_head_into(statement, table, top_level, query, selector)) {
    return status;
  }
  Status status;
  if (selector.rule() == Rule::selector_list) {
    status = append_selector_list(selector, table, query.selector);
  } else {
    query.selector.reserve(selector_count(selector, table));
    status = append_selector_single(selector, table, query.selector);
  }
  if (status) return std::move(*status).wrap("failed parsing selector");
  return std::nullopt;
}

Status BRIXParser::query_head_into(Pair statement, const VariableTable& table, bool top_level,
                                   BRIXQuery& query, Pair& selector) {
  if (statement.rule() != Rule::statement) return plain("expected statement");
  Pairs parts = statement.children();

  std::optional<Pair> keyword = parts.next();
  if (!keyword) return plain(cat({kStatementShape, "select"}));
  QueryType type = QueryType::Select;
  if (keyword->rule() == Rule::limit) {
    if (!top_level) return report(*keyword, "LIMIT must be a top-level query");
    type = QueryType::Limit;
  }
  std::optional<Pair> quantity_node = parts.next();
  if (!quantity_node) return plain(cat({kStatementShape, "quantity"}));
  if (!parts.next()) return plain(cat({kStatementShape, "from"}));
  std::optional<Pair> selector_node = parts.next();
  if (!selector_node) return plain(cat({kStatementShape, "selector"}));

  if (Status status = quantity_into(*quantity_node, table, top_level, query.quantity)) {
    return std::move(*status).wrap("failed parsing quantity");
  }
  query.type = type;
  std::optional<Pair> child = selector_node->children().next();
  if (!child) {
    return plain("should have { selector_list | selector_single }").wrap("failed parsing selector");
  }
  selector = *child;
  return std::nullopt;
}

Status BRIXParser::quantity_into(Pair quantity, const VariableTable& table, bool top_level,
                                 Quantity& out) {
  std::optional<Pair> child = quantity.children().next();
  if (!child) return plain(kQuantityShape);
  switch (child->rule()) {
    case Rule::quantity_single: {
      std::uint16_t count = 0;
      if (Status status = leaf_u16(*child, kSelectionContext, count)) return status;
      if (count == 0) return report(*child, "cannot select zero");
      out = Quantity{Quantity::Single{count}};
      return std::nullopt;
    }
    case Rule::quantity_many: {
      Pairs bounds = child->children();
      std::optional<Pair> lower = bounds.next();
      std::optional<Pair> upper = bounds.next();
      if (!lower || !upper) return plain(kQuantityShape);
      std::uint16_t from = 0;
      std::uint16_t to = 0;
      if (Status status = leaf_u16(*lower, kSelectionContext, from)) return status;
      if (Status status = leaf_u16(*upper, kSelectionContext, to)) return status;
      if (top_level && from == 0) return report(*lower, std::string(kTopLevelZeroRange));
      if (to < from) {
        return report(*upper, cat({"for any SELECT n-k statements, k>=n must be true. ",
                                   std::to_string(to), "<", std::to_string(from)}));
      }
      out = Quantity{Quantity::Many{from, to}};
      return std::nullopt;
    }
    case Rule::variable: {
      Result<const VarValue*> bound = table.lookup(*child);
      if (!bound) return std::move(bound).error();
      const auto* value = std::get_if<Quantity>(&(*bound)->value);
      if (!value)
        return report(*child, kind_and_name("expected quantity, found ", **bound, *child));
      const auto* many = std::get_if<Quantity::Many>(&value->value);
      if (top_level && many && many->from == 0) {
        return report(*child, std::string(kTopLevelZeroRange));
      }
      out = *value;
      return std::nullopt;
    }
    default:
      return plain(kQuantityShape);
  }
}

Result<VarValue> BRIXParser::parse_var_value(Pair var_value, const VariableTable& table) {
  std::optional<Pair> child = var_value.children().next();
  if (!child) return plain("expected value in var_value");
  switch (child->rule()) {
    case Rule::string:
      return VarValue{VarValue::String{string_text(*child)}};
    case Rule::quantity_single: {
      std::uint16_t count = 0;
      if (Status status = leaf_u16(*child, kQuantityContext, count)) return std::move(*status);
      if (count == 0) return report(*child, "cannot assign zero as a quantity");
      return VarValue{Quantity{Quantity::Single{count}}};
    }
    case Rule::quantity_many: {
      Pairs bounds = child->children();
      std::optional<Pair> lower = bounds.next();
      std::optional<Pair> upper = bounds.next();
      if (!lower || !upper) return plain("expected value in var_value");
      std::uint16_t from = 0;
      std::uint16_t to = 0;
      if (Status status = leaf_u16(*lower, kQuantityContext, from)) return std::move(*status);
      if (Status status = leaf_u16(*upper, kQuantityContext, to)) return std::move(*status);
      if (to < from) {
        return report(*upper, cat({"for any range n-k, k>=n must be true. ", std::to_string(to),
                                   "<", std::to_string(from)}));
      }
      return VarValue{Quantity{Quantity::Many{from, to}}};
    }
    case Rule::class_argument: {
      Class course;
      if (Status status = class_into(*child, course)) return std::move(*status);
      return VarValue{std::move(course)};
    }
    case Rule::XYZ: {
      Result<Selector> selector = parse_xyz(*child, table);
      if (!selector) return std::move(selector).error();
      return VarValue{std::move(selector).value()};
    }
    case Rule::selector_list: {
      VarValue::SelectorList list;
      if (Status status = append_selector_list(*child, table, list.selectors)) {
        return std::move(*status);
      }
      return VarValue{std::move(list)};
    }
    default:
      return plain("expected value in var_value");
  }
}

std::string BRIXParser::parse_string(Pair string) {
  std::string_view text = string.as_str();
  if (text.size() < 2) return std::string();
  text = text.substr(1, text.size() - 2);

  std::size_t quote = text.find('"');
  if (quote == std::string_view::npos) return std::string(text);

  // Inside the quotes every '"' is the first of a doubled pair: keep it and
  // skip its twin, copying the runs between pairs whole.
  std::string out;
  out.reserve(text.size() - 1);
  while (quote != std::string_view::npos) {
    out.append(text.substr(0, quote + 1));
    std::size_t skip = quote + 1 < text.size() && text[quote + 1] == '"' ? quote + 2 : quote + 1;
    text.remove_prefix(skip);
    quote = text.find('"');
  }
  out.append(text);
  return out;
}

Result<std::vector<Selector>> BRIXParser::parse_selector_list(Pair selector_list,
                                                              const VariableTable& table) {
  std::vector<Selector> out;
  if (Status status = append_selector_list(selector_list, table, out)) return std::move(*status);
  return out;
}

Result<std::vector<Selector>> BRIXParser::parse_selector_single(Pair selector_single,
                                                                const VariableTable& table) {
  std::vector<Selector> out;
  if (Status status = append_selector_single(selector_single, table, out)) {
    return std::move(*status);
  }
  return out;
}

Status BRIXParser::append_selector_list(Pair selector_list, const VariableTable& table,
                                        std::vector<Selector>& out) {
  std::size_t elements = 0;
  std::size_t selectors = 0;
  for (Pair element : selector_list.children()) {
    ++elements;
    selectors += selector_count(element, table);
  }
  // Never more than the copies the meter still allows: a list that names a
  // large variable many times fails there, before its copies are made.
  const std::size_t allowed = table.meter().selectors_left(selector_list.input().size());
  out.reserve(out.size() + std::min(selectors, elements + allowed));
  for (Pair element : selector_list.children()) {
    if (Status status = append_selector_single(element, table, out)) return status;
  }
  return std::nullopt;
}

Status BRIXParser::append_selector_single(Pair selector_single, const VariableTable& table,
                                          std::vector<Selector>& out) {
  std::optional<Pair> child = selector_single.children().next();
  if (!child) return plain(kSelectorSingleShape);
  if (child->rule() != Rule::statement) return append_selector_leaf(*child, table, out);
  Box<BRIXQuery> query(BRIXQuery{});
  ++table.meter().nesting;
  Status status = query_into(*child, table, false, *query);
  --table.meter().nesting;
  if (status) return std::move(*status).wrap("could not parse nested query");
  out.push_back(Selector{Selector::Query{std::move(query)}});
  return std::nullopt;
}

Status BRIXParser::append_selector_leaf(Pair child, const VariableTable& table,
                                        std::vector<Selector>& out) {
  switch (child.rule()) {
    case Rule::XYZ: {
      Result<Selector> selector = parse_xyz(child, table);
      if (!selector) return std::move(selector).error();
      out.push_back(std::move(selector).value());
      return std::nullopt;
    }
    case Rule::class_argument: {
      // Built in place: a default Selector holds a default Class.
      Selector& added = out.emplace_back();
      if (Status status = class_into(child, *std::get_if<Class>(&added.value))) {
        out.pop_back();
        return status;
      }
      return std::nullopt;
    }
    case Rule::variable: {
      Result<const VarValue*> bound = table.lookup(child);
      if (!bound) return std::move(bound).error();
      const VarValue& value = **bound;
      if (std::holds_alternative<Quantity>(value.value) ||
          std::holds_alternative<VarValue::String>(value.value)) {
        return report(child, kind_and_name("expected selector, found ", value, child));
      }
      if (Status over = table.meter().charge(value, child)) return over;
      if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
        out.insert(out.end(), list->selectors.begin(), list->selectors.end());
      } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
        out.push_back(*selector);
      } else {
        out.push_back(Selector{*std::get_if<Class>(&value.value)});
      }
      return std::nullopt;
    }
    default:
      return plain(kSelectorSingleShape);
  }
}

Result<Class> BRIXParser::parse_class_from_pair(Pair class_argument) {
  Class course;
  if (Status status = class_into(class_argument, course)) return std::move(*status);
  return course;
}

Result<Selector> BRIXParser::parse_xyz(Pair xyz, const VariableTable& table) {
  Pairs parts = xyz.children();
  std::optional<Pair> query_name = parts.next();
  if (!query_name) return plain("XYZ should have query_name");
  std::optional<Pair> function = query_name->children().next();
  if (!function) return plain("XYZ should have query_name");

  // Every argument is built, and may fail, before the name is judged.
  Arguments args;
  for (std::optional<Pair> node = parts.next(); node; node = parts.next()) {
    Result<Argument> argument = build_argument(*node, table);
    if (!argument) return std::move(argument).error();
    if (args.count < kMaxArguments) args.values[args.count] = std::move(argument).value();
    ++args.count;
  }

  using enum ArgKind;
  switch (function->rule()) {
    case Rule::class_:
      if (args.fit({Course})) return Selector{args.take_course(0)};
      return report(xyz,
                    "CLASS function must take one <CLASS> argument of the form "
                    "`DEPARTMENT_ID CLASS_ID`");
    case Rule::placement:
      if (args.fit({Text})) return Selector{Selector::Placement{args.take_text(0)}};
      return report(
          xyz, "PLACEMENT function must take one <STRING> argument of the form `\"abcXYZ123\"`");
    case Rule::tag:
      if (args.fit({Text})) return Selector{Selector::Tag{args.take_text(0)}};
      return report(xyz,
                    "TAG function must take one <STRING> argument of the form `\"abcXYZ123\"`");
    case Rule::tag_dept:
      if (args.fit({Text, Text})) {
        return Selector{Selector::TagCode{args.take_text(0), args.take_text(1)}};
      }
      return report(xyz,
                    "TAG_DEPT function must take two <STRING>, <STRING> arguments of the form "
                    "`\"TC TAG\"`, `\"Tarrow Major Code\"`");
    case Rule::dist:
      if (args.fit({Text})) return Selector{Selector::Dist{args.take_text(0)}};
      return report(xyz,
                    "DIST function must take one <STRING> argument of the form `\"abcXYZ123\"`");
    case Rule::dist_dept:
      if (args.fit({Text, Text})) {
        return Selector{Selector::DistCode{args.take_text(0), args.take_text(1)}};
      }
      return report(xyz,
                    "DIST_DEPT function must take two <STRING>, <STRING> arguments of the form "
                    "`\"TC dist\"`, `\"Tarrow Major Code\"`");
    case Rule::range:
      if (args.fit({Course, Course})) {
        return Selector{Selector::Range{args.take_course(0), args.take_course(1)}};
      }
      return report(xyz,
                    "RANGE function must take two <CLASS>, <CLASS> arguments of the form "
                    "`DEPARTMENT_ID CLASS_ID`");
    case Rule::range_dist:
      if (args.fit({Course, Course, Text})) {
        return Selector{
            Selector::RangeDist{args.take_course(0), args.take_course(1), args.take_text(2)}};
      }
      return report(xyz,
                    "RANGE_DIST function must take three <CLASS>, <CLASS>, <STRING> arguments");
    case Rule::range_tag:
      if (args.fit({Course, Course, Text})) {
        return Selector{
            Selector::RangeTag{args.take_course(0), args.take_course(1), args.take_text(2)}};
      }
      return report(xyz, "RANGE_TAG function must take three <CLASS>, <CLASS>, <STRING> arguments");
    default: {
      std::string_view suggestion = closest_string(function->as_str(), kFunctionNames).value_or("");
      return report(*query_name, cat({"not a valid query (Did you mean: ", suggestion, ")"}));
    }
  }
}

Result<BRIXQueryFile> parse_file(Pair file, ExternValues externals) {
  return BRIXParser::parse_file(file, std::move(externals));
}

Result<VarValue> parse_extern_var_value(Pair var_value) {
  return BRIXParser::parse_var_value(var_value, VariableTable{});
}

}  // namespace brix::detail
