// parse_to_json writes through a growing buffer. Every kind of output piece is
// moved across the buffer's internal boundaries, a byte at a time, and the
// bytes must equal what write_json gives for the same file, whether the
// caller's string has spare capacity or none.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "brix/brix.hpp"

namespace brix {
namespace {

struct Piece {
  const char* kind;
  const char* statement;  // repeated after a lead-in statement of varying size
};

// Each piece holds the widest form of what it writes: five-digit numbers,
// escapes that grow six-fold, a nesting run, a spliced variable.
constexpr Piece kPieces[] = {
    {"five-digit priority", R"(SELECT 1 FROM CSCI 1010 : "x" : 65535;)"},
    {"five-digit counts", R"(SELECT 10000-65535 FROM CSCI 1010 : "x";)"},
    {"long description",
     R"(SELECT 1 FROM CSCI 1010 : "a description long enough to span a good part of a line";)"},
    {"escapes", "SELECT 1 FROM CSCI 1010 : \"\x01\x02\x1f\t\\\"\"<>\";"},
    {"deep query",
     "SELECT 1 FROM SELECT 1 FROM SELECT 2 FROM [SELECT 1 FROM MATH 1210L, "
     "RANGE_TAG(E&ES 1000, E&ES 4999L, \"lab\")] : \"d\" : 10000;"},
    {"spliced variable", "SELECT 2 FROM [$v, $v] : $t : 60000;"},
};

constexpr std::string_view kVariables =
    R"($v = [MATH 1210, TAG_DEPT("WR", "CSCI"), DIST("abcXYZ123")]; $t = "from a variable";)";

std::string file_with(std::string_view statement, std::size_t shift, std::size_t bytes) {
  std::string text(kVariables);
  text += "SELECT 1 FROM CSCI 1010 : \"";
  text.append(shift, 'y');
  text += "\";\n";
  while (text.size() < bytes) {
    text += statement;
    text += '\n';
  }
  return text;
}

#ifdef BRIX_TINY_CHUNKS
// Every write meets a boundary already; a few shifts suffice.
constexpr std::size_t kShifts = 8;
constexpr std::size_t kBytes = 4 << 10;
#else
// The output of one piece is under 200 bytes, so 200 shifts put each of its
// bytes on the 64 KiB boundary that the first chunk ends at.
constexpr std::size_t kShifts = 200;
constexpr std::size_t kBytes = 40 << 10;
#endif

TEST(JsonBoundaryTest, EveryPieceAcrossEveryBoundary) {
  for (const Piece& piece : kPieces) {
    for (std::size_t shift = 0; shift < kShifts; ++shift) {
      const std::string text = file_with(piece.statement, shift, kBytes);
      Result<ParseResult> model = parse(text);
      ASSERT_TRUE(model) << piece.kind << ": " << model.error().to_string();
      std::string expected = "prior";
      write_json(model->parsed_brix_file, expected);

      for (const bool spare : {false, true}) {
        std::string out = "prior";
        if (spare) {
          out.reserve(3 * expected.size());
        } else {
          out.shrink_to_fit();
        }
        Result<std::size_t> written = parse_to_json(text, {}, out);
        ASSERT_TRUE(written) << piece.kind;
        ASSERT_EQ(*written, expected.size() - 5) << piece.kind << ", shift " << shift;
        ASSERT_TRUE(out == expected) << piece.kind << ", shift " << shift
                                     << (spare ? ", spare capacity" : ", no spare capacity");
      }
    }
  }
}

}  // namespace
}  // namespace brix
