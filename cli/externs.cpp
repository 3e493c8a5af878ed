#include "externs.hpp"

#include <utility>

#include "source_file.hpp"

namespace brix::cli {
namespace {

bool is_name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool is_name_continue(char c) {
  return is_name_start(c) || (c >= '0' && c <= '9');
}

// "$name" for a valid variable name written with or without its "$".
std::optional<std::string> variable_name(std::string_view name) {
  if (name.starts_with('$')) name.remove_prefix(1);
  if (name.empty() || !is_name_start(name[0])) return std::nullopt;
  for (char c : name) {
    if (!is_name_continue(c)) return std::nullopt;
  }
  std::string variable(1, '$');
  variable.append(name);
  return variable;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

struct Definition {
  std::string name;
  std::string_view value;
};

using Failure = std::variant<ExternUsageError, ExternValueError>;

// Parses `value` and stores it; the error, if any, is returned.
std::optional<Failure> define(ExternValues& values, Definition definition,
                              const std::optional<std::string>& file) {
  Result<VarValue> value = parse_extern_value(definition.value);
  if (!value) {
    return Failure(ExternValueError{std::move(definition.name), std::move(value).error(), file});
  }
  values.insert_or_assign(std::move(definition.name), std::move(value).value());
  return std::nullopt;
}

std::optional<Failure> load_pair(ExternValues& values, std::string_view arg) {
  const std::size_t eq = arg.find('=');
  if (eq == std::string_view::npos) {
    return Failure(ExternUsageError{"--extern needs NAME=VALUE, got '" + std::string(arg) + "'"});
  }
  // Spaces around "=" are allowed, as in externs files.
  auto name = variable_name(trim(arg.substr(0, eq)));
  if (!name) {
    return Failure(ExternUsageError{"invalid extern name '" + std::string(trim(arg.substr(0, eq))) +
                                    "' in --extern (a letter or _, then letters, digits or _)"});
  }
  return define(values, {std::move(*name), trim(arg.substr(eq + 1))}, std::nullopt);
}

std::optional<Failure> load_file(ExternValues& values, const std::string& path) {
  SourceText source = read_source(path, path);
  if (source.error) return Failure(ExternUsageError{std::move(*source.error)});

  std::string_view rest = source.text;
  std::size_t line_number = 0;
  while (!rest.empty()) {
    ++line_number;
    const std::size_t lf = rest.find('\n');
    const std::string_view line = trim(rest.substr(0, lf));
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (line.empty() || line.starts_with('#')) continue;

    const std::string where = path + ":" + std::to_string(line_number) + ": ";
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      return Failure(ExternUsageError{where + "expected NAME=VALUE"});
    }
    auto name = variable_name(trim(line.substr(0, eq)));
    if (!name) {
      return Failure(ExternUsageError{where + "invalid extern name '" +
                                      std::string(trim(line.substr(0, eq))) + "'"});
    }
    if (auto error = define(values, {std::move(*name), trim(line.substr(eq + 1))}, path)) {
      return error;
    }
  }
  return std::nullopt;
}

}  // namespace

std::variant<ExternValues, ExternUsageError, ExternValueError> load_externs(
    const std::vector<ExternSource>& sources) {
  ExternValues values;
  for (const ExternSource& source : sources) {
    std::optional<Failure> failure = source.kind == ExternSource::Kind::Pair
                                         ? load_pair(values, source.text)
                                         : load_file(values, source.text);
    if (!failure) continue;
    if (auto* usage = std::get_if<ExternUsageError>(&*failure)) return std::move(*usage);
    return std::get<ExternValueError>(std::move(*failure));
  }
  return values;
}

}  // namespace brix::cli
