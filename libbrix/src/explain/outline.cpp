#include "explain/outline.hpp"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include "parser/grammar.hpp"

namespace brix::detail {
namespace {

TextSpan span_of(Pair node) {
  return {node.start(), node.end()};
}

OutlineItem item_at(Pair node) {
  OutlineItem item;
  item.span = span_of(node);
  return item;
}

Pair first_child(Pair node) {
  return *node.children().next();
}

// What a variable holds, as far as the outline cares: the selectors it
// splices in, with where they are written.
struct VariableShape {
  std::vector<OutlineItem> items;
  bool list = false;
};

// Reads the places of every statement from the grammar's tree.
class ShapeReader {
 public:
  explicit ShapeReader(const ExternValues& externals) : externals_(externals) {}

  void add(Pair statement) {
    switch (statement.rule()) {
      case Rule::extern_decl:
        add_extern(first_child(statement).as_str());
        break;
      case Rule::var_assign:
        add_assignment(statement);
        break;
      case Rule::special_statement:
        add_requirement(statement);
        break;
      default:
        break;
    }
  }

  std::vector<OutlineRequirement> take() && { return std::move(requirements_); }

 private:
  void add_extern(std::string_view name) {
    const auto value = externals_.find(std::string(name));
    if (value == externals_.end()) return;
    VariableShape shape;
    if (const auto* list = std::get_if<VarValue::SelectorList>(&value->second.value)) {
      shape.items.resize(list->selectors.size());
      shape.list = true;
    } else if (std::holds_alternative<Selector>(value->second.value) ||
               std::holds_alternative<Class>(value->second.value)) {
      shape.items.resize(1);
    }
    variables_[std::string(name)] = std::move(shape);
  }

  void add_assignment(Pair statement) {
    Pairs children = statement.children();
    const std::string name(children.next()->as_str());
    const Pair value = first_child(*children.next());
    VariableShape shape;
    switch (value.rule()) {
      case Rule::selector_list:
        shape.list = true;
        list_items(value, shape.items);
        break;
      case Rule::XYZ:
      case Rule::class_argument:
        shape.items.push_back(item_at(value));
        break;
      default:
        break;
    }
    variables_[name] = std::move(shape);
  }

  void add_requirement(Pair statement) {
    Pairs children = statement.children();
    OutlineRequirement requirement;
    requirement.span = span_of(statement);
    requirement.query = query_shape(*children.next());
    if (const Pair description = *children.next(); description.rule() == Rule::variable) {
      requirement.description_variable = description.as_str();
    }
    if (const std::optional<Pair> priority = children.next()) {
      requirement.priority_written = true;
      if (priority->rule() == Rule::variable) requirement.priority_variable = priority->as_str();
    }
    requirements_.push_back(std::move(requirement));
  }

  OutlineQuery query_shape(Pair statement) {
    OutlineQuery query;
    query.span = span_of(statement);
    Pairs children = statement.children();
    children.next();  // SELECT or LIMIT
    if (const Pair count = first_child(*children.next()); count.rule() == Rule::variable) {
      query.count_variable = count.as_str();
    }
    children.next();  // FROM
    const Pair selector = first_child(*children.next());
    if (selector.rule() == Rule::selector_list) {
      list_items(selector, query.items);
    } else {
      single_items(selector, query.items);
    }
    return query;
  }

  void list_items(Pair selector_list, std::vector<OutlineItem>& out) {
    for (Pair single : selector_list.children()) single_items(single, out);
  }

  void single_items(Pair selector_single, std::vector<OutlineItem>& out) {
    const Pair node = first_child(selector_single);
    switch (node.rule()) {
      case Rule::statement: {
        OutlineItem item = item_at(node);
        item.nested.push_back(query_shape(node));
        out.push_back(std::move(item));
        break;
      }
      case Rule::variable: {
        const auto found = variables_.find(std::string(node.as_str()));
        if (found == variables_.end()) break;
        for (const OutlineItem& held : found->second.items) {
          OutlineItem& item = out.emplace_back(held);
          item.variable = node.as_str();
          item.use = span_of(node);
          item.from_list = found->second.list;
        }
        break;
      }
      default:
        out.push_back(item_at(node));
        break;
    }
  }

  const ExternValues& externals_;
  std::unordered_map<std::string, VariableShape> variables_;
  std::vector<OutlineRequirement> requirements_;
};

// Points the shapes at the document's values. A shape that does not fit its
// query (an extern's selectors have no shape) is laid anew from the values.
void attach(OutlineQuery& shape, const BRIXQuery& query) {
  shape.query = &query;
  if (shape.items.size() != query.selector.size()) shape.items.assign(query.selector.size(), {});
  for (std::size_t i = 0; i < shape.items.size(); ++i) {
    OutlineItem& item = shape.items[i];
    item.selector = &query.selector[i];
    if (const auto* nested = std::get_if<Selector::Query>(&item.selector->value)) {
      if (item.nested.empty()) item.nested.emplace_back();
      attach(item.nested.front(), *nested->query);
    } else {
      item.nested.clear();
    }
  }
}

}  // namespace

Result<Outline> build_outline(std::string_view text, const ExternValues& externals) {
  Result<ParseResult> parsed = parse_with_externals(text, externals);
  if (!parsed) return std::move(parsed).error();
  // The text is read: the grammar's tree gives the places of its statements.
  ShapeReader shapes(externals);
  std::variant<ParseTree, Error> tree = parse_rule(Rule::file, text);
  if (const auto* whole = std::get_if<ParseTree>(&tree)) {
    for (Pair statement : whole->pairs().next()->children()) shapes.add(statement);
  }
  Outline outline{text, std::move(*parsed), std::move(shapes).take()};
  const std::vector<BRIXRequirement>& requirements = outline.result.parsed_brix_file.requirements;
  for (std::size_t i = 0; i < outline.requirements.size() && i < requirements.size(); ++i) {
    outline.requirements[i].requirement = &requirements[i];
    attach(outline.requirements[i].query, requirements[i].query);
  }
  return outline;
}

LineIndex::LineIndex(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    starts_.push_back(at + 1);
  }
}

std::size_t LineIndex::line_of(std::size_t offset) const {
  return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                  starts_.begin());
}

}  // namespace brix::detail
