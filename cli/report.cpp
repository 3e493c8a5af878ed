#include "report.hpp"

#include <algorithm>
#include <cstdio>
#include <variant>
#include <vector>

namespace brix::cli {
namespace {

constexpr std::string_view kReset = "\x1b[0m";
constexpr std::string_view kBold = "\x1b[1m";
constexpr std::string_view kBoldRed = "\x1b[1;31m";
constexpr std::string_view kBoldBlue = "\x1b[1;34m";
constexpr std::string_view kBoldYellow = "\x1b[1;33m";

void paint(std::string& out, std::string_view colour, std::string_view text) {
  if (text.empty()) return;
  out += colour;
  out += text;
  out += kReset;
}

// Colours one rendered error report. Its shape is fixed: the arrow line first,
// the message line last, the underline two lines above it, and source rows
// ("12 | text") in between; only the gutter, carets and message are coloured,
// never the user's source text.
std::string colour_report(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    const std::size_t lf = text.find('\n', start);
    lines.push_back(text.substr(start, lf - start));
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  const std::size_t n = lines.size();

  std::string out;
  out.reserve(text.size() + 16 * n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::string_view line = lines[k];
    if (k > 0) out += '\n';
    if (k == 0) {
      const std::size_t arrow = line.find("-->");
      const std::size_t cut = arrow == std::string_view::npos ? 0 : arrow + 3;
      paint(out, kBoldBlue, line.substr(0, cut));
      out += line.substr(cut);
    } else if (k + 1 == n) {
      const std::size_t eq = line.find("= ");
      if (eq == std::string_view::npos) {
        out += line;
        continue;
      }
      out += line.substr(0, eq);
      paint(out, kBoldBlue, "=");
      out += ' ';
      paint(out, kBold, line.substr(eq + 2));
    } else {
      const std::size_t bar = line.find('|');
      if (bar == std::string_view::npos || line.find_first_not_of(" 0123456789") < bar) {
        out += line;
        continue;
      }
      paint(out, kBoldBlue, line.substr(0, bar + 1));
      const std::string_view rest = line.substr(bar + 1);
      const std::size_t caret = rest.find('^');
      if (k + 3 == n && caret != std::string_view::npos) {
        out += rest.substr(0, caret);
        paint(out, kBoldRed, rest.substr(caret));
      } else {
        out += rest;
      }
    }
  }
  return out;
}

std::string entry_message(const ErrorChain::Entry& entry) {
  if (const Error* report = std::get_if<Error>(&entry)) return report->message();
  return entry_text(entry);
}

const Error* first_report(const ErrorChain& chain) {
  for (const ErrorChain::Entry& entry : chain.entries()) {
    if (const Error* report = std::get_if<Error>(&entry)) return report;
  }
  return nullptr;
}

// The chain's text form with each report showing `path`, and coloured when
// asked. The entries are replaced by plain messages holding their decorated
// texts, so the library's own layout (indents, numbering) stays the only one.
std::string render_text(const ErrorChain& chain, std::optional<std::string_view> path, bool color) {
  const std::vector<ErrorChain::Entry>& entries = chain.entries();
  std::vector<std::string> texts;
  texts.reserve(entries.size());
  for (const ErrorChain::Entry& entry : entries) {
    if (const Error* report = std::get_if<Error>(&entry)) {
      std::string text = report->to_string(path);
      texts.push_back(color ? colour_report(text) : std::move(text));
    } else if (color && texts.empty()) {
      texts.push_back(std::string(kBold) + entry_text(entry) + std::string(kReset));
    } else {
      texts.push_back(entry_text(entry));
    }
  }
  ErrorChain decorated = ErrorChain::from_message(std::move(texts.back()));
  for (std::size_t i = texts.size() - 1; i-- > 0;) {
    decorated = std::move(decorated).wrap(std::move(texts[i]));
  }
  return decorated.to_string();
}

void append_field(std::string& out, std::string_view key, std::size_t value) {
  out += ",\"";
  out += key;
  out += "\":";
  out += std::to_string(value);
}

// {"file":...,"line":...,"column":...,"end_line":...,"end_column":...,
//  "message":...,"causes":[...]}; positions only where the chain has a report.
std::string render_json(const ErrorChain& chain, std::optional<std::string_view> path,
                        std::optional<std::string_view> message, bool with_position) {
  std::string out = "{\"file\":";
  out += path ? json_string(*path) : "null";
  const Error* report = with_position ? first_report(chain) : nullptr;
  if (report != nullptr) {
    const LineColLocation& at = report->line_col();
    append_field(out, "line", at.start.line);
    append_field(out, "column", at.start.column);
    if (at.end) {
      append_field(out, "end_line", at.end->line);
      append_field(out, "end_column", at.end->column);
    }
  }
  const std::vector<ErrorChain::Entry>& entries = chain.entries();
  std::size_t first_cause = 0;
  out += ",\"message\":";
  if (message) {
    out += json_string(*message);
  } else {
    out += json_string(entry_message(entries.front()));
    first_cause = 1;
  }
  out += ",\"causes\":[";
  for (std::size_t i = first_cause; i < entries.size(); ++i) {
    if (i != first_cause) out += ',';
    out += json_string(entry_message(entries[i]));
  }
  out += ']';
  out += ",\"code\":";
  out += json_string(error_code(chain));
  out += ",\"severity\":\"error\",\"spans\":[";
  if (report != nullptr && report->line_col().end) {
    // The report's own columns; byte offsets and UTF-16 columns need the
    // text, which `brix check` has.
    const InputLocation& at = report->location();
    out += "{\"start\":" + std::to_string(at.start) + ",\"end\":" + std::to_string(*at.end) +
           ",\"primary\":true,\"label\":null}";
  } else if (report != nullptr) {
    const std::size_t at = report->location().start;
    out += "{\"start\":" + std::to_string(at) + ",\"end\":" + std::to_string(at) +
           ",\"primary\":true,\"label\":null}";
  }
  out += "],\"help\":null,\"fixes\":[]}\n";
  return out;
}

void append_span(std::string& out, const SourceSpan& span, bool primary,
                 std::optional<std::string_view> label) {
  out += "{\"start\":" + std::to_string(span.start.offset) +
         ",\"end\":" + std::to_string(span.end.offset) +
         ",\"line\":" + std::to_string(span.start.line) +
         ",\"column\":" + std::to_string(span.start.column) +
         ",\"column_utf16\":" + std::to_string(span.start.column_utf16) +
         ",\"end_line\":" + std::to_string(span.end.line) +
         ",\"end_column\":" + std::to_string(span.end.column) +
         ",\"end_column_utf16\":" + std::to_string(span.end.column_utf16) +
         ",\"primary\":" + (primary ? "true" : "false") + ",\"label\":";
  out += label ? json_string(*label) : "null";
  out += '}';
}

std::string diagnostic_json(const Diagnostic& d, std::optional<std::string_view> path) {
  std::string out = "{\"file\":";
  out += path ? json_string(*path) : "null";
  if (d.span) {
    append_field(out, "line", d.span->start.line);
    append_field(out, "column", d.span->start.column);
    append_field(out, "end_line", d.span->end.line);
    append_field(out, "end_column", d.span->end.column);
  }
  out += ",\"message\":" + json_string(d.message) + ",\"causes\":[";
  if (d.chain) {
    const std::vector<ErrorChain::Entry>& entries = d.chain->entries();
    for (std::size_t i = 1; i < entries.size(); ++i) {
      if (i != 1) out += ',';
      out += json_string(entry_message(entries[i]));
    }
  }
  out += "],\"code\":" + json_string(d.code) +
         ",\"severity\":" + json_string(severity_name(d.severity)) + ",\"spans\":[";
  bool comma = false;
  if (d.span) {
    append_span(out, *d.span, true, std::nullopt);
    comma = true;
  }
  for (const Label& label : d.labels) {
    if (comma) out += ',';
    append_span(out, label.span, false, label.message);
    comma = true;
  }
  out += "],\"help\":";
  out += d.help.empty() ? "null" : json_string(d.help);
  out += ",\"fixes\":[";
  for (std::size_t i = 0; i < d.fixes.size(); ++i) {
    if (i != 0) out += ',';
    out += "{\"span\":";
    append_span(out, d.fixes[i].span, false, std::nullopt);
    out += ",\"replacement\":" + json_string(d.fixes[i].replacement) + "}";
  }
  out += "]}\n";
  return out;
}

// What a code means, for the heading of its reports.
std::string_view code_summary(std::string_view code) {
  for (const CodeInfo& info : diagnostic_codes()) {
    if (info.code == code) return info.summary;
  }
  return {};
}

// "error[E0101]: the text does not follow the grammar": the same heading for
// errors and warnings. What went wrong here is the report's own message
// below it, said once.
std::string heading(const Diagnostic& d, bool color) {
  const std::string_view severity = severity_name(d.severity);
  std::string out;
  const std::string tag = std::string(severity) + "[" + d.code + "]";
  if (color) {
    paint(out, d.severity == Severity::Error ? kBoldRed : kBoldYellow, tag);
    out += kBold;
  } else {
    out += tag;
  }
  out += ": ";
  out += code_summary(d.code);
  if (color) out += kReset;
  out += '\n';
  return out;
}

// One labelled place, drawn like a report: the line as written, carets under
// the place and the label right after them, so that the eye lands there.
// `help`, when given, closes it.
std::string label_snippet(const Label& label, std::string_view text, std::string_view path,
                          std::string_view help, bool color) {
  const SourceSpan& at = label.span;
  const std::size_t line_start = text.rfind('\n', at.start.offset == 0 ? 0 : at.start.offset - 1);
  const std::size_t from =
      line_start == std::string_view::npos || at.start.offset == 0 ? 0 : line_start + 1;
  std::size_t to = std::min(text.find('\n', from), text.size());
  if (to > from && text[to - 1] == '\r') --to;
  const std::string_view line = text.substr(from, to - from);

  std::string pad;
  for (std::size_t i = 0; i < at.start.offset - from && i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte & 0xC0) == 0x80) continue;
    pad += line[i] == '\t' ? '\t' : ' ';
  }
  const std::size_t end = std::min(at.end.offset, to);
  std::size_t width = 0;
  for (std::size_t i = at.start.offset; i < end; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++width;
  }
  std::string marks(std::max<std::size_t>(width, 1), '^');
  if (!label.message.empty()) marks.append(" ").append(label.message);

