// What each byte of a BRIX text is, found without the grammar: code, inside
// a string literal, or inside a line comment. Recovery and hints use it to
// find statement ends and words that stand in code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brix::detail {

enum class ByteKind : std::uint8_t { Code, String, Comment };

class SourceScan {
 public:
  explicit SourceScan(std::string_view text);

  ByteKind kind(std::size_t offset) const { return kinds_[offset]; }
  bool is_code(std::size_t offset) const {
    return offset < kinds_.size() && kinds_[offset] == ByteKind::Code;
  }
  // The start of the statement holding `offset`: one past the last ";" in
  // code before it, or 0.
  std::size_t statement_start(std::size_t offset) const;
  // One past the first ";" in code at or after `offset`, or the text's end.
  std::size_t statement_end(std::size_t offset) const;
  // The offset just past the last byte before `offset` that is code and not
  // white space, or `floor` when there is none at or after it.
  std::size_t end_of_previous_token(std::size_t offset, std::size_t floor) const;

 private:
  std::string_view text_;
  std::vector<ByteKind> kinds_;
  std::vector<std::size_t> semicolons_;
};

}  // namespace brix::detail
