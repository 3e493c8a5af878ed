// The page: a heading with the tree's controls, the requirement tree on the
// left and the highlighted source on the right. Every requirement and nested
// query links to the lines it is written on.
#include "brix/highlight.hpp"
#include "brix/render.hpp"
#include "explain/outline.hpp"
#include "explain/wording.hpp"
#include "render/escape.hpp"
#include "render/page_assets.hpp"

namespace brix {
namespace {

using detail::append_html;
using detail::OutlineItem;
using detail::OutlineQuery;

// Past this many requirements the tree starts collapsed, so that a large
// file's page opens quickly; a closed <details> is not laid out.
constexpr std::size_t kOpenLimit = 500;
// Source lines in one block of the source pane.
constexpr std::size_t kLinesPerBlock = 200;

class PageWriter {
 public:
  PageWriter(std::string& out, const detail::LineIndex& lines, bool open)
      : out_(out), lines_(lines), open_(open ? " open" : "") {}

  void requirement(const detail::OutlineRequirement& requirement, std::size_t number) {
    const BRIXRequirement& r = *requirement.requirement;
    out_ += "<li class=\"req\" id=\"r" + std::to_string(number) + "\">";
    query_open(requirement.query, requirement.span);
    out_ += "<span class=\"desc\">";
    append_html(out_, r.description);
    out_ += "</span> ";
    count(requirement.query);
    out_ += " <span class=\"chip prio\">priority " + std::to_string(r.priority) + "</span> ";
    link(requirement.span);
    out_ += "</summary>";
    items(requirement.query);
    out_ += "</details></li>\n";
  }

 private:
  void query_open(const OutlineQuery& query, detail::TextSpan span) {
    out_ += "<details";
    out_ += open_;
    out_ += " data-kind=\"";
    out_ += query.query->type == QueryType::Select ? "Select" : "Limit";
    out_ += "\"><summary>";
    (void)span;
  }

  void count(const OutlineQuery& query) {
    out_ += "<span class=\"chip count\">";
    append_html(out_, detail::count_chip(*query.query));
    if (!query.count_variable.empty()) {
      out_ += " (<code>";
      append_html(out_, query.count_variable);
      out_ += "</code>)";
    }
    out_ += "</span>";
  }

  void link(detail::TextSpan span) {
    if (span.empty()) return;
    const std::string first = std::to_string(lines_.line_of(span.start));
    const std::string last = std::to_string(lines_.line_of(span.end == 0 ? 0 : span.end - 1));
    out_ += "<a class=\"goto\" href=\"#" + first + "\" data-lines=\"" + first + "-" + last +
            "\" aria-label=\"Source line " + first + "\">line " + first + "</a>";
  }

  void items(const OutlineQuery& query) {
    out_ += "<ul class=\"sels\">";
    for (std::size_t i = 0; i < query.items.size(); ++i) {
      const OutlineItem& item = query.items[i];
      const OutlineItem* previous = i == 0 ? nullptr : &query.items[i - 1];
      if (!item.variable.empty() && (previous == nullptr || previous->variable != item.variable ||
                                     previous->use.start != item.use.start)) {
        out_ += "<li class=\"from\">from <code>";
        append_html(out_, item.variable);
        out_ += "</code>:</li>";
      }
      if (!item.nested.empty()) {
        const OutlineQuery& nested = item.nested.front();
        out_ += "<li class=\"sel nested\" data-kind=\"Query\">";
        query_open(nested, nested.span);
        count(nested);
        out_ += ' ';
        link(nested.span);
        out_ += "</summary>";
        items(nested);
        out_ += "</details></li>";
        continue;
      }
      // The search box reads a chip's text, so the chip carries nothing else.
      out_ += "<li class=\"sel ";
      out_ += detail::selector_kind(*item.selector);
      out_ += "\">";
      append_html(out_, detail::selector_chip(*item.selector));
      out_ += "</li>";
    }
    out_ += "</ul>";
  }

  std::string& out_;
  const detail::LineIndex& lines_;
  std::string_view open_;
};

// The source, one <span id=<n>> per line, each token in its class. Most of
// a large page is this pane, so its markup is kept short: attribute values
// that need no quotes go without, and whitespace and punctuation, which the
// style leaves uncoloured, go without a span.
// A line's id is its number, which the style shows beside it: CSS counters
// would cost the browser time that grows with the square of the lines. Lines
// come in blocks that the browser lays out only when they are scrolled into
// view.
void open_block(std::string& out, std::size_t line) {
  out += "<span class=block><span class=ln id=";
  out += std::to_string(line);
  out += '>';
}

void write_source(std::string& out, std::string_view text) {
  std::size_t line = 1;
  open_block(out, line);
  for (const HighlightToken& token : highlight(text)) {
    const std::string_view piece = text.substr(token.start, token.end - token.start);
    if (token.kind == TokenKind::Whitespace) {
      for (const char c : piece) {
        if (c == '\n') {
          if (++line % kLinesPerBlock == 1) {
            out += "</span>\n</span>";
            open_block(out, line);
          } else {
            out += "</span>\n<span class=ln id=";
            out += std::to_string(line);
            out += '>';
          }
        } else if (c != '\r') {
          out += c;
        }
      }
      continue;
    }
    if (token.kind == TokenKind::Punctuation) {
      out += piece;
      continue;
    }
    out += "<span class=";
    out += css_class(token.kind);
    out += '>';
    append_html(out, piece);
    out += "</span>";
  }
  out += "</span></span>";
}

}  // namespace

Result<std::string> render_html(std::string_view text, const ExternValues& externals,
                                const RenderOptions& options) {
  Result<detail::Outline> outline = detail::build_outline(text, externals);
  if (!outline) return std::move(outline).error();
  const detail::LineIndex lines(text);

  std::string out;
  out.reserve(text.size() * 6 + 16384);
  out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  append_html(out, options.title);
  out += " \xE2\x80\x94 requirements</title>\n<style>";
  out += detail::kPageStyle;
  out += "</style>\n</head>\n<body>\n<header>\n<h1>";
  append_html(out, options.title);
  out +=
      "</h1>\n<div class=\"tools\" role=\"toolbar\" aria-label=\"Requirement tree\">"
      "<button type=\"button\" id=\"expand-all\">Expand all</button>"
      "<button type=\"button\" id=\"collapse-all\">Collapse all</button>"
      "<input type=\"search\" id=\"search\" placeholder=\"Find a course, e.g. MATH 1210\" "
      "aria-label=\"Find a course\" aria-controls=\"tree\" aria-keyshortcuts=\"/\">"
      "<span id=\"search-status\" role=\"status\" aria-live=\"polite\"></span></div>\n"
      "</header>\n<main>\n<nav id=\"tree\" aria-label=\"Requirements\">\n";
  const std::size_t count = outline->requirements.size();
  out += "<p class=\"summary\">" + std::to_string(count) +
         (count == 1 ? " requirement" : " requirements") + "</p>\n<ol class=\"reqs\">\n";
  PageWriter writer(out, lines, count <= kOpenLimit);
  for (std::size_t i = 0; i < count; ++i) writer.requirement(outline->requirements[i], i + 1);
  out += "</ol>\n</nav>\n<section class=\"source\" aria-label=\"Source of ";
  append_html(out, options.title);
  out += "\"><pre><code>";
  write_source(out, text);
  out += "</code></pre></section>\n</main>\n<script>";
  out += detail::kPageScript;
  out += "</script>\n</body>\n</html>\n";
  return out;
}

}  // namespace brix