  const std::string number = std::to_string(at.start.line);
  const std::string gutter(number.size(), ' ');
  std::string out;
  // Gutter pieces are blue when coloured; the source line never is.
  const auto blue = [&](std::string_view left, std::string_view mark) {
    std::string piece(left);
    piece.append(mark);
    if (color) {
      paint(out, kBoldBlue, piece);
    } else {
      out.append(piece);
    }
  };
  blue(gutter, "-->");
  out.append(" ").append(path).append(":").append(number).append(":");
  out.append(std::to_string(at.start.column)).append("\n");
  blue(gutter, " |");
  out.append("\n");
  blue(number, " |");
  out.append(" ").append(line).append("\n");
  blue(gutter, " |");
  out.append(" ").append(pad);
  if (color) {
    paint(out, kBoldRed, marks);
  } else {
    out.append(marks);
  }
  out.append("\n");
  if (!help.empty()) {
    blue(gutter, " |");
    out.append("\n").append(gutter).append(" ");
    blue("", "=");
    out.append(" help: ").append(help).append("\n");
  }
  return out;
}

// The labels of a diagnostic, then its help: at the last label, or on its
// own line when there is none.
std::string places_and_help(const Diagnostic& d, std::string_view text, std::string_view path,
                            bool color) {
  std::string out;
  for (std::size_t i = 0; i < d.labels.size(); ++i) {
    const bool last = i + 1 == d.labels.size();
    out += label_snippet(d.labels[i], text, path, last ? std::string_view(d.help) : "", color);
  }
  if (d.labels.empty() && !d.help.empty()) out += "help: " + d.help + "\n";
  return out;
}

}  // namespace

