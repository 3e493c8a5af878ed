// Any text: the formatter refuses exactly what parse refuses, with the same
// error; otherwise its output parses to the same result (or fails the same
// way, up to the error's place) and formats to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "brix/diagnostics.hpp"
#include "brix/format.hpp"
#include "json_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  brix::Result<std::string> out = brix::format(text);
  brix::Result<brix::ParseResult> before = brix::parse(text);
  if (!out) {
    brix::fuzz::check(!before.ok() && out.error() == before.error(),
                      "the formatter refuses only what parse refuses, with its error");
    const std::string_view code = brix::error_code(out.error());
    brix::fuzz::check(code == "E0101" || code == "E0501", "the formatter refuses only syntax");
    return 0;
  }
  brix::Result<brix::ParseResult> after = brix::parse(*out);
  brix::fuzz::check(before.ok() == after.ok(), "formatted text parses as the original does");
  if (before.ok()) {
    brix::fuzz::check(*before == *after, "formatted text reads the same");
  } else {
    brix::fuzz::check(brix::error_code(before.error()) == brix::error_code(after.error()),
                      "formatted text fails the same way");
  }
  brix::Result<std::string> again = brix::format(*out);
  brix::fuzz::check(again.ok() && *again == *out, "formatting is idempotent");
  return 0;
}
