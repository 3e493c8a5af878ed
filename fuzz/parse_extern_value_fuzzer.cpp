// Any value text: a value whose diagnostic text is valid UTF-8, or a
// well-formed error located in the text; the same answer when parsed twice.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "json_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto first = brix::parse_extern_value(text);
  auto second = brix::parse_extern_value(text);
  brix::fuzz::check(first.ok() == second.ok(), "parse_extern_value is deterministic");
  if (first.ok()) {
    brix::fuzz::check(*first == *second, "parse_extern_value is deterministic");
    brix::fuzz::check(brix::fuzz::valid_utf8(brix::diagnostic_text(*first)),
                      "value's diagnostic text is valid UTF-8");
  } else {
    brix::fuzz::check(first.error() == second.error(), "parse_extern_value is deterministic");
    brix::fuzz::check_error(first.error(), text);
  }
  return 0;
}
