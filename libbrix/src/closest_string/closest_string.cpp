#include "closest_string/closest_string.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

// The Winkler boost must be the rounded product added to j, never a fused
// multiply-add, or scores on a thousandth boundary would change.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif

namespace brix::detail {
namespace {

// Decodes UTF-8 into code points. A byte that does not start a well-formed
// sequence stands for itself as a surrogate (U+DC80..U+DCFF), which no valid
// character decodes to, so malformed text still compares consistently.
std::u32string decode_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b0 = p[i];
    std::size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    } else if ((b0 & 0xE0) == 0xC0) {
      len = 2, cp = b0 & 0x1Fu, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3, cp = b0 & 0x0Fu, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4, cp = b0 & 0x07u, min = 0x10000;
    }
    bool ok = len != 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      ok = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3Fu);
    }
    ok = ok && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (ok) {
      out.push_back(cp);
      i += len;
    } else {
      out.push_back(0xDC00u | b0);
      ++i;
    }
  }
  return out;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

double jaro(const std::u32string& a, const std::u32string& b) {
  const std::size_t la = a.size();
  const std::size_t lb = b.size();
  if (la == 0 && lb == 0) return 1.0;
  if (la == 0 || lb == 0) return 0.0;

  const std::size_t half = std::max(la, lb) / 2;
  const std::size_t window = half > 0 ? half - 1 : 0;

  // Match flags for a, then for b, in one array.
  std::vector<unsigned char> matched(la + lb, 0);
  unsigned char* a_matched = matched.data();
  unsigned char* b_matched = matched.data() + la;
  std::size_t m = 0;
  for (std::size_t i = 0; i < la; ++i) {
    const std::size_t lo = i > window ? i - window : 0;
    const std::size_t hi = std::min(lb, i + window + 1);
    for (std::size_t j = lo; j < hi; ++j) {
      if (!b_matched[j] && b[j] == a[i]) {
        a_matched[i] = 1;
        b_matched[j] = 1;
        ++m;
        break;
      }
    }
  }
  if (m == 0) return 0.0;

  std::size_t unequal = 0;
  std::size_t j = 0;
  for (std::size_t i = 0; i < la; ++i) {
    if (!a_matched[i]) continue;
    while (!b_matched[j]) ++j;
    if (a[i] != b[j]) ++unequal;
    ++j;
  }
  const std::size_t t = unequal / 2;

  const double md = static_cast<double>(m);
  return (md / static_cast<double>(la) + md / static_cast<double>(lb) +
          static_cast<double>(m - t) / md) /
         3.0;
}

}  // namespace

double jaro_winkler(std::string_view a, std::string_view b) {
  const std::u32string ca = decode_utf8(a);
  const std::u32string cb = decode_utf8(b);
  const double j = jaro(ca, cb);
  if (!(j > 0.7)) return j;

  const std::size_t limit = std::min({ca.size(), cb.size(), std::size_t{4}});
  std::size_t prefix = 0;
  while (prefix < limit && ca[prefix] == cb[prefix]) ++prefix;
  const double p = 0.1 * static_cast<double>(prefix);
  const double boost = (1.0 - j) * p;
  return j + boost;
}

std::optional<std::string_view> closest_string(std::string_view target,
                                               std::span<const std::string_view> candidates) {
  const std::string lowered_target = ascii_lower(target);
  std::optional<std::string_view> best;
  long best_key = -1;
  for (const std::string_view candidate : candidates) {
    const double similarity = jaro_winkler(lowered_target, ascii_lower(candidate));
    const auto key = static_cast<long>(similarity * 1000.0);
    // ">=": an equal key later in the list takes the place of the earlier one.
    if (key >= best_key) {
      best_key = key;
      best = candidate;
    }
  }
  return best;
}

}  // namespace brix::detail
