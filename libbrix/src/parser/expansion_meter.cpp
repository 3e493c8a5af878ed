#include "parser/expansion_meter.hpp"

#include <algorithm>
#include <span>
#include <string>
#include <tuple>
#include <variant>

#include "brix/error.hpp"
#include "parser/grammar.hpp"
#include "parser/rule_names.hpp"
#include "reader/functions.hpp"

namespace brix::detail {
namespace {

using Size = CopySize;

std::size_t text_size(const Text& text) {
  return text.size();
}
std::size_t text_size(const Class&) {
  return 0;
}

// The bytes of text among a selector's own fields; a nested query's are its
// selectors'.
std::size_t text_of(const Selector& selector) {
  return visit_indexed(
      selector,
      []<std::size_t I>(std::integral_constant<std::size_t, I>, const auto& s) -> std::size_t {
        if constexpr (I < kFunctions.size()) {
          return std::apply([](const auto&... field) { return (text_size(field) + ... + 0); },
                            arguments_of<kFunctions[I].arity>(s));
        } else {
          return 0;
        }
      });
}

// Adds the selectors at nesting `level` to `size`. Stops as soon as a count
// passes its cap or the nesting passes the bound, so measuring a value costs
// no more than the copy it allows (and the walk's own recursion stays within
// the bound).
bool measure_selectors(std::span<const Selector> selectors, int level, const Size& cap,
                       Size& size) {
  for (const Selector& selector : selectors) {
    ++size.selectors;
    size.text += text_of(selector);
    if (size.selectors > cap.selectors || size.text > cap.text) return false;
    if (const auto* query = std::get_if<Selector::Query>(&selector.value)) {
      size.depth = std::max(size.depth, level + 1);
      if (size.depth > cap.depth) return false;
      if (!measure_selectors(query->query->selector, level + 1, cap, size)) return false;
    }
  }
  return true;
}

// What one copy of `value` adds, as far as `cap` lets the walk go.
Size measure_value(const VarValue& value, const Size& cap) {
  Size size;
  if (const auto* list = std::get_if<VarValue::SelectorList>(&value.value)) {
    measure_selectors(list->selectors, 0, cap, size);
  } else if (const auto* selector = std::get_if<Selector>(&value.value)) {
    measure_selectors(std::span<const Selector>(selector, 1), 0, cap, size);
  } else if (std::holds_alternative<Class>(value.value)) {
    size.selectors = 1;
  } else if (const auto* text = std::get_if<VarValue::String>(&value.value)) {
    size.text = text->value.size();
  }
  return size;
}

ErrorChain report(std::string_view input, std::size_t start, std::size_t end, std::string message) {
  return ErrorChain::from_report(
      Error::new_from_span(CustomError{std::move(message)}, input, start, end)
          .renamed_rules(renamed_rules_impl));
}

}  // namespace

std::size_t ExpansionMeter::selector_limit(std::size_t input_size) {
  return std::max(kMinSelectors, input_size / kInputBytesPerSelector);
}

std::size_t ExpansionMeter::text_limit(std::size_t input_size) {
  return std::max(kMinTextBytes, input_size * kTextBytesPerInputByte);
}

CopySize ExpansionMeter::measure(const VarValue& value) {
  constexpr std::size_t kNoLimit = ~std::size_t{0};
  // Values are bounded by the nesting limit wherever they come from, so the
  // depth cap only keeps the walk's recursion as shallow as the build's.
  return measure_value(value, Size{kNoLimit, kNoLimit, MAX_NESTING + 1});
}

std::optional<ErrorChain> ExpansionMeter::over_limit(const VarValue& value, int nesting,
                                                     std::size_t selectors, std::size_t text,
                                                     std::string_view input, std::size_t start,
                                                     std::size_t end) {
  const std::size_t selector_limit = ExpansionMeter::selector_limit(input.size());
  const std::size_t text_limit = ExpansionMeter::text_limit(input.size());
  const Size cap{selector_limit - std::min(selectors, selector_limit),
                 text_limit - std::min(text, text_limit), MAX_NESTING - nesting};
  const Size size = measure_value(value, cap);
  const std::string name(input.substr(start, end - start));
  if (size.depth > cap.depth) {
    return report(input, start, end,
                  "variable `" + name + "` nests queries too deeply (the limit is " +
                      std::to_string(MAX_NESTING) + " levels)");
  }
  if (size.selectors > cap.selectors) {
    return report(input, start, end,
                  "variable `" + name + "` expands the document beyond " +
                      std::to_string(selector_limit) +
                      " selectors; a file may copy at most that many selectors out of "
                      "its variables");
  }
  if (size.text > cap.text) {
    return report(input, start, end,
                  "variable `" + name + "` expands the document beyond " +
                      std::to_string(text_limit) +
                      " bytes of text; a file may copy at most that much text out of "
                      "its variables");
  }
  return std::nullopt;
}

}  // namespace brix::detail
