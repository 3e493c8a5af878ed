// The requirement tree of a file drawn for people: a self-contained web page
// beside the highlighted source, or a Graphviz graph.
#pragma once

#include <string>
#include <string_view>

#include "brix/brix.hpp"

namespace brix {

struct RenderOptions {
  // Shown as the page's heading and the graph's root, usually the file name.
  std::string_view title = "requirements";
};

// One HTML file with inline style and script and nothing fetched: the
// collapsible tree, the source with every requirement linked to its line,
// expand and collapse all, a course search and a print layout. Every text of
// the file is escaped.
Result<std::string> render_html(std::string_view text, const ExternValues& externals = {},
                                const RenderOptions& options = {});

// The same tree in the dot language.
Result<std::string> render_dot(std::string_view text, const ExternValues& externals = {},
                               const RenderOptions& options = {});

}  // namespace brix
