// The words in which the explanation, the page and the graph name courses,
// counts and selectors, so that the three say the same thing the same way.
#pragma once

#include <string>
#include <string_view>

#include "brix/brix.hpp"

namespace brix::detail {

// "MATH 1210", "CHEM 1610L": the course as the catalog writes it.
std::string course_text(const Class& course);
// "MATH 3000-4999" within one department, "CHEM 1610 to CHEM 1620L" otherwise.
std::string range_text(const Class& from, const Class& to);
// The count of a query as a chip: "2 of", "2-3 of", "at most 1", "at most 1-2".
std::string count_chip(const BRIXQuery& query);
// One selector as a chip: "MATH 1210", "tagged \"Honors\"", "MATH 3000-4999".
std::string selector_chip(const Selector& selector);
// The selector's variant name, "Class" to "Query".
std::string_view selector_kind(const Selector& selector);
// The text between double quotes, as people write a quotation.
std::string quoted(std::string_view text);

}  // namespace brix::detail
