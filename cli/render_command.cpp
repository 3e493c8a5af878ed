#include "render_command.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "brix/render.hpp"
#include "source_file.hpp"

namespace brix::cli {
namespace {

// The file's own name, without its directories: the page's heading.
std::string_view base_name(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> write_file(const std::string& path, const std::string& text) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return "cannot write '" + path + "': " + std::strerror(errno);
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() ||
      std::fflush(file.get()) != 0) {
    return "cannot write '" + path + "': " + std::strerror(errno);
  }
  return std::nullopt;
}

}  // namespace

Outcome render_file(const std::string& path, const Context& context) {
  const std::string shown = path == "-" ? context.options.stdin_name : path;
  SourceText source = read_source(path, shown);
  if (source.error) return Outcome{kUsageError, {}, "brix: " + *source.error + "\n"};
  const RenderOptions options{base_name(shown)};
  Result<std::string> page = context.options.dot
                                 ? render_dot(source.text, context.externs, options)
                                 : render_html(source.text, context.externs, options);
  if (!page) return Outcome{kBrixError, {}, render_error(page.error(), shown, context.style)};
  if (context.options.output_path.empty()) return {kOk, std::move(page).value(), {}};
  if (auto error = write_file(context.options.output_path, page.value())) {
    return Outcome{kUsageError, {}, "brix: " + *error + "\n"};
  }
  return {};
}

}  // namespace brix::cli
