#include "tarrow_departments/catalog_scope.hpp"

namespace brix::detail {
namespace {
thread_local const Catalog* in_force = nullptr;
}  // namespace

const Catalog* catalog_in_force() {
  return in_force;
}

CatalogScope::CatalogScope(const Catalog* catalog) : previous_(in_force) {
  in_force = catalog;
}

CatalogScope::~CatalogScope() {
  in_force = previous_;
}

}  // namespace brix::detail
