// The files the sweeps read, and the extern values written beside them.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "brix/brix.hpp"

namespace brix::testing {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// NAME = VALUE lines, "$" optional, "#" comments; values that fail are left out.
inline ExternValues read_externs(std::string_view lines) {
  ExternValues externs;
  std::istringstream in{std::string(lines)};
  for (std::string line; std::getline(in, line);) {
    const std::size_t eq = line.find('=');
    if (line.starts_with('#') || eq == std::string::npos) continue;
    std::string name = line.substr(0, eq);
    name.erase(name.find_last_not_of(' ') + 1);
    name.erase(0, name.find_first_not_of(' '));
    if (!name.starts_with('$')) name = "$" + name;
    const std::string value_text =
        line.substr(std::min(line.find_first_not_of(' ', eq + 1), line.size()));
    if (Result<VarValue> value = parse_extern_value(value_text)) {
      externs.insert_or_assign(name, std::move(value).value());
    }
  }
  return externs;
}

}  // namespace brix::testing
