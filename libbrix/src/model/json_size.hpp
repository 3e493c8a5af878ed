// The length of a document's compact JSON, known before it is written.
#pragma once

#include <cstddef>

#include "brix/model.hpp"

namespace brix::detail {

// The length in bytes of the compact JSON document, for sizing a buffer
// before writing into it. It walks the whole tree, so it costs about half as
// much as writing the text.
std::size_t json_size(const BRIXQueryFile& file);

}  // namespace brix::detail
