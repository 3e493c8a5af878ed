#include "unified_diff.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace brix::cli {
namespace {

constexpr std::size_t kContext = 3;
// Above this many cells the changed middle is shown as removed and added
// whole rather than matched line by line; the diff stays correct, only
// longer.
constexpr std::size_t kMaxCells = std::size_t{1} << 22;

// Lines with their line feeds, so that a last line without one differs
// from the same line with one.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

struct Edit {
  char op;  // ' ', '-' or '+'
  std::string_view line;
};

// The lines of a and b in [from, a_end) and [from, b_end), as a shortest
// edit: a longest common subsequence by dynamic programming.
void middle(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
            std::size_t from, std::size_t a_end, std::size_t b_end, std::vector<Edit>& edits) {
  const std::size_t n = a_end - from, m = b_end - from;
  if (n * m > kMaxCells) {
    for (std::size_t i = from; i < a_end; ++i) edits.push_back({'-', a[i]});
    for (std::size_t j = from; j < b_end; ++j) edits.push_back({'+', b[j]});
    return;
  }
  // common[i][j]: the longest common subsequence of a's lines from i and b's from j.
  std::vector<std::uint32_t> common((n + 1) * (m + 1), 0);
  auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& { return common[i * (m + 1) + j]; };
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = m; j-- > 0;) {
      at(i, j) =
          a[from + i] == b[from + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }
  }
  std::size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[from + i] == b[from + j]) {
      edits.push_back({' ', a[from + i]});
      ++i, ++j;
    } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
      edits.push_back({'-', a[from + i++]});  // removals first, as diff writes them
    } else {
      edits.push_back({'+', b[from + j++]});
    }
  }
}

void write_line(char op, std::string_view line, std::string& out) {
  out.push_back(op);
  out.append(line);
  if (!line.ends_with('\n')) out.append("\n\\ No newline at end of file\n");
}

// "-3,4": the first line (the one before, for an empty range) and the count.
std::string range(std::size_t first, std::size_t count) {
  return std::to_string(count == 0 ? first - 1 : first) + "," + std::to_string(count);
}

}  // namespace

std::string unified_diff(std::string_view before, std::string_view after, std::string_view name) {
  const std::vector<std::string_view> a = lines_of(before), b = lines_of(after);
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  if (prefix == a.size() && prefix == b.size()) return {};

  std::vector<Edit> edits;
  for (std::size_t i = 0; i < prefix; ++i) edits.push_back({' ', a[i]});
  middle(a, b, prefix, a.size() - suffix, b.size() - suffix, edits);
  for (std::size_t i = a.size() - suffix; i < a.size(); ++i) edits.push_back({' ', a[i]});

  std::string out = "--- " + std::string(name) + "\n+++ " + std::string(name) + "\n";
  std::size_t old_line = 1, new_line = 1;  // line numbers at edits[k]
  std::size_t k = 0;
  while (k < edits.size()) {
    const std::size_t unchanged_from = k;
    while (k < edits.size() && edits[k].op == ' ') ++k, ++old_line, ++new_line;
    if (k == edits.size()) break;
    // A hunk runs from its first change to the last change that is followed by
    // fewer than two contexts' worth of unchanged lines before the next one.
    const std::size_t back = std::min(kContext, k - unchanged_from);
    const std::size_t start = k - back;
    std::size_t end = k;
    for (std::size_t same = 0; end < edits.size(); ++end) {
      same = edits[end].op == ' ' ? same + 1 : 0;
      if (same > 2 * kContext) break;
    }
    // Trim the trailing unchanged lines to the context.
    std::size_t last_change = end;
    while (edits[last_change - 1].op == ' ') --last_change;
    end = std::min(last_change + kContext, edits.size());

    std::size_t old_count = 0, new_count = 0;
    for (std::size_t e = start; e < end; ++e) {
      old_count += edits[e].op != '+';
      new_count += edits[e].op != '-';
    }
    const std::size_t old_first = old_line - back, new_first = new_line - back;
    out += "@@ -" + range(old_first, old_count) + " +" + range(new_first, new_count) + " @@\n";
    for (std::size_t e = start; e < end; ++e) write_line(edits[e].op, edits[e].line, out);
    old_line = old_first + old_count;
    new_line = new_first + new_count;
    k = end;
  }
  return out;
}

}  // namespace brix::cli
