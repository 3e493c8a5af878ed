// The reader's view of the catalog an Options names: the built-in one when
// it names none. The view points into the Catalog, which must outlive it.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "brix/catalog.hpp"
#include "reader/catalog.hpp"

namespace brix::detail {

class CatalogInUse {
 public:
  explicit CatalogInUse(const std::optional<brix::Catalog>& catalog) : given_(catalog.has_value()) {
    if (given_) codes_.assign(catalog->codes().begin(), catalog->codes().end());
  }
  detail::Catalog get() const { return given_ ? detail::Catalog(codes_) : detail::Catalog(); }

 private:
  bool given_;
  std::vector<std::string_view> codes_;  // sorted, as Catalog keeps them
};

}  // namespace brix::detail
