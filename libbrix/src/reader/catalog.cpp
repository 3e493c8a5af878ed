#include "reader/catalog.hpp"

#include <algorithm>

#include "tarrow_departments/tarrow_departments.hpp"

namespace brix::detail {

Catalog::Catalog() : codes_(tarrow_departments_list()) {}

bool Catalog::contains(std::string_view code) const {
  if (built_in_) return is_department(code);
  return std::binary_search(codes_.begin(), codes_.end(), code);
}

}  // namespace brix::detail
