// The reader accepts exactly the texts the grammar accepts: as a whole file,
// and as one value (where the grammar's match may stop early, but then only
// at text that is not layout, which an extern value refuses).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "brix/brix.hpp"
#include "json_check.hpp"
#include "lib/utf8.hpp"
#include "parser/grammar.hpp"
#include "reader/reader.hpp"

namespace {

using brix::detail::ReadEnd;
using NullSink = brix::detail::Sink<>;

bool only_layout(std::string_view rest) {
  while (!rest.empty()) {
    if (rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r' || rest[0] == '\n') {
      rest.remove_prefix(1);
    } else if (rest.substr(0, 2) == "//") {
      const std::size_t lf = rest.find('\n');
      rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (brix::detail::find_invalid_utf8(text)) return 0;
  const brix::ExternValues none;
  NullSink sink;

  brix::detail::BRIXParser<NullSink> file_reader(text, none, sink);
  const bool reader_reads = file_reader.parse_file().end != ReadEnd::Syntax;
  const auto file = brix::detail::parse_rule(brix::Rule::file, text);
  brix::fuzz::check(reader_reads == std::holds_alternative<brix::detail::ParseTree>(file),
                    "the reader reads a file exactly when the grammar matches it");

  brix::detail::BRIXParser<NullSink> value_reader(text, none, sink);
  const brix::detail::ReadResult value = value_reader.parse_extern_value();
  const auto grammar = brix::detail::parse_rule(brix::Rule::var_value, text);
  const auto* tree = std::get_if<brix::detail::ParseTree>(&grammar);
  if (value.end != ReadEnd::Syntax) {
    brix::fuzz::check(tree != nullptr, "the grammar matches a value the reader reads");
    brix::fuzz::check(tree->pairs().next()->end() == value.value_end,
                      "the reader's value ends where the grammar's does");
  } else if (tree != nullptr) {
    brix::fuzz::check(!only_layout(text.substr(tree->pairs().next()->end())),
                      "the reader refuses a value only when text follows the grammar's");
  }
  return 0;
}
