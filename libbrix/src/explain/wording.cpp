#include "explain/wording.hpp"

#include <algorithm>

#include "reader/functions.hpp"

namespace brix::detail {

std::string course_text(const Class& course) {
  std::string out(course.department_id.view());
  out += ' ';
  const std::string number = std::to_string(course.course_number);
  out.append(4 - std::min<std::size_t>(4, number.size()), '0');
  out += number;
  if (course.lab) out += 'L';
  return out;
}

std::string range_text(const Class& from, const Class& to) {
  if (from.department_id == to.department_id && !from.lab && !to.lab) {
    std::string out = course_text(from);
    out += '-';
    out += course_text(to).substr(from.department_id.size() + 1);
    return out;
  }
  return course_text(from) + " to " + course_text(to);
}

std::string count_chip(const BRIXQuery& query) {
  std::string out = query.type == QueryType::Limit ? "at most " : "";
  if (const auto* single = std::get_if<Quantity::Single>(&query.quantity.value)) {
    out += std::to_string(single->value);
  } else {
    const auto& many = std::get<Quantity::Many>(query.quantity.value);
    out += std::to_string(many.from) + "-" + std::to_string(many.to);
  }
  if (query.type == QueryType::Select) out += " of";
  return out;
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  out += text;
  out += '"';
  return out;
}

std::string selector_chip(const Selector& selector) {
  struct Visitor {
    std::string operator()(const Class& c) const { return course_text(c); }
    std::string operator()(const Selector::Placement& p) const {
      return "placement " + quoted(p.value);
    }
    std::string operator()(const Selector::Tag& t) const { return "tagged " + quoted(t.value); }
    std::string operator()(const Selector::TagCode& t) const {
      return "tagged " + quoted(t.tag) + " for " + quoted(t.code);
    }
    std::string operator()(const Selector::Dist& d) const {
      return "distribution " + quoted(d.value);
    }
    std::string operator()(const Selector::DistCode& d) const {
      return "distribution " + quoted(d.dist) + " for " + quoted(d.code);
    }
    std::string operator()(const Selector::Range& r) const { return range_text(r.from, r.to); }
    std::string operator()(const Selector::RangeDist& r) const {
      return range_text(r.from, r.to) + ", distribution " + quoted(r.dist);
    }
    std::string operator()(const Selector::RangeTag& r) const {
      return range_text(r.from, r.to) + ", tagged " + quoted(r.tag);
    }
    std::string operator()(const Selector::Query& q) const { return count_chip(*q.query); }
  };
  return std::visit(Visitor{}, selector.value);
}

std::string_view selector_kind(const Selector& selector) {
  const std::size_t i = selector.value.index();
  return i < kFunctions.size() ? kFunctions[i].variant : "Query";
}

}  // namespace brix::detail
