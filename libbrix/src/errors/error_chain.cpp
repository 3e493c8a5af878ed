#include "brix/error_chain.hpp"

#include <string>

namespace brix {
namespace {

// Appends `text`, following every line feed inside it with `indent`.
void append_indented(std::string& out, std::string_view text, std::string_view indent) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t lf = text.find('\n', from);
    if (lf == std::string_view::npos) {
      out.append(text.substr(from));
      return;
    }
    out.append(text.substr(from, lf + 1 - from));
    out.append(indent);
    from = lf + 1;
  }
}

}  // namespace

std::string_view int_error_text(IntError error) {
  switch (error) {
    case IntError::Empty:
      return "cannot parse integer from empty string";
    case IntError::InvalidDigit:
      return "invalid digit found in string";
    case IntError::PosOverflow:
      return "number too large to fit in target type";
  }
  return "invalid digit found in string";
}

std::string entry_text(const ErrorChain::Entry& entry) {
  if (const auto* message = std::get_if<std::string>(&entry)) return *message;
  if (const auto* report = std::get_if<Error>(&entry)) return report->to_string();
  return std::string(int_error_text(std::get<IntError>(entry)));
}

ErrorChain ErrorChain::from_message(std::string message) {
  return ErrorChain(std::move(message));
}

ErrorChain ErrorChain::from_report(Error report) {
  return ErrorChain(std::move(report));
}

ErrorChain ErrorChain::from_int_error(IntError error) {
  return ErrorChain(error);
}

ErrorChain ErrorChain::wrap(std::string message) && {
  entries_.insert(entries_.begin(), Entry(std::move(message)));
  return std::move(*this);
}

std::string ErrorChain::to_string() const {
  std::string out = entry_text(entries_.front());
  const std::size_t causes = entries_.size() - 1;
  if (causes == 0) return out;
  out += "\n\nCaused by:";
  if (causes == 1) {
    out += "\n    ";
    append_indented(out, entry_text(entries_[1]), "    ");
    return out;
  }
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    std::string number = std::to_string(i - 1);
    if (number.size() < 5) number.insert(0, 5 - number.size(), ' ');
    out += '\n';
    out += number;
    out += ": ";
    append_indented(out, entry_text(entries_[i]), "       ");
  }
  return out;
}

}  // namespace brix
