// Any text: a result whose encodings agree, or a well-formed error located in
// the text; the same answer when parsed twice.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto first = brix::parse(text);
  auto second = brix::parse(text);
  brix::fuzz::check(first.ok() == second.ok(), "parse is deterministic");
  if (first.ok()) {
    brix::fuzz::check(*first == *second, "parse is deterministic");
    brix::fuzz::check_result(*first);
  } else {
    brix::fuzz::check(first.error() == second.error(), "parse is deterministic");
    brix::fuzz::check_error(first.error(), text);
  }
  return 0;
}
