#include "diagnostics/lint.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <variant>

#include "parser/grammar.hpp"

namespace brix::detail {
namespace {

using Course = std::tuple<std::string, int, bool>;

struct Binding {
  std::size_t start = 0, end = 0;  // the defining variable leaf
  std::optional<Pair> value;       // the var_value node; none for an extern
  bool used = false;
};

class Linter {
 public:
  Linter(std::string_view text, const Options& options) : text_(text), options_(options) {}

  void file(Pair file) {
    for (Pair statement : file.children()) {
      switch (statement.rule()) {
        case Rule::extern_decl:
          if (auto name = statement.children().next()) define(*name, std::nullopt);
          break;
        case Rule::var_assign: {
          Pairs parts = statement.children();
          std::optional<Pair> name = parts.next();
          std::optional<Pair> value = parts.next();
          if (value) uses(*value);
          if (name) define(*name, value);
          break;
        }
        case Rule::special_statement:
          requirement(statement);
          break;
        default:
          break;
      }
    }
    for (const auto& [name, binding] : order_) {
      if (!binding.used) {
        warn("W0206", binding.start, binding.end, "`" + name + "` is defined but never used",
             "remove it, or use it in a requirement");
      }
    }
  }

  std::vector<Diagnostic> take() && { return std::move(out_); }

 private:
  void warn(std::string_view code, std::size_t start, std::size_t end, std::string message,
            std::string help, std::optional<std::pair<std::size_t, std::size_t>> label = {},
            std::string label_text = {}) {
    if (std::find(options_.allowed.begin(), options_.allowed.end(), code) !=
        options_.allowed.end()) {
      return;
    }
    if (allowed_above(code, start)) return;
    Diagnostic d;
    d.severity = Severity::Warning;
    d.code = std::string(code);
    d.message = std::move(message);
    d.span = span_of(text_, start, end);
    d.help = std::move(help);
    if (label) d.labels.push_back({span_of(text_, label->first, label->second), label_text});
    out_.push_back(std::move(d));
  }

  // "// brix: allow(W0201, W0205)" on the line before the one holding `at`.
  bool allowed_above(std::string_view code, std::size_t at) const {
    const std::size_t line_start = text_.rfind('\n', at == 0 ? 0 : at - 1);
    if (line_start == std::string_view::npos || line_start == 0) return false;
    const std::size_t above_start = text_.rfind('\n', line_start - 1);
    const std::size_t from = above_start == std::string_view::npos ? 0 : above_start + 1;
    const std::string_view above = text_.substr(from, line_start - from);
    const std::size_t allow = above.find("// brix: allow(");
    if (allow == std::string_view::npos) return false;
    const std::string_view list = above.substr(allow + 15, above.find(')', allow) - allow - 15);
    return list.find(code) != std::string_view::npos;
  }

  void define(Pair name_leaf, std::optional<Pair> value) {
    const std::string name(name_leaf.as_str());
    Binding* earlier = lookup(name);
    if (earlier != nullptr && !earlier->used) {
      warn("W0207", name_leaf.start(), name_leaf.end(),
           "`" + name + "` is assigned again before its value was used",
           "remove the earlier assignment, or use it first",
           std::pair{earlier->start, earlier->end}, "first assigned here");
      // The earlier value is reported here; it is not also unused.
      earlier->used = true;
    }
    Binding binding{name_leaf.start(), name_leaf.end(), value, false};
    order_.emplace_back(name, binding);
    bindings_[name] = order_.size() - 1;
  }

  Binding* lookup(std::string_view name) {
    auto it = bindings_.find(std::string(name));
    return it == bindings_.end() ? nullptr : &order_[it->second].second;
  }

  void uses(Pair node) {
    if (node.rule() == Rule::variable) {
      if (Binding* binding = lookup(node.as_str())) binding->used = true;
      return;
    }
    for (Pair child : node.children()) uses(child);
  }

