// Symbols for tools, from a sink of the reader. A variable's definitions are
// counted as the reader binds them, so the definition in effect at a use is
// the one the reader looked the use up in.
//
// An editor seldom has the values of a file's externs, so an extern without
// one gets a stand-in, of the kind its uses ask for: the stand-in's kind is
// corrected from the mismatch errors it causes, a few times at most.
#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "brix/diagnostics.hpp"
#include "diagnostics/position_index.hpp"
#include "diagnostics/read.hpp"
#include "diagnostics/recovery.hpp"
#include "reader/functions.hpp"
#include "reader/messages.hpp"

namespace brix {
namespace {

using detail::Span;

class SymbolSink : public detail::Sink<std::string> {
 public:
  explicit SymbolSink(std::string_view text) : lines_(text) {}

  Symbols take() && { return std::move(out_); }

  void extern_declared(const detail::Name& name, detail::ValueKind kind, Span statement) {
    define(name, kind, statement, true);
  }
  // An extern's value comes as an assignment without a place; the extern
  // is defined where it is declared.
  std::string assignment_end(const detail::Name& name, detail::ValueKind kind, Span,
                             Span statement) {
    if (statement != Span{}) define(name, kind, statement, false);
    return std::exchange(string_, std::string());
  }
  void string(const detail::Literal& literal) { string_ = literal.text(); }

  void variable_use(const detail::Name& name, detail::ValueKind) {
    const auto in_effect = in_effect_.find(name.text);
    if (in_effect == in_effect_.end()) return;
    out_.uses.push_back({std::string(name.text), span(name.span), in_effect->second});
  }

  void description(const detail::Literal& literal) {
    requirement_.description = literal.text();
    requirement_.description_span = span(literal.span);
  }
  void description(const detail::Name& name, const std::string& value) {
    requirement_.description = value;
    requirement_.description_span = span(name.span);
  }
  void priority(const detail::Count& count, bool) { requirement_.priority = count.from; }
  void query_end(Span query, int level) {
    if (level == 0) requirement_.query = span(query);
  }
  void requirement_end(Span statement) {
    requirement_.statement = span(statement);
    out_.requirements.push_back(std::exchange(requirement_, Symbols::Requirement{}));
  }

  void course(const detail::Course& course) {
    out_.courses.push_back({std::string(course.department), course.number, course.lab,
                            span(course.span), span(course.department_span)});
  }
  void call(const detail::Call<std::string>& call) {
    if (call.span == Span{}) return;  // in an extern's value
    const auto row = static_cast<std::size_t>(call.function);
    out_.calls.push_back(
        {std::string(detail::kFunctions[row].upper), span(call.name_span), span(call.span)});
  }

 private:
  SourceSpan span(Span at) const { return lines_.span(at.begin, at.end); }

  void define(const detail::Name& name, detail::ValueKind kind, Span statement, bool is_extern) {
    in_effect_[std::string(name.text)] = out_.definitions.size();
    out_.definitions.push_back({std::string(name.text), span(name.span), span(statement), is_extern,
                                std::string(detail::kKindNames[static_cast<std::size_t>(kind)])});
  }

  detail::PositionIndex lines_;
  Symbols out_;
  Symbols::Requirement requirement_;
  std::map<std::string, std::size_t, std::less<>> in_effect_;
  std::string string_;
};

// The name between the backquotes of a message: "... `$x` ...".
std::string_view quoted_name(std::string_view message) {
  const std::size_t open = message.find("`$");
  if (open == std::string_view::npos) return {};
  const std::size_t close = message.find('`', open + 1);
  return message.substr(open + 1, close - open - 1);
}

// A stand-in of the kind an error's message asks for.
std::optional<VarValue> stand_in_for(std::string_view message) {
  namespace messages = detail::messages;
  const auto begins = [&](std::string_view start) { return message.starts_with(start); };
  if (begins(messages::kExternMissing) || begins(messages::kExpectedSelector) ||
      begins(messages::kExpectedArgument)) {
    return VarValue{Class{Text("AAAA"), 1000, false}};
  }
  if (begins(messages::kExpectedQuantity) || begins(messages::kExpectedPriority)) {
    return VarValue{Quantity{Quantity::Single{1}}};
  }
  if (begins(messages::kExpectedDescription)) return VarValue{VarValue::String{Text("")}};
  return std::nullopt;
}

// What an error says is wrong, below the wrappers that say where.
std::string innermost_message(const Diagnostic& error) {
  if (!error.chain) return error.message;
  const ErrorChain::Entry& last = error.chain->entries().back();
  if (const Error* report = std::get_if<Error>(&last)) return report->message();
  return entry_text(last);
}

constexpr int kStandInRounds = 4;

}  // namespace

Symbols symbols(std::string_view text, const Options& options) {
  {
    SymbolSink sink(text);
    if (detail::read_clean(text, options, sink)) return std::move(sink).take();
  }
  Options with_stand_ins = options;
  with_stand_ins.warnings = false;
  // Externs that got a stand-in, and whether its kind was corrected.
  std::map<std::string, bool, std::less<>> stood_in;
  detail::Recovered recovered = detail::recover(text, with_stand_ins, false);
  for (int round = 0; round < kStandInRounds; ++round) {
    bool changed = false;
    for (const Diagnostic& error : recovered.errors) {
      const std::string message = innermost_message(error);
      const std::string name(quoted_name(message));
      const std::optional<VarValue> stand_in = stand_in_for(message);
      if (name.empty() || !stand_in) continue;
      if (message.starts_with("extern variable")) {
        stood_in.emplace(name, false);
      } else if (auto it = stood_in.find(name); it != stood_in.end() && !it->second) {
        it->second = true;
      } else {
        continue;
      }
      with_stand_ins.externs[name] = *stand_in;
      changed = true;
    }
    if (!changed) break;
    recovered = detail::recover(text, with_stand_ins, false);
  }
  SymbolSink sink(text);
  detail::read_clean(recovered.readable, with_stand_ins, sink);
  return std::move(sink).take();
}

}  // namespace brix
