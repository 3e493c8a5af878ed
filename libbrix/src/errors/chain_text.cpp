#include <cstdio>
#include <string>
#include <vector>

#include "brix/error_chain.hpp"

namespace brix {

std::string chain_text(std::span<const std::string> entry_texts) {
  std::string out;
  if (entry_texts.empty()) return out;
  out += entry_texts[0];
  if (entry_texts.size() == 1) return out;

  out += "\n\nCaused by:";
  // One cause is indented by four spaces; two or more are numbered in a
  // five-wide field followed by ": ", and their lines continue under the text.
  const bool numbered = entry_texts.size() > 2;
  const std::string_view continuation = numbered ? "       " : "    ";
  for (std::size_t i = 1; i < entry_texts.size(); ++i) {
    out += '\n';
    if (numbered) {
      char number[32];
      const int n = std::snprintf(number, sizeof number, "%5zu: ", i - 1);
      out.append(number, static_cast<std::size_t>(n));
    } else {
      out += "    ";
    }
    for (char c : entry_texts[i]) {
      out += c;
      if (c == '\n') out += continuation;
    }
  }
  return out;
}

std::string ErrorChain::to_string(std::optional<std::string_view> path) const {
  std::vector<std::string> texts;
  texts.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    if (const Error* report = std::get_if<Error>(&entry)) {
      texts.push_back(report->to_string(path));
    } else {
      texts.push_back(entry_text(entry));
    }
  }
  return chain_text(texts);
}

}  // namespace brix
