#include "source_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "brix/error.hpp"

namespace brix::cli {
namespace {

// Returns the length of the UTF-8 sequence starting at `i`, or 0 when it is
// ill-formed. Second bytes are range-checked per lead byte so that overlong
// forms, surrogates and values above U+10FFFF are rejected.
std::size_t sequence_length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

SourceText cannot_read(std::string_view name, std::string_view reason) {
  return {{}, "cannot read '" + std::string(name) + "': " + std::string(reason)};
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads until end of file; false with errno set when reading fails.
bool read_all(std::FILE* file, std::string& out) {
  char buffer[1 << 16];
  while (true) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    out.append(buffer, n);
    if (n < sizeof buffer) return std::ferror(file) == 0;
  }
}

}  // namespace

std::size_t first_invalid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Runs of ASCII are the common case: test eight bytes at a time.
    while (text.size() - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i == text.size()) break;
    if (static_cast<std::uint8_t>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = sequence_length(text, i);
    if (length == 0) return i;
    i += length;
  }
  return std::string_view::npos;
}

SourceText read_source(const std::string& path, std::string_view shown_name) {
  std::string text;
  if (path == "-") {
    errno = 0;
    if (!read_all(stdin, text)) return cannot_read(shown_name, std::strerror(errno));
  } else {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      return cannot_read(shown_name, std::strerror(EISDIR));
    }
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return cannot_read(shown_name, std::strerror(errno));
    if (!read_all(file.get(), text)) return cannot_read(shown_name, std::strerror(errno));
  }

  // Editors on some systems begin UTF-8 files with a byte-order mark; it is
  // not part of the text.
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  if (const std::size_t bad = first_invalid_utf8(text); bad != std::string_view::npos) {
    // Only the valid part before the bad byte is walked for its line and column.
    const LineCol at = line_col(std::string_view(text).substr(0, bad), bad);
    return cannot_read(shown_name, "invalid UTF-8 at line " + std::to_string(at.line) +
                                       ", column " + std::to_string(at.column) + " (byte " +
                                       std::to_string(bad) + ")");
  }
  // A lone CR is no line break to the grammar, so a file with classic Mac
  // line breaks would be read as one long line, its comment swallowing all.
  for (std::size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', cr + 1)) {
    if (cr + 1 == text.size() || text[cr + 1] != '\n') {
      const LineCol at = line_col(text, cr);
      return cannot_read(shown_name, "line " + std::to_string(at.line) +
                                         " ends in a bare carriage return (CR); BRIX files use "
                                         "line feeds (LF) or CR LF pairs as line breaks");
    }
  }
  return {std::move(text), std::nullopt};
}

}  // namespace brix::cli
