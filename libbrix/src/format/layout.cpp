#include "format/layout.hpp"

#include <cassert>
#include <limits>

namespace brix::detail {

std::size_t Layout::width_of(std::string_view text) {
  std::size_t width = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

void Layout::add(Kind kind, std::string_view text, bool hard_break) {
  std::size_t width = 0;
  std::size_t hard = hard_break ? 1 : 0;
  switch (kind) {
    case Kind::Text:
    case Kind::Line:
      width = width_of(text);
      break;
    case Kind::HardLine:
    case Kind::Trailing:
      hard = 1;
      break;
    default:
      break;
  }
  pieces_.push_back({kind, std::string(text)});
  width_before_.push_back(width_before_.back() + width);
  hard_before_.push_back(hard_before_.back() + hard);
}

void Layout::text(std::string_view words) {
  add(Kind::Text, words);
}
void Layout::line(std::string_view flat) {
  add(Kind::Line, flat);
}
void Layout::hard_line() {
  add(Kind::HardLine, {});
}
void Layout::trailing(std::string_view comment) {
  add(Kind::Trailing, comment);
}
void Layout::open_group(bool broken) {
  open_.push_back(pieces_.size());
  add(Kind::OpenGroup, {}, broken);
}
void Layout::close_group() {
  assert(!open_.empty());
  pieces_[open_.back()].match = pieces_.size();
  open_.pop_back();
  add(Kind::CloseGroup, {});
}
void Layout::open_indent() {
  add(Kind::OpenIndent, {});
}
void Layout::close_indent() {
  add(Kind::CloseIndent, {});
}

void Layout::clear() {
  pieces_.clear();
  width_before_.assign(1, 0);
  hard_before_.assign(1, 0);
  open_.clear();
}

bool Layout::flat_width(std::size_t from, std::size_t to, std::size_t& width) const {
  if (hard_before_[to] != hard_before_[from]) return false;
  width = width_before_[to] - width_before_[from];
  return true;
}

std::size_t Layout::width_to_break(std::size_t at, std::size_t to) const {
  std::size_t width = 0;
  for (; at < to; ++at) {
    const Piece& piece = pieces_[at];
    if (piece.kind == Kind::Text) {
      width += width_of(piece.text);
    } else if (piece.kind == Kind::Line || piece.kind == Kind::HardLine ||
               piece.kind == Kind::Trailing) {
      break;
    }
  }
  return width;
}

std::string Layout::render(std::size_t from, std::size_t to, std::size_t width) const {
  struct Frame {
    bool flat;
    std::size_t base;    // indent of the line the group began on
    std::size_t indent;  // indent of the lines it breaks
  };
  std::vector<Frame> frames{{false, 0, kIndent}};
  std::string out;
  std::size_t column = 0;
  std::size_t line_indent = 0;
  bool pending = false;  // a line break waits for the next word
  std::size_t pending_indent = 0;

  // The space before a word that a break or a comment then follows is not
  // kept at the end of the line.
  auto end_line = [&] {
    while (!out.empty() && out.back() == ' ') out.pop_back();
  };
  auto write = [&](std::string_view words) {
    if (pending) {
      end_line();
      out.push_back('\n');
      out.append(pending_indent, ' ');
      column = line_indent = pending_indent;
      pending = false;
    }
    out.append(words);
    column += width_of(words);
  };
  auto line_break = [&](std::size_t indent) {
    // Only the last of several breaks in a row counts: no empty lines.
    pending = !out.empty();
    pending_indent = indent;
  };

  for (std::size_t i = from; i < to; ++i) {
    const Piece& piece = pieces_[i];
    const Frame& top = frames.back();
    switch (piece.kind) {
      case Kind::Text:
        write(piece.text);
        break;
      case Kind::Line:
        if (top.flat) {
          write(piece.text);
        } else {
          line_break(top.indent);
        }
        break;
      case Kind::HardLine:
        line_break(top.indent);
        break;
      case Kind::Trailing:
        pending = false;
        end_line();
        write(" ");
        write(piece.text);
        break;
      case Kind::OpenGroup: {
        const std::size_t start_column = pending ? pending_indent : column;
        const std::size_t base = pending ? pending_indent : line_indent;
        std::size_t inner = 0;
        const bool fits =
            top.flat || (flat_width(i, piece.match, inner) &&
                         start_column + inner + width_to_break(piece.match, to) <= width);
        frames.push_back({fits, base, base});
        break;
      }
      case Kind::OpenIndent:
        frames.push_back({top.flat, top.base, top.base + kIndent});
        break;
      case Kind::CloseGroup:
      case Kind::CloseIndent:
        frames.pop_back();
        break;
    }
  }
  return out;
}

}  // namespace brix::detail
