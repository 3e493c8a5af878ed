// Positions for editors: lines and columns in characters and in UTF-16 code
// units, counted as the error reports count them (CR LF is one line break, a
// lone CR an ordinary character).
#include <algorithm>
#include <string>

#include "brix/diagnostics.hpp"

namespace brix {

SourcePosition position_at(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  SourcePosition at{offset, 1, 1, 1};
  std::size_t line_start = 0;
  for (std::size_t i = text.find('\n'); i != std::string_view::npos && i < offset;
       i = text.find('\n', i + 1)) {
    ++at.line;
    line_start = i + 1;
  }
  // An offset between the CR and LF of a pair is already on the next line.
  if (offset > 0 && offset < text.size() && text[offset - 1] == '\r' && text[offset] == '\n') {
    return {offset, at.line + 1, 1, 1};
  }
  for (std::size_t i = line_start; i < offset; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;
    ++at.column;
    at.column_utf16 += byte >= 0xF0 ? 2 : 1;
  }
  return at;
}

SourceSpan span_of(std::string_view text, std::size_t start, std::size_t end) {
  return {position_at(text, start), position_at(text, end)};
}

std::string apply_fixes(std::string_view text, std::vector<FixIt> fixes) {
  std::stable_sort(fixes.begin(), fixes.end(), [](const FixIt& a, const FixIt& b) {
    return a.span.start.offset < b.span.start.offset;
  });
  std::string out;
  out.reserve(text.size() + 16);
  std::size_t at = 0;
  for (const FixIt& fix : fixes) {
    const std::size_t start = std::clamp(fix.span.start.offset, at, text.size());
    const std::size_t end = std::clamp(fix.span.end.offset, start, text.size());
    out.append(text.substr(at, start - at));
    out += fix.replacement;
    at = end;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace brix
