// The input is a BRIX text, then after a line "%%" one extern per line as
// NAME=VALUE. Values that parse are supplied; the others must fail cleanly.
// The file's result or error is checked like the plain parser's, and must be
// the same when parsed twice.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "json_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find("\n%%\n");
  std::string_view text = input.substr(0, split);
  brix::ExternValues externals;
  if (split != std::string_view::npos) {
    std::string_view rest = input.substr(split + 4);
    while (!rest.empty()) {
      std::size_t eol = rest.find('\n');
      std::string_view line = rest.substr(0, eol);
      rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
      std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      std::string_view value_text = line.substr(eq + 1);
      auto value = brix::parse_extern_value(value_text);
      if (value.ok()) {
        externals.insert_or_assign(std::string(line.substr(0, eq)), std::move(*value));
      } else {
        brix::fuzz::check_error(value.error(), value_text);
      }
    }
  }
  auto first = brix::parse_with_externals(text, externals);
  auto second = brix::parse_with_externals(text, std::move(externals));
  brix::fuzz::check(first.ok() == second.ok(), "parse_with_externals is deterministic");
  if (first.ok()) {
    brix::fuzz::check(*first == *second, "parse_with_externals is deterministic");
    brix::fuzz::check_result(*first);
  } else {
    brix::fuzz::check(first.error() == second.error(), "parse_with_externals is deterministic");
    brix::fuzz::check_error(first.error(), text);
  }
  return 0;
}
