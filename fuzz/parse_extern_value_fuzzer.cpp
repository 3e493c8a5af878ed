// Any value text: a value with a non-empty diagnostic text, or a well-formed
// error; the same answer when parsed twice.
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
    brix::fuzz::check(!brix::diagnostic_text(*first).empty(), "diagnostic text is not empty");
  } else {
    brix::fuzz::check_error(first.error());
  }
  return 0;
}