  void requirement(Pair special) {
    Pairs parts = special.children();
    std::optional<Pair> statement = parts.next();
    std::optional<Pair> description = parts.next();
    std::optional<Pair> priority = parts.next();
    if (priority) uses(*priority);
    if (description) {
      uses(*description);
      std::optional<Pair> leaf = description;
      if (description->rule() == Rule::variable) {
        Binding* binding = lookup(description->as_str());
        leaf = binding && binding->value ? binding->value->children().next() : std::nullopt;
      }
      if (leaf && leaf->rule() == Rule::string) {
        const std::string_view inside = leaf->as_str().substr(1, leaf->as_str().size() - 2);
        if (inside.find_first_not_of(" \t") == std::string_view::npos) {
          warn("W0205", description->start(), description->end(), "the description is empty",
               "say what the requirement asks for; registrars and students read it");
        }
      }
    }
    if (statement) {
      uses(*statement);
      query(*statement);
    }
  }

  // Distinct courses a selector can supply, when it is a closed list of
  // courses; nothing when it names anything open (tags, ranges, queries).
  bool courses_of(Pair node, std::set<Course>& out, int depth = 0) {
    if (depth > 64) return false;
    switch (node.rule()) {
      case Rule::selector:
      case Rule::selector_single:
      case Rule::var_value: {
        std::optional<Pair> child = node.children().next();
        return child && courses_of(*child, out, depth + 1);
      }
      case Rule::selector_list:
        for (Pair item : node.children()) {
          if (!courses_of(item, out, depth + 1)) return false;
        }
        return true;
      case Rule::class_argument:
        out.insert(course(node));
        return true;
      case Rule::XYZ: {
        Pairs parts = node.children();
        std::optional<Pair> name = parts.next();
        std::optional<Pair> argument = parts.next();
        if (!name || !argument || parts.next()) return false;
        std::optional<Pair> function = name->children().next();
        std::optional<Pair> course_node = argument->children().next();
        if (!function || function->rule() != Rule::class_ || !course_node) return false;
        return courses_of(*course_node, out, depth + 1);
      }
      case Rule::variable: {
        Binding* binding = lookup(node.as_str());
        return binding && binding->value && courses_of(*binding->value, out, depth + 1);
      }
      default:
        return false;
    }
  }

  static Course course(Pair class_argument) {
    Pairs parts = class_argument.children();
    std::optional<Pair> department = parts.next();
    std::optional<Pair> id = parts.next();
    std::string_view digits = id ? id->as_str() : "";
    const bool lab = digits.ends_with('L');
    int number = 0;
    for (char c : digits.substr(0, 4)) number = number * 10 + (c - '0');
    return {std::string(department ? department->as_str() : ""), number, lab};
  }

  // The count of a quantity node: lower and upper bound, when written as
  // numbers or held by a variable.
  std::optional<std::pair<long, long>> count(Pair quantity) {
    std::optional<Pair> child = quantity.children().next();
    if (child && child->rule() == Rule::variable) {
      Binding* binding = lookup(child->as_str());
      if (!binding || !binding->value) return std::nullopt;
      child = binding->value->children().next();
    }
    if (!child) return std::nullopt;
    auto number = [](Pair leaf) { return std::stol(std::string(leaf.as_str().substr(0, 6))); };
    if (child->rule() == Rule::quantity_single) return std::pair{number(*child), number(*child)};
    if (child->rule() == Rule::quantity_many) {
      Pairs bounds = child->children();
      std::optional<Pair> lower = bounds.next();
      std::optional<Pair> upper = bounds.next();
      if (lower && upper) return std::pair{number(*lower), number(*upper)};
    }
    return std::nullopt;
  }

  void query(Pair statement) {
    Pairs parts = statement.children();
    std::optional<Pair> keyword = parts.next();
    std::optional<Pair> quantity = parts.next();
    parts.next();
    std::optional<Pair> selector = parts.next();
    if (!keyword || !quantity || !selector) return;
    selectors(*selector);
    std::set<Course> courses;
    const std::optional<std::pair<long, long>> wanted = count(*quantity);
    if (!wanted || !courses_of(*selector, courses)) return;
    const auto size = static_cast<long>(courses.size());
    const std::string have = std::to_string(size) + " distinct course" + (size == 1 ? "" : "s");
    if (keyword->rule() == Rule::select && wanted->first > size) {
      warn("W0201", quantity->start(), quantity->end(),
           "this SELECT asks for " + std::to_string(wanted->first) + " courses but can only get " +
               have,
           "lower the count, or add courses to the list");
    } else if (keyword->rule() == Rule::limit && wanted->second >= size) {
      warn("W0208", quantity->start(), quantity->end(),
           "this LIMIT allows " + std::to_string(wanted->second) + " of " + have +
               ", so it limits nothing",
           "lower the count, or remove the LIMIT");
    }
  }

