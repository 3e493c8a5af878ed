#include "format/statements.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "brix/highlight.hpp"
#include "brix/rule.hpp"
#include "format/layout.hpp"
#include "reader/functions.hpp"

namespace brix::detail {
namespace {

struct Comment {
  std::string_view text;  // without trailing spaces, tabs or carriage return
  bool own_line;          // a line break stands between it and what precedes it
  std::size_t newlines_before;
};

// The comments and line breaks between two tokens.
struct Gap {
  std::vector<Comment> comments;
  std::size_t newlines_after =
      0;  // between the last comment (or the gap's start) and the next token
};

std::string_view trimmed(std::string_view comment) {
  const std::size_t end = comment.find_last_not_of(" \t\r");
  return comment.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::string upper(std::string_view word) {
  std::string out(word);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

Pair first_child(Pair node) {
  return *node.children().begin();
}

// One top-level line of the output, before descriptions are aligned.
struct Item {
  enum class Kind { Blank, Comment, Statement, Requirement } kind = Kind::Blank;
  std::string text;  // the comment, or the statement laid out at full width
  // Requirements that can stand on one line (no comment inside, no nested
  // requirement): the query and the rest (": ...;") each on one line, for
  // aligning.
  bool simple = false;
  std::string head;
  std::string tail;
  std::string trailing;  // a comment after the ";" on the same line
};

Item item_of(Item::Kind kind, std::string text = {}) {
  Item item;
  item.kind = kind;
  item.text = std::move(text);
  return item;
}

class Formatter {
 public:
  Formatter(std::string_view text, std::size_t width)
      : text_(text), tokens_(highlight(text)), width_(width) {}

  bool run(Pair file, std::string& out);

 private:
  // Reading.
  Gap take_gap();
  bool at(std::size_t offset) const {
    return tok_ < tokens_.size() ? tokens_[tok_].start == offset : offset == text_.size();
  }
  void skip_to(std::size_t end);
  void emit(const Gap& gap);
  void leaf(Pair node, std::string_view shown);
  void punct(char c, bool comments_after = false);
  void comments_before_next() { emit(take_gap()); }

  // Statements and their parts.
  void statement(Pair node);
  void selector_single(Pair node);
  void list(Pair node);
  void call(Pair node);
  void class_argument(Pair node);
  void var_value(Pair node);
  Item requirement(Pair node);
  Item simple_statement(Pair node);

  void place_gap(const Gap& gap, std::vector<Item>& items);
  void lay_out(const std::vector<Item>& items, std::string& out) const;

  std::string_view text_;
  std::vector<HighlightToken> tokens_;
  std::size_t width_;
  std::size_t tok_ = 0;       // first token not yet read
  std::size_t last_end_ = 0;  // end of the last token read, comments included
  bool read_any_ = false;     // whether anything precedes the gap being read
  bool broken_ = false;
  Layout layout_;
};

Gap Formatter::take_gap() {
  Gap gap;
  std::size_t newlines = 0;
  auto count = [&](std::size_t from, std::size_t to) {
    newlines +=
        static_cast<std::size_t>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(from),
                                            text_.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
  };
  for (; tok_ < tokens_.size(); ++tok_) {
    const HighlightToken& token = tokens_[tok_];
    if (token.kind == TokenKind::Whitespace) {
      count(token.start, token.end);
    } else if (token.kind == TokenKind::Comment) {
      gap.comments.push_back({trimmed(text_.substr(token.start, token.end - token.start)),
                              !read_any_ || newlines > 0, newlines});
      read_any_ = true;
      newlines = 0;
      last_end_ = token.end;
    } else {
      break;
    }
  }
  gap.newlines_after = newlines;
  return gap;
}

void Formatter::skip_to(std::size_t end) {
  while (tok_ < tokens_.size() && tokens_[tok_].start < end) ++tok_;
  if (!at(end)) broken_ = true;
  last_end_ = end;
  read_any_ = true;
}

void Formatter::emit(const Gap& gap) {
  for (const Comment& comment : gap.comments) {
    if (comment.own_line) {
      layout_.hard_line();
      layout_.text(comment.text);
    } else {
      layout_.trailing(comment.text);
    }
    layout_.hard_line();
  }
}

void Formatter::leaf(Pair node, std::string_view shown) {
  emit(take_gap());
  if (!at(node.start())) broken_ = true;
  layout_.text(shown);
  skip_to(node.end());
}

// Comments written just before "," or ";" move after it: "A, // note"
// rather than "A // note" with the comma alone on the next line.
void Formatter::punct(char c, bool comments_after) {
  Gap gap = take_gap();
  if (tok_ == tokens_.size() || tokens_[tok_].kind != TokenKind::Punctuation ||
      text_[tokens_[tok_].start] != c) {
    broken_ = true;
    return;
  }
  if (!comments_after) emit(gap);
  layout_.text(std::string_view(&c, 1));
  skip_to(tokens_[tok_].end);
  if (comments_after) emit(gap);
}

void Formatter::statement(Pair node) {
  Pairs parts = node.children();
  const Pair keyword = *parts.next();
  leaf(keyword, keyword.as_str());
  layout_.text(" ");
  const Pair quantity = first_child(*parts.next());
  leaf(quantity, quantity.as_str());
  layout_.text(" ");
  const Pair from = *parts.next();
  leaf(from, from.as_str());
  layout_.text(" ");
  const Pair selector = first_child(*parts.next());
  if (selector.rule() == Rule::selector_list) {
    list(selector);
  } else {
    selector_single(selector);
  }
}

void Formatter::selector_single(Pair node) {
  const Pair inner = first_child(node);
  switch (inner.rule()) {
    case Rule::statement:
      statement(inner);
      break;
    case Rule::XYZ:
      call(inner);
      break;
    case Rule::class_argument:
      class_argument(inner);
      break;
    default:  // a variable
      leaf(inner, inner.as_str());
      break;
  }
}

// "[a, b]" on one line, or one element per line with the brackets on lines of
// their own; the same for the arguments of a call. A list that holds a nested
// requirement always takes one line per element.
void Formatter::list(Pair node) {
  bool nested = false;
  for (Pair element : node.children()) nested |= first_child(element).rule() == Rule::statement;
  layout_.open_group(nested);
  punct('[');
  layout_.open_indent();
  layout_.line("");
  bool first = true;
  for (Pair element : node.children()) {
    if (!first) {
      punct(',', true);
      layout_.line(" ");
    }
    first = false;
    selector_single(element);
  }
  comments_before_next();
  layout_.close_indent();
  layout_.line("");
  punct(']');
  layout_.close_group();
}

void Formatter::call(Pair node) {
  Pairs parts = node.children();
  const Pair name = first_child(*parts.next());
  leaf(name,
       detail::is_function_rule(name.rule()) ? upper(name.as_str()) : std::string(name.as_str()));
  layout_.open_group();
  punct('(');
  layout_.open_indent();
  layout_.line("");
  bool first = true;
  for (Pair argument : parts) {
    if (!first) {
      punct(',', true);
      layout_.line(" ");
    }
    first = false;
    const Pair inner = first_child(argument);
    if (inner.rule() == Rule::class_argument) {
      class_argument(inner);
    } else {
      leaf(inner, inner.as_str());
    }
  }
  comments_before_next();
  layout_.close_indent();
  layout_.line("");
  punct(')');
  layout_.close_group();
}

// "CSCI 1010": one space between department and number, however many were
// written (none included).
void Formatter::class_argument(Pair node) {
  Pairs parts = node.children();
  const std::string_view department = parts.next()->as_str();
  const std::string_view number = parts.next()->as_str();
  std::string shown(department);
  shown.push_back(' ');
  shown.append(number);
  leaf(node, shown);
}

void Formatter::var_value(Pair node) {
  const Pair inner = first_child(node);
  switch (inner.rule()) {
    case Rule::selector_list:
      list(inner);
      break;
    case Rule::XYZ:
      call(inner);
      break;
    case Rule::class_argument:
      class_argument(inner);
      break;
    default:  // a number, a range of numbers or a string
      leaf(inner, inner.as_str());
      break;
  }
}

Item Formatter::requirement(Pair node) {
  layout_.clear();
  Pairs parts = node.children();
  statement(*parts.next());
  const std::size_t head_end = layout_.size();
  for (std::optional<Pair> value = parts.next(); value; value = parts.next()) {
    layout_.text(" ");
    punct(':');
    layout_.text(" ");
    leaf(*value, value->as_str());
  }
  punct(';', true);

  Item item = item_of(Item::Kind::Requirement);
  item.text = layout_.render(0, layout_.size(), width_);
  item.simple = !layout_.always_breaks();
  if (item.simple) {
    constexpr std::size_t kOneLine = std::numeric_limits<std::size_t>::max();
    item.head = layout_.render(0, head_end, kOneLine);
    item.tail = layout_.render(head_end, layout_.size(), kOneLine).substr(1);
  }
  return item;
}

Item Formatter::simple_statement(Pair node) {
  layout_.clear();
  Pairs parts = node.children();
  if (node.rule() == Rule::extern_decl) {
    emit(take_gap());
    if (tok_ == tokens_.size() || tokens_[tok_].kind != TokenKind::Declaration) broken_ = true;
    layout_.text("extern");
    if (tok_ < tokens_.size()) skip_to(tokens_[tok_].end);
    layout_.text(" ");
    const Pair variable = *parts.next();
    leaf(variable, variable.as_str());
  } else {
    const Pair variable = *parts.next();
    leaf(variable, variable.as_str());
    layout_.text(" ");
    punct('=');
    layout_.text(" ");
    var_value(*parts.next());
  }
  punct(';', true);
  return item_of(Item::Kind::Statement, layout_.render(0, layout_.size(), width_));
}

// Comments between statements: one on the line of a statement stays there;
// the others keep their own lines, with at most one blank line before each.
void Formatter::place_gap(const Gap& gap, std::vector<Item>& items) {
  for (const Comment& comment : gap.comments) {
    const bool after_statement = !items.empty() && items.back().kind != Item::Kind::Comment &&
                                 items.back().kind != Item::Kind::Blank;
    if (!comment.own_line && after_statement && items.back().trailing.empty()) {
      items.back().trailing = std::string(comment.text);
      continue;
    }
    if (comment.newlines_before > 1 && !items.empty()) items.push_back(item_of(Item::Kind::Blank));
    items.push_back(item_of(Item::Kind::Comment, std::string(comment.text)));
  }
}

bool Formatter::run(Pair file, std::string& out) {
  std::vector<Item> items;
  for (Pair node : file.children()) {
    Gap gap = take_gap();
    place_gap(gap, items);
    if (node.rule() == Rule::EOI) break;
    if (gap.newlines_after > 1 && !items.empty()) items.push_back(item_of(Item::Kind::Blank));
    if (!at(node.start())) broken_ = true;
    items.push_back(node.rule() == Rule::special_statement ? requirement(node)
                                                           : simple_statement(node));
  }
  if (tok_ != tokens_.size()) broken_ = true;
  if (broken_) return false;
  lay_out(items, out);
  return true;
}

// Writes the items; a run of requirements that each fit on one line, with
// nothing between them, is a block, and the descriptions of a block start in
// one column when the lines still fit. A requirement too long for one line puts its description on
// the next line, or, when its query alone is too long, breaks its lists.
void Formatter::lay_out(const std::vector<Item>& items, std::string& out) const {
  auto fits = [&](const Item& item) {
    return item.kind == Item::Kind::Requirement && item.simple &&
           Layout::width_of(item.head) + 1 + Layout::width_of(item.tail) <= width_;
  };
  for (std::size_t i = 0; i < items.size();) {
    std::size_t end = i + 1;
    if (fits(items[i])) {
      while (end < items.size() && fits(items[end])) ++end;
    }
    // The block's descriptions share a column; a requirement whose line the
    // column would push past the width leaves the alignment (the longest
    // query first) and keeps a single space.
    std::vector<bool> aligned(end - i, fits(items[i]));
    std::size_t column = 0;
    for (;;) {
      column = 0;
      for (std::size_t k = i; k < end; ++k) {
        if (aligned[k - i]) column = std::max(column, Layout::width_of(items[k].head));
      }
      std::size_t widest = end;
      bool over = false;
      for (std::size_t k = i; k < end; ++k) {
        if (!aligned[k - i]) continue;
        if (column + 1 + Layout::width_of(items[k].tail) > width_) over = true;
        if (widest == end ||
            Layout::width_of(items[k].head) > Layout::width_of(items[widest].head)) {
          widest = k;
        }
      }
      if (!over) break;
      aligned[widest - i] = false;
    }

    for (std::size_t k = i; k < end; ++k) {
      const Item& item = items[k];
      switch (item.kind) {
        case Item::Kind::Blank:
          break;
        case Item::Kind::Comment:
        case Item::Kind::Statement:
          out += item.text;
          break;
        case Item::Kind::Requirement:
          if (aligned[k - i]) {
            out += item.head;
            out.append(column - Layout::width_of(item.head) + 1, ' ');
            out += item.tail;
          } else if (fits(item)) {
            out += item.head + " " + item.tail;
          } else if (item.simple && Layout::width_of(item.head) <= width_) {
            out += item.head + "\n";
            out.append(Layout::kIndent, ' ');
            out += item.tail;
          } else {
            out += item.text;
          }
          break;
      }
      if (!item.trailing.empty()) out += " " + item.trailing;
      out.push_back('\n');
    }
    i = end;
  }
}

}  // namespace

bool format_tree(std::string_view text, const ParseTree& tree, std::size_t width,
                 std::string& out) {
  std::optional<Pair> file = tree.pairs().peek();
  if (!file) return false;
  Formatter formatter(text, width);
  return formatter.run(*file, out);
}

}  // namespace brix::detail
