// Stable codes. Errors are told apart by the message of their innermost
// entry, the one that says what is wrong; the wrappers around it only say
// where.
#include <array>
#include <string>
#include <variant>

#include "brix/diagnostics.hpp"
#include "reader/messages.hpp"

namespace brix {
namespace {

namespace messages = detail::messages;

struct MessageCode {
  std::string_view start;  // the message begins with this
  std::string_view code;
};

// Tried in order: the kind mismatches begin like syntax errors ("expected ").
constexpr std::array kByMessage = {
    MessageCode{messages::kSelectZero, "E0201"},
    MessageCode{messages::kAssignZero, "E0201"},
    MessageCode{messages::kRangeFromZero, "E0202"},
    MessageCode{messages::kSelectRangeOrder, "E0203"},
    MessageCode{messages::kRangeOrder, "E0203"},
    MessageCode{messages::kLimitNested, "E0205"},
    MessageCode{messages::kPriorityRange, "E0206"},
    MessageCode{messages::kUndefinedVariable, "E0301"},
    MessageCode{messages::kExternMissing, "E0303"},
    MessageCode{messages::kUnknownDepartment, "E0401"},
    MessageCode{messages::kDepartmentForm, "E0402"},
    MessageCode{messages::kUnknownFunction, "E0403"},
    MessageCode{"variable `", "E0601"},
    MessageCode{"input is not valid UTF-8", "E0501"},
};

bool is_kind_mismatch(std::string_view message) {
  return message.starts_with("expected ") && message.find(", found ") != std::string_view::npos;
}

}  // namespace

const std::vector<CodeInfo>& diagnostic_codes() {
  static const std::vector<CodeInfo> codes = {
      {"E0101", Severity::Error, "the text does not follow the grammar"},
      {"E0201", Severity::Error, "a count of zero"},
      {"E0202", Severity::Error, "a requirement's count range starts from zero"},
      {"E0203", Severity::Error, "a count range whose upper bound is below its lower bound"},
      {"E0204", Severity::Error, "a number too large (counts and priorities go up to 65535)"},
      {"E0205", Severity::Error, "LIMIT inside another query"},
      {"E0206", Severity::Error, "a priority that is a range"},
      {"E0301", Severity::Error, "a variable that is not defined"},
      {"E0302", Severity::Error, "a variable holding the wrong kind of value"},
      {"E0303", Severity::Error, "an extern whose value was not given"},
      {"E0401", Severity::Error, "a department that is not in the catalog"},
      {"E0402", Severity::Error, "a department code of the wrong form"},
      {"E0403", Severity::Error, "an unknown selector function"},
      {"E0404", Severity::Error, "a selector function with the wrong arguments"},
      {"E0501", Severity::Error, "the file cannot be read as UTF-8 text"},
      {"E0502", Severity::Error, "the file uses bare carriage returns as line breaks"},
      {"E0503", Severity::Error, "a catalog file that cannot be used"},
      {"E0504", Severity::Error, "the file or directory cannot be read"},
      {"E0505", Severity::Error, "the command line is not valid"},
      {"E0601", Severity::Error, "variables expand the document too far"},
      {"E0001", Severity::Error, "an internal error"},
      {"W0201", Severity::Warning, "a SELECT that cannot be met"},
      {"W0202", Severity::Warning, "a RANGE whose first course comes after its second"},
      {"W0203", Severity::Warning, "a RANGE across two departments"},
      {"W0204", Severity::Warning, "a selector listed twice"},
      {"W0205", Severity::Warning, "an empty description"},
      {"W0206", Severity::Warning, "a variable or extern that is never used"},
      {"W0207", Severity::Warning, "a variable assigned again before it was used"},
      {"W0208", Severity::Warning, "a LIMIT that limits nothing"},
  };
  return codes;
}

std::string_view error_code(const ErrorChain& chain) {
  const std::vector<ErrorChain::Entry>& entries = chain.entries();
  const ErrorChain::Entry& innermost = entries.back();
  if (std::holds_alternative<IntError>(innermost)) return "E0204";
  std::string message;
  if (const Error* report = std::get_if<Error>(&innermost)) {
    message = report->message();
  } else {
    message = std::get<std::string>(innermost);
  }
  for (const MessageCode& entry : kByMessage) {
    if (message.starts_with(entry.start)) return entry.code;
  }
  if (is_kind_mismatch(message)) return "E0302";
  if (message.find("function must take") != std::string::npos) return "E0404";
  if (std::holds_alternative<Error>(innermost) &&
      (message.starts_with("expected ") || message.starts_with("unexpected ") ||
       message == "unknown parsing error")) {
    return "E0101";
  }
  return "E0001";
}

}  // namespace brix