bool use_color(ColorMode mode, bool stderr_is_terminal, const char* no_color_env) {
  switch (mode) {
    case ColorMode::Always:
      return true;
    case ColorMode::Never:
      return false;
    case ColorMode::Auto:
      break;
  }
  return stderr_is_terminal && (no_color_env == nullptr || no_color_env[0] == '\0');
}

std::string render_error(const ErrorChain& chain, std::optional<std::string_view> path,
                         const ReportStyle& style) {
  if (style.format == ErrorFormat::Json) return render_json(chain, path, std::nullopt, true);

  std::string out;
  // A chain without a report has no arrow line to name the file in.
  if (path && first_report(chain) == nullptr) {
    out += *path;
    out += ": ";
  }
  out += render_text(chain, path, style.color);
  out += '\n';
  return out;
}

std::string render_extern_error(const ExternValueError& error, const ReportStyle& style) {
  const std::string message = "Error parsing extern value for " + error.name;
  if (style.format == ErrorFormat::Json) {
    // Positions would count from the start of the value, not of any file.
    return render_json(error.chain, error.file, message, false);
  }
  return message + ": " + render_text(error.chain, std::nullopt, style.color) + "\n";
}

std::string json_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace brix::cli

namespace brix::cli {

std::string render_diagnostic(const Diagnostic& diagnostic, std::string_view text,
                              std::string_view path, const ReportStyle& style) {
  if (style.format == ErrorFormat::Json) return diagnostic_json(diagnostic, path);
  std::string out = heading(diagnostic, style.color);
  if (diagnostic.chain) {
    // The library's report exactly; the heading above names the file's
    // code, the file's own heading names the file.
    out += render_text(*diagnostic.chain, path, style.color);
    out += '\n';
  } else if (diagnostic.span) {
    const SourceSpan& at = *diagnostic.span;
    std::string rendered =
        Error::new_from_span(CustomError{diagnostic.message}, text, at.start.offset, at.end.offset)
            .to_string(path);
    out += style.color ? colour_report(rendered) : rendered;
    out += '\n';
  } else {
    out += diagnostic.message + "\n";
  }
  out += places_and_help(diagnostic, text, path, style.color);
  return out;
}

std::string render_read_error(std::string_view message, std::optional<std::string_view> path,
                              const ReportStyle& style, std::string_view code) {
  if (style.format == ErrorFormat::Text) return "brix: " + std::string(message) + "\n";
  Diagnostic d;
  if (code == "E0504" && message.find("carriage return") != std::string_view::npos) code = "E0502";
  if (code == "E0504" && message.find("invalid UTF-8") != std::string_view::npos) code = "E0501";
  d.code = std::string(code);
  d.message = std::string(message);
  return diagnostic_json(d, path);
}

std::string render_usage_error(std::string_view message, const ReportStyle& style) {
  return render_read_error(message, std::nullopt, style, "E0505");
}

}  // namespace brix::cli
