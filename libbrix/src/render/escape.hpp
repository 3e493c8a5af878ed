// Escaping of the file's texts for the page and the graph. Descriptions,
// tags and comments are written by people and may hold anything.
#pragma once

#include <string>
#include <string_view>

namespace brix::detail {

// For HTML text and attribute values alike: & < > " ' become references. A
// carriage return is dropped, since the page's parser would read a lone one
// as a line break and the source lines would drift from their numbers.
inline void append_html(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\r':
        break;
      default:
        out += c;
    }
  }
}

// For a double-quoted dot string: the quote and the backslash (which would
// start dot's own escapes such as \l) are escaped, line breaks become \n.
inline void append_dot(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        break;
      default:
        out += c;
    }
  }
}

}  // namespace brix::detail
