// Which catalog the builder checks department codes against. The library's
// own entry points use the built-in one; a check given another catalog puts
// it in force on its thread for the length of the call.
#pragma once

#include "brix/catalog.hpp"

namespace brix::detail {

// The catalog in force on this thread, or null for the built-in one.
const Catalog* catalog_in_force();

class CatalogScope {
 public:
  explicit CatalogScope(const Catalog* catalog);
  ~CatalogScope();
  CatalogScope(const CatalogScope&) = delete;
  CatalogScope& operator=(const CatalogScope&) = delete;

 private:
  const Catalog* previous_;
};

}  // namespace brix::detail
