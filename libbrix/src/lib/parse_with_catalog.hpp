// parse_with_externals against a catalog the caller gives: what check and
// the command use when the departments are not the built-in ones.
#pragma once

#include <string_view>

#include "brix/brix.hpp"
#include "brix/catalog.hpp"

namespace brix::detail {

// `catalog` null: the built-in one.
Result<ParseResult> parse_with_catalog(std::string_view text, const ExternValues& externals,
                                       const Catalog* catalog);

}  // namespace brix::detail
