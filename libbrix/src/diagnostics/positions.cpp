// Positions for editors: lines and columns in characters and in UTF-16 code
// units, counted as the error reports count them (CR LF is one line break, a
// lone CR an ordinary character).
#include <algorithm>
#include <string>

#include "brix/diagnostics.hpp"
#include "diagnostics/position_index.hpp"

namespace brix {

namespace detail {

PositionIndex::PositionIndex(std::string_view text) : text_(text), starts_{0} {
  for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
    starts_.push_back(i + 1);
  }
}

SourcePosition PositionIndex::at(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  // The last line start at or before the offset.
  const auto line = std::upper_bound(starts_.begin(), starts_.end(), offset) - 1;
  const auto number = static_cast<std::size_t>(line - starts_.begin()) + 1;
  // An offset between the CR and LF of a pair is already on the next line.
  if (offset > 0 && offset < text_.size() && text_[offset - 1] == '\r' && text_[offset] == '\n') {
    return {offset, number + 1, 1, 1};
  }
  SourcePosition at{offset, number, 1, 1};
  for (std::size_t i = *line; i < offset; ++i) {
    const auto byte = static_cast<unsigned char>(text_[i]);
    if ((byte & 0xC0) == 0x80) continue;
    ++at.column;
    at.column_utf16 += byte >= 0xF0 ? 2 : 1;
  }
  return at;
}

}  // namespace detail

SourcePosition position_at(std::string_view text, std::size_t offset) {
  return detail::PositionIndex(text).at(offset);
}

SourceSpan span_of(std::string_view text, std::size_t start, std::size_t end) {
  return detail::PositionIndex(text).span(start, end);
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
