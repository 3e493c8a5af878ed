#include "diagnostics/source_scan.hpp"

#include <algorithm>

namespace brix::detail {

SourceScan::SourceScan(std::string_view text) : text_(text), kinds_(text.size(), ByteKind::Code) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      const std::size_t lf = std::min(text.find('\n', i), text.size());
      std::fill(kinds_.begin() + static_cast<std::ptrdiff_t>(i),
                kinds_.begin() + static_cast<std::ptrdiff_t>(lf), ByteKind::Comment);
      i = lf;
    } else if (c == '"') {
      // A string ends at its closing quote (a doubled quote is content) or,
      // unterminated, at the end of its line.
      std::size_t j = i + 1;
      while (j < text.size() && text[j] != '\n' && text[j] != '\r') {
        if (text[j] == '"') {
          if (j + 1 < text.size() && text[j + 1] == '"') {
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        ++j;
      }
      std::fill(kinds_.begin() + static_cast<std::ptrdiff_t>(i),
                kinds_.begin() + static_cast<std::ptrdiff_t>(j), ByteKind::String);
      i = j;
    } else {
      if (c == ';') semicolons_.push_back(i);
      ++i;
    }
  }
}

std::size_t SourceScan::statement_start(std::size_t offset) const {
  auto it = std::lower_bound(semicolons_.begin(), semicolons_.end(), offset);
  return it == semicolons_.begin() ? 0 : *(it - 1) + 1;
}

std::size_t SourceScan::statement_end(std::size_t offset) const {
  auto it = std::lower_bound(semicolons_.begin(), semicolons_.end(), offset);
  return it == semicolons_.end() ? text_.size() : *it + 1;
}

std::size_t SourceScan::end_of_previous_token(std::size_t offset, std::size_t floor) const {
  for (std::size_t i = std::min(offset, text_.size()); i > floor; --i) {
    const char c = text_[i - 1];
    if (kinds_[i - 1] == ByteKind::Comment) continue;
    if (kinds_[i - 1] == ByteKind::Code && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
      continue;
    }
    return i;
  }
  return floor;
}

}  // namespace brix::detail
