// Plain-English sentences for each requirement. A query whose selectors are
// all flat becomes one sentence; one with nested queries becomes a sentence
// followed by one indented line per selector.
#include "brix/explain.hpp"

#include "explain/outline.hpp"
#include "explain/wording.hpp"

namespace brix {
namespace {

using detail::OutlineItem;
using detail::OutlineQuery;
using detail::OutlineRequirement;

bool is_plural(const BRIXQuery& query) {
  const auto* single = std::get_if<Quantity::Single>(&query.quantity.value);
  return single == nullptr || single->value != 1;
}

// "Take 2", "Take 2 to 3", "At most 1", "Between 1 and 2".
std::string head(const OutlineQuery& query) {
  const BRIXQuery& q = *query.query;
  std::string out;
  if (const auto* single = std::get_if<Quantity::Single>(&q.quantity.value)) {
    out = (q.type == QueryType::Select ? "Take " : "At most ") + std::to_string(single->value);
  } else {
    const auto& many = std::get<Quantity::Many>(q.quantity.value);
    const std::string from = std::to_string(many.from);
    const std::string to = std::to_string(many.to);
    if (q.type == QueryType::Limit) {
      out = "Between " + from + " and " + to;
    } else {
      out = "Take " + (many.from == many.to ? from : from + " to " + to);
    }
  }
  if (!query.count_variable.empty()) out += " (" + query.count_variable + ")";
  return out;
}

// A LIMIT says what counts: "At most 1 of: A, B counts".
std::string tail(const BRIXQuery& query) {
  if (query.type == QueryType::Select) return "";
  return is_plural(query) ? " count" : " counts";
}

// "the core list ($core)"
std::string list_name(std::string_view variable) {
  std::string words(variable.substr(1));
  for (char& c : words) {
    if (c == '_') c = ' ';
  }
  return "the " + words + " list (" + std::string(variable) + ")";
}

std::string source_name(const OutlineItem& item) {
  return item.from_list ? list_name(item.variable) : item.variable;
}

// What a selector that stands for many courses selects, after "courses":
// "tagged \"Honors\"", "from MATH 3000-4999". Empty for the others.
std::string set_phrase(const Selector& selector) {
  using detail::quoted;
  using detail::range_text;
  struct Visitor {
    std::string operator()(const Class&) const { return ""; }
    std::string operator()(const Selector::Placement&) const { return ""; }
    std::string operator()(const Selector::Query&) const { return ""; }
    std::string operator()(const Selector::Tag& t) const { return "tagged " + quoted(t.value); }
    std::string operator()(const Selector::TagCode& t) const {
      return "tagged " + quoted(t.tag) + " for the major code " + quoted(t.code);
    }
    std::string operator()(const Selector::Dist& d) const {
      return "with distribution code " + quoted(d.value);
    }
    std::string operator()(const Selector::DistCode& d) const {
      return "with distribution code " + quoted(d.dist) + " for the major code " + quoted(d.code);
    }
    std::string operator()(const Selector::Range& r) const {
      return "from " + range_text(r.from, r.to);
    }
    std::string operator()(const Selector::RangeDist& r) const {
      return "from " + range_text(r.from, r.to) + " with distribution code " + quoted(r.dist);
    }
    std::string operator()(const Selector::RangeTag& r) const {
      return "from " + range_text(r.from, r.to) + " tagged " + quoted(r.tag);
    }
  };
  return std::visit(Visitor{}, selector.value);
}

// One selector among others: "MATH 1210", "CHEM 1610L (lab)", "any course
// tagged \"Honors\"".
std::string item_phrase(const Selector& selector) {
  if (const auto* course = std::get_if<Class>(&selector.value)) {
    return detail::course_text(*course) + (course->lab ? " (lab)" : "");
  }
  if (const auto* placement = std::get_if<Selector::Placement>(&selector.value)) {
    return "the placement result " + detail::quoted(placement->value);
  }
  return "any course " + set_phrase(selector);
}

bool same_use(const OutlineItem& a, const OutlineItem& b) {
  return !a.variable.empty() && a.variable == b.variable && a.use.start == b.use.start &&
         a.use.end == b.use.end;
}

// The selectors in a row, each run that one variable brought in marked with
// its name: "MATH 1210, MATH 1220 (from the calculus list ($calculus)), MATH 2210".
std::string item_list(const std::vector<OutlineItem>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += ", ";
    out += item_phrase(*items[i].selector);
    const bool run_ends = i + 1 == items.size() || !same_use(items[i], items[i + 1]);
    if (!items[i].variable.empty() && run_ends) out += " (from " + source_name(items[i]) + ")";
  }
  return out;
}

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void requirement(const OutlineRequirement& requirement) {
    const BRIXRequirement& r = *requirement.requirement;
    std::string note = std::string(r.description.view());
    if (requirement.priority_written || r.priority != 1) {
      note += "; priority " + std::to_string(r.priority);
      if (!requirement.priority_variable.empty())
        note += " (" + requirement.priority_variable + ")";
    }
    sentence_block(requirement.query, 0, " (" + note + ")");
  }

 private:
  // The query's sentence on a line of its own at `depth`, then its nested
  // lines one level deeper.
  void sentence_block(const OutlineQuery& query, std::size_t depth, const std::string& note) {
    const BRIXQuery& q = *query.query;
    const std::vector<OutlineItem>& items = query.items;
    bool nested = false;
    for (const OutlineItem& item : items) nested = nested || !item.nested.empty();

    std::string sentence = head(query);
    if (nested) {
      sentence += " of the following" + tail(q);
    } else if (items.size() == 1 && !set_phrase(*items[0].selector).empty()) {
      sentence += is_plural(q) ? " courses " : " course ";
      sentence += set_phrase(*items[0].selector);
      if (!items[0].variable.empty()) sentence += " (from " + source_name(items[0]) + ")";
      sentence += tail(q);
    } else if (items.size() == 1 && q.type == QueryType::Select && !is_plural(q) &&
               query.count_variable.empty() && items[0].variable.empty()) {
      sentence = "Take " + item_phrase(*items[0].selector);
    } else if (!items.empty() && items.front().from_list && same_use(items.front(), items.back())) {
      std::string list;
      for (const OutlineItem& item : items) {
        if (!list.empty()) list += ", ";
        list += item_phrase(*item.selector);
      }
      sentence += " from " + list_name(items.front().variable) + ": " + list + tail(q);
    } else {
      sentence += " of: " + item_list(items) + tail(q);
    }
    line(depth, sentence + "." + note);

    if (!nested) return;
    for (const OutlineItem& item : items) {
      const std::string from = item.variable.empty() ? "" : " (from " + source_name(item) + ")";
      if (!item.nested.empty()) {
        sentence_block(item.nested.front(), depth + 1, from);
      } else {
        line(depth + 1, item_phrase(*item.selector) + from + ".");
      }
    }
  }

  void line(std::size_t depth, const std::string& text) {
    if (depth != 0) out_.append(2 * (depth - 1), ' ').append("- ");
    out_ += text;
    out_ += '\n';
  }

  std::string& out_;
};

}  // namespace

Result<std::string> explain(std::string_view text, const ExternValues& externals) {
  Result<detail::Outline> outline = detail::build_outline(text, externals);
  if (!outline) return std::move(outline).error();
  std::string out;
  if (outline->requirements.empty()) return std::string("No requirements.\n");
  Writer writer(out);
  for (const OutlineRequirement& requirement : outline->requirements) {
    if (!out.empty()) out += '\n';
    writer.requirement(requirement);
  }
  return out;
}

}  // namespace brix