  // Nested queries, duplicates in lists and RANGE arguments, below a selector.
  void selectors(Pair node) {
    switch (node.rule()) {
      case Rule::statement:
        query(node);
        return;
      case Rule::selector_list:
        duplicates(node);
        break;
      case Rule::XYZ:
        range(node);
        return;
      default:
        break;
    }
    for (Pair child : node.children()) selectors(child);
  }

  // An item's identity: a course by its parts, anything else by its text
  // without spaces outside strings.
  std::string identity(Pair item) {
    std::optional<Pair> child = item.children().next();
    if (child && child->rule() == Rule::class_argument) {
      const auto [department, number, lab] = course(*child);
      return department + " " + std::to_string(number) + (lab ? "L" : "");
    }
    std::string key;
    bool in_string = false;
    for (char c : item.as_str()) {
      if (c == '"') in_string = !in_string;
      if (!in_string && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) continue;
      key += c;
    }
    return key;
  }

  void duplicates(Pair list) {
    std::map<std::string, Pair> seen;
    for (Pair item : list.children()) {
      auto [it, fresh] = seen.emplace(identity(item), item);
      if (!fresh) {
        std::string message = "`";
        message.append(item.as_str()).append("` is already in this list");
        warn("W0204", item.start(), item.end(), std::move(message),
             "remove the second one; a list counts each selector once",
             std::pair{it->second.start(), it->second.end()}, "first listed here");
      }
    }
  }

  void range(Pair xyz) {
    Pairs parts = xyz.children();
    std::optional<Pair> name = parts.next();
    std::optional<Pair> function = name ? name->children().next() : std::nullopt;
    if (!function || (function->rule() != Rule::range && function->rule() != Rule::range_dist &&
                      function->rule() != Rule::range_tag)) {
      return;
    }
    std::optional<Pair> first = parts.next();
    std::optional<Pair> second = parts.next();
    std::optional<Pair> from = first ? first->children().next() : std::nullopt;
    std::optional<Pair> to = second ? second->children().next() : std::nullopt;
    if (!from || !to || from->rule() != Rule::class_argument ||
        to->rule() != Rule::class_argument) {
      return;
    }
    const Course low = course(*from);
    const Course high = course(*to);
    if (std::get<0>(low) != std::get<0>(high)) {
      warn("W0203", xyz.start(), xyz.end(),
           "this range runs from " + std::get<0>(low) + " to " + std::get<0>(high) +
               ", two departments",
           "a range covers the courses of one department; list each department's range");
    } else if (std::get<1>(low) > std::get<1>(high)) {
      warn("W0202", xyz.start(), xyz.end(),
           "this range starts after it ends, so it holds no course", "swap the two courses",
           std::pair{from->start(), to->end()}, "reversed");
    }
  }

  std::string_view text_;
  const Options& options_;
  std::vector<std::pair<std::string, Binding>> order_;
  std::map<std::string, std::size_t> bindings_;
  std::vector<Diagnostic> out_;
};

}  // namespace

std::vector<Diagnostic> lint(std::string_view text, std::string_view parsed,
                             const Options& options) {
  std::variant<ParseTree, Error> tree = parse_rule(Rule::file, parsed);
  const ParseTree* file = std::get_if<ParseTree>(&tree);
  if (file == nullptr) return {};
  std::optional<Pair> root = file->pairs().next();
  if (!root) return {};
  Linter linter(text, options);
  linter.file(*root);
  std::vector<Diagnostic> out = std::move(linter).take();
  std::stable_sort(out.begin(), out.end(), [](const Diagnostic& a, const Diagnostic& b) {
    return a.span->start.offset < b.span->start.offset;
  });
  return out;
}

}  // namespace brix::detail
