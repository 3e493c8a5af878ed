// Line breaking for one statement. The formatter describes a statement as a
// run of pieces: words, places where a line may break, and groups (a list or
// a call) that break as a whole when they do not fit on the line. Rendering
// decides each group once, outermost first: it stays on one line when all of
// it, and the words that must follow it on that line, fit in the width.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brix::detail {

class Layout {
 public:
  static constexpr std::size_t kIndent = 4;

  void text(std::string_view words);
  // A space (or nothing) in a group on one line; a line break in a broken one.
  void line(std::string_view flat);
  // Always a line break: after a line comment.
  void hard_line();
  // A comment that ends the line so far: written after one space, on the line
  // before any break that is pending.
  void trailing(std::string_view comment);
  // A group that always breaks (`broken`) also breaks every group around it.
  void open_group(bool broken = false);
  void close_group();
  // Lines inside are indented one step more than the line the group began on.
  void open_indent();
  void close_indent();

  std::size_t size() const { return pieces_.size(); }
  // Whether some line break cannot be undone (a comment, a broken group), so
  // the pieces never fit on one line.
  bool always_breaks() const { return hard_before_.back() > 0; }
  void clear();

  // The pieces [from, to) laid out for `width` characters. Line breaks that
  // belong to no group (those after comments) are indented by one step.
  std::string render(std::size_t from, std::size_t to, std::size_t width) const;

  // Characters (UTF-8 code points) in `text`.
  static std::size_t width_of(std::string_view text);

 private:
  enum class Kind {
    Text,
    Line,
    HardLine,
    Trailing,
    OpenGroup,
    CloseGroup,
    OpenIndent,
    CloseIndent
  };
  struct Piece {
    Kind kind;
    std::string text;
    std::size_t match = 0;  // a group's closing piece, for its opening one
  };
  void add(Kind kind, std::string_view text, bool hard = false);
  // Width of the pieces [from, to) on one line, or nothing when they hold a
  // line break that cannot be undone.
  bool flat_width(std::size_t from, std::size_t to, std::size_t& width) const;
  // Width of the words after `at` up to the next place a line may break.
  std::size_t width_to_break(std::size_t at, std::size_t to) const;

  std::vector<Piece> pieces_;
  // Running sums over the pieces before each index, so a group's width is
  // one subtraction: flat width and the number of forced breaks.
  std::vector<std::size_t> width_before_{0};
  std::vector<std::size_t> hard_before_{0};
  std::vector<std::size_t> open_;
};

}  // namespace brix::detail
