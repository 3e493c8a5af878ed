// The requirement tree as a Graphviz graph: the file, its requirements, their
// nested queries and selectors, left to right. Selectors that a list variable
// brought in hang under a node named for the variable.
#include "brix/render.hpp"
#include "explain/outline.hpp"
#include "explain/wording.hpp"
#include "render/escape.hpp"

namespace brix {
namespace {

using detail::append_dot;
using detail::OutlineItem;
using detail::OutlineQuery;

class DotWriter {
 public:
  explicit DotWriter(std::string& out) : out_(out) {}

  std::string node(std::string_view label, std::string_view attributes) {
    std::string id = "n";
    id += std::to_string(next_++);
    out_.append("  ").append(id).append(" [label=\"");
    append_dot(out_, label);
    out_ += '"';
    if (!attributes.empty()) out_.append(", ").append(attributes);
    out_ += "];\n";
    return id;
  }

  void edge(const std::string& from, const std::string& to) {
    out_.append("  ").append(from).append(" -> ").append(to).append(";\n");
  }

  // The selectors of a query under `parent`.
  void items(const std::string& parent, const OutlineQuery& query) {
    std::string via;  // the variable node of the current run
    for (std::size_t i = 0; i < query.items.size(); ++i) {
      const OutlineItem& item = query.items[i];
      std::string from = parent;
      if (item.from_list) {
        const OutlineItem* previous = i == 0 ? nullptr : &query.items[i - 1];
        if (previous == nullptr || previous->use.start != item.use.start ||
            previous->variable != item.variable) {
          via = node(item.variable, "shape=note");
          edge(parent, via);
        }
        from = via;
      }
      if (!item.nested.empty()) {
        const std::string id = node(detail::count_chip(*item.nested.front().query), "");
        edge(from, id);
        items(id, item.nested.front());
      } else {
        const std::string id = node(detail::selector_chip(*item.selector), "shape=ellipse");
        edge(from, id);
      }
    }
  }

 private:
  std::string& out_;
  std::size_t next_ = 0;
};

}  // namespace

Result<std::string> render_dot(std::string_view text, const ExternValues& externals,
                               const RenderOptions& options) {
  Result<detail::Outline> outline = detail::build_outline(text, externals);
  if (!outline) return std::move(outline).error();
  std::string out =
      "digraph requirements {\n"
      "  graph [rankdir=LR, fontname=\"Helvetica\"];\n"
      "  node [shape=box, style=rounded, fontname=\"Helvetica\"];\n";
  DotWriter writer(out);
  const std::string root = writer.node(options.title, "shape=folder");
  for (const detail::OutlineRequirement& requirement : outline->requirements) {
    const BRIXRequirement& r = *requirement.requirement;
    std::string label(r.description.view());
    label += '\n';
    label += detail::count_chip(r.query) + ", priority " + std::to_string(r.priority);
    const std::string id = writer.node(label, "style=\"rounded,bold\"");
    writer.edge(root, id);
    writer.items(id, requirement.query);
  }
  out += "}\n";
  return out;
}

}  // namespace brix
