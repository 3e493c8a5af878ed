#include "fmt_command.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "brix/format.hpp"
#include "source_file.hpp"
#include "unified_diff.hpp"

namespace brix::cli {
namespace {

// Writes beside the file and renames over it, so that a failed write never
// leaves half a file; the file keeps its permissions.
std::optional<std::string> replace_file(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".brix-fmt~";
  auto failed = [&](int error) {
    std::remove(temporary.c_str());
    return "cannot write '" + path + "': " + std::strerror(error);
  };
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(temporary.c_str(), "wb"),
                                                         std::fclose);
    if (!file) return "cannot write '" + path + "': " + std::strerror(errno);
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
        std::fflush(file.get()) != 0) {
      return failed(errno);
    }
  }
  std::error_code ec;
  const auto permissions = std::filesystem::status(path, ec).permissions();
  if (!ec) std::filesystem::permissions(temporary, permissions, ec);
  std::filesystem::rename(temporary, path, ec);
  if (ec) return failed(ec.value());
  return std::nullopt;
}

}  // namespace

Outcome format_file(const std::string& path, const Context& context) {
  const Options& options = context.options;
  const std::string shown = path == "-" ? options.stdin_name : path;
  SourceText source = read_source(path, shown);
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  Result<std::string> formatted = format(source.text);
  if (!formatted) {
    return Outcome{kBrixError, {}, render_error(formatted.error(), shown, context.style)};
  }
  const bool changed = *formatted != source.text;
  if (options.diff) {
    return {changed ? kBrixError : kOk, unified_diff(source.text, *formatted, shown), {}};
  }
  if (options.check) return {changed ? kBrixError : kOk, changed ? shown + "\n" : "", {}};
  if (path == "-") return {kOk, std::move(formatted).value(), {}};
  if (changed) {
    if (auto error = replace_file(path, *formatted)) {
      return Outcome{kUsageError, {}, "brix: " + *error + "\n"};
    }
  }
  return {};
}

}  // namespace brix::cli
