// Recovery. After an error the statement that holds it is blanked out (its
// bytes become spaces, line breaks kept, so every offset and line stays where
// it was) and the file is parsed again. The statement runs from just after
// the last ";" in code before the error to the first ";" in code at or after
// it; ";" inside strings and comments do not count. A missing ";" thus
// blanks the two statements it joined. A variable whose assignment or extern
// declaration was blanked is remembered, and "undefined variable" errors
// about it afterwards are dropped: they follow from the first error.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "diagnostics/recovery.hpp"

#include "diagnostics/hints.hpp"
#include "diagnostics/source_scan.hpp"
#include "lib/parse_with_catalog.hpp"

namespace brix {
namespace {

// Enough for any file a person wrote; a generated one with more errors gets
// its first hundred.
constexpr int kMaxErrors = 100;

std::string first_message(const ErrorChain& chain) {
  const ErrorChain::Entry& first = chain.entries().front();
  if (const Error* report = std::get_if<Error>(&first)) return report->message();
  return entry_text(first);
}

const Error* find_report(const ErrorChain& chain) {
  for (const ErrorChain::Entry& entry : chain.entries()) {
    if (const Error* report = std::get_if<Error>(&entry)) return report;
  }
  return nullptr;
}

std::size_t error_offset(const ErrorChain& chain, std::string_view text,
                         const detail::SourceScan& scan) {
  if (const Error* report = find_report(chain)) return report->location().start;
  return detail::find_too_large_number(text, scan);
}

// The same chain with its report located in `text`, which differs from the
// text it was made from only in blanked statements.
ErrorChain relocated(const ErrorChain& chain, std::string_view text) {
  const std::vector<ErrorChain::Entry>& entries = chain.entries();
  auto leaf = [&]() -> std::optional<ErrorChain> {
    const ErrorChain::Entry& last = entries.back();
    if (const Error* report = std::get_if<Error>(&last)) {
      const InputLocation& at = report->location();
      return ErrorChain::from_report(
          at.end ? Error::new_from_span(report->variant(), text, at.start, *at.end)
                 : Error::new_from_pos(report->variant(), text, at.start));
    }
    return std::nullopt;
  }();
  if (!leaf) return chain;
  for (std::size_t i = entries.size() - 1; i-- > 0;) {
    const auto* message = std::get_if<std::string>(&entries[i]);
    if (message == nullptr) return chain;
    leaf = std::move(*leaf).wrap(*message);
  }
  return std::move(*leaf);
}

// One character from `offset`, so that a position shows as a caret.
std::size_t char_end(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) return offset;
  std::size_t end = offset + 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end;
}

Diagnostic error_diagnostic(std::string_view text, ErrorChain chain) {
  Diagnostic diagnostic;
  diagnostic.code = std::string(error_code(chain));
  diagnostic.message = first_message(chain);
  if (const Error* report = find_report(chain)) {
    const InputLocation& at = report->location();
    diagnostic.span = span_of(text, at.start, at.end.value_or(char_end(text, at.start)));
  }
  diagnostic.chain = std::move(chain);
  return diagnostic;
}

// The variable an extern declaration or assignment in `statement` defines.
std::string defined_name(std::string_view statement) {
  // Past the white space and comments before the statement.
  while (true) {
    const std::size_t first = statement.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    statement.remove_prefix(first);
    if (!statement.starts_with("//")) break;
    statement.remove_prefix(std::min(statement.find('\n'), statement.size()));
  }
  if (statement.starts_with("extern")) {
    statement.remove_prefix(6);
    statement.remove_prefix(std::min(statement.find('$'), statement.size()));
  }
  if (!statement.starts_with('$')) return {};
  std::size_t end = 1;
  while (end < statement.size() &&
         (std::isalnum(static_cast<unsigned char>(statement[end])) != 0 || statement[end] == '_')) {
    ++end;
  }
  return std::string(statement.substr(0, end));
}

// Blanks [start, end) of `text`; false when it was blank already.
bool blank(std::string& text, std::size_t start, std::size_t end) {
  bool changed = false;
  for (std::size_t i = start; i < end; ++i) {
    if (text[i] == '\n' || text[i] == '\r' || text[i] == ' ') continue;
    text[i] = ' ';
    changed = true;
  }
  return changed;
}

}  // namespace

Result<ParseResult> parse_with_options(std::string_view text, const Options& options) {
  return detail::parse_with_catalog(text, options.externs,
                                    options.catalog ? &*options.catalog : nullptr);
}

namespace detail {

Recovered recover(std::string_view text, const Options& options, bool hints) {
  Recovered recovered;
  std::vector<Diagnostic>& out = recovered.errors;
  const detail::Progress progress = [&](std::string_view attempt) {
    Result<ParseResult> result = parse_with_options(attempt, options);
    if (result) return detail::kParsedWhole;
    return error_offset(result.error(), attempt, detail::SourceScan(attempt));
  };

  std::string work(text);
  std::set<std::string, std::less<>> blanked_names;
  for (int n = 0; n < kMaxErrors; ++n) {
    Result<ParseResult> result = parse_with_options(work, options);
    if (result) {
      recovered.parses = true;
      break;
    }
    const ErrorChain& chain = result.error();
    const detail::SourceScan scan(work);
    const std::size_t at = error_offset(chain, work, scan);

    Diagnostic diagnostic = error_diagnostic(text, n == 0 ? chain : relocated(chain, text));
    const bool follows = diagnostic.code == "E0301" && diagnostic.span &&
                         blanked_names.contains(text.substr(
                             diagnostic.span->start.offset,
                             diagnostic.span->end.offset - diagnostic.span->start.offset));
    if (!follows) {
      if (hints) detail::add_hint(diagnostic, work, scan, chain, at, progress);
      out.push_back(std::move(diagnostic));
    }
    if (at == detail::kParsedWhole) break;
    const std::size_t start = scan.statement_start(at);
    const std::size_t end = scan.statement_end(at);
    if (std::string name = defined_name(std::string_view(work).substr(start, end - start));
        !name.empty()) {
      blanked_names.insert(std::move(name));
    }
    if (!blank(work, start, end)) break;
  }

  // The library's own error first, then the others in text order.
  if (out.size() > 2) {
    std::stable_sort(out.begin() + 1, out.end(), [](const Diagnostic& a, const Diagnostic& b) {
      return (a.span ? a.span->start.offset : 0) < (b.span ? b.span->start.offset : 0);
    });
  }
  recovered.readable = std::move(work);
  return recovered;
}

}  // namespace detail

}  // namespace brix
