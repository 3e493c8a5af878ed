// The department codes of Tarrow's course catalog, embedded in the library.
#pragma once

#include <span>
#include <string_view>

namespace brix::detail {

// The catalog's codes sorted byte-wise; built once per process on first use.
std::span<const std::string_view> tarrow_departments_list();

// True when `code` is one of the catalog's codes (exact, case-sensitive).
bool is_department(std::string_view code);

}  // namespace brix::detail
