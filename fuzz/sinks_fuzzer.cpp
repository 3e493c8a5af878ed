// The sinks agree: the compact JSON written while reading is write_json of the
// data model read from the same text, strict JSON, and indenting it gives the
// indented one byte for byte; a failure is the same error from both, located
// in the text. Without externs the model is what parse gives. The input is a
// BRIX text, then after a line "%%" one extern per line as NAME=VALUE; values
// that do not parse must fail cleanly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "json_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find("\n%%\n");
  const std::string_view text = input.substr(0, split);
  brix::ExternValues externals;
  for (std::string_view rest = split == std::string_view::npos ? "" : input.substr(split + 4);
       !rest.empty();) {
    const std::size_t eol = rest.find('\n');
    const std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view value_text = line.substr(eq + 1);
    if (auto value = brix::parse_extern_value(value_text)) {
      externals.insert_or_assign(std::string(line.substr(0, eq)), std::move(*value));
    } else {
      brix::fuzz::check_error(value.error(), value_text);
    }
  }

  const brix::Result<brix::ParseResult> model = brix::parse_with_externals(text, externals);
  if (externals.empty()) {
    const brix::Result<brix::ParseResult> plain = brix::parse(text);
    brix::fuzz::check(plain.ok() == model.ok() &&
                          (plain.ok() ? *plain == *model : plain.error() == model.error()),
                      "parse is parse_with_externals without externs");
  }
  std::string compact;
  const brix::Result<std::size_t> written = brix::parse_to_json(text, externals, compact);
  brix::fuzz::check(written.ok() == model.ok(), "both sinks read the same texts");
  if (!model.ok()) {
    brix::fuzz::check(written.error() == model.error(), "both sinks give the same error");
    brix::fuzz::check_error(model.error(), text);
    return 0;
  }
  std::string expected;
  brix::write_json(model->parsed_brix_file, expected);
  brix::fuzz::check(compact == expected, "the JSON sink writes what write_json writes");
  brix::fuzz::check_json(compact);
  std::string pretty;
  brix::write_json_pretty(model->parsed_brix_file, pretty);
  std::string indented;
  brix::indent_json(compact, indented);
  brix::fuzz::check(indented == pretty,
                    "indenting the compact document lays it out as the walk does");
  return 0;
}
