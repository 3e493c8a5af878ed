// brix._native: the library's checks, symbols, formatter, explanation, page,
// graph and highlighter for the brix package. Like rediriziv it is written against CPython's
// limited API, so one binary serves every interpreter from 3.8 on; unlike rediriziv it is private,
// and the package's Python code gives it its public face.

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03080000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brix/brix.hpp"
#include "brix/diagnostics.hpp"
#include "brix/explain.hpp"
#include "brix/format.hpp"
#include "brix/highlight.hpp"
#include "brix/render.hpp"

namespace {

// Owns one reference.
class Ref {
 public:
  explicit Ref(PyObject* object) : object_(object) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(object_); }
  PyObject* get() const { return object_; }
  PyObject* release() { return std::exchange(object_, nullptr); }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  PyObject* object_;
};

template <class To, class From>
To function_cast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

PyObject* new_str(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

void raise_value_error(const brix::ErrorChain& error) {
  Ref text(new_str(error.to_string()));
  if (text) PyErr_SetObject(PyExc_ValueError, text.get());
}

std::optional<std::string> utf8_of(PyObject* object, const char* what) {
  if (!PyUnicode_Check(object)) {
    PyErr_Format(PyExc_TypeError, "%s must be str", what);
    return std::nullopt;
  }
  Ref bytes(PyUnicode_AsUTF8String(object));
  if (!bytes) return std::nullopt;
  return std::string(PyBytes_AsString(bytes.get()),
                     static_cast<std::size_t>(PyBytes_Size(bytes.get())));
}

// A mapping of extern names (the "$" may be left out) to value texts, each
// checked as `brix value` checks it.
std::optional<brix::ExternValues> externs_of(PyObject* mapping) {
  brix::ExternValues externs;
  if (mapping == nullptr || mapping == Py_None) return externs;
  if (!PyMapping_Check(mapping)) {
    PyErr_SetString(PyExc_TypeError, "externs must be a mapping of str to str");
    return std::nullopt;
  }
  Ref items(PyMapping_Items(mapping));
  if (!items) return std::nullopt;
  const Py_ssize_t count = PyList_Size(items.get());
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PyList_GetItem(items.get(), i);
    std::optional<std::string> name = utf8_of(PyTuple_GetItem(item, 0), "an extern name");
    if (!name) return std::nullopt;
    std::optional<std::string> text = utf8_of(PyTuple_GetItem(item, 1), "an extern value");
    if (!text) return std::nullopt;
    if (!name->starts_with('$')) name->insert(0, 1, '$');
    brix::Result<brix::VarValue> value = brix::parse_extern_value(*text);
    if (!value) {
      raise_value_error(std::move(value).error().wrap("invalid value for extern " + *name));
      return std::nullopt;
    }
    externs.insert_or_assign(std::move(*name), std::move(value).value());
  }
  return externs;
}

PyObject* string_result(brix::Result<std::string> result) {
  if (!result) {
    raise_value_error(result.error());
    return nullptr;
  }
  return new_str(result.value());
}

PyObject* native_explain(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", "externs", nullptr};
  PyObject* text = nullptr;
  PyObject* externs = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O:explain", const_cast<char**>(keywords), &text,
                                   &externs)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  std::optional<brix::ExternValues> values = externs_of(externs);
  if (!values) return nullptr;
  return string_result(brix::explain(*source, *values));
}

template <brix::Result<std::string> (*Render)(std::string_view, const brix::ExternValues&,
                                              const brix::RenderOptions&)>
PyObject* native_render(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", "externs", "title", nullptr};
  PyObject* text = nullptr;
  PyObject* externs = nullptr;
  PyObject* title = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|OU", const_cast<char**>(keywords), &text,
                                   &externs, &title)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  std::optional<brix::ExternValues> values = externs_of(externs);
  if (!values) return nullptr;
  std::optional<std::string> heading =
      title != nullptr ? utf8_of(title, "title") : std::optional<std::string>("requirements");
  if (!heading) return nullptr;
  return string_result(Render(*source, *values, brix::RenderOptions{*heading}));
}

PyObject* native_highlight(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", nullptr};
  PyObject* text = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U:highlight", const_cast<char**>(keywords),
                                   &text)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  const auto tokens = brix::highlight(*source);
  Ref list(PyList_New(static_cast<Py_ssize_t>(tokens.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const brix::HighlightToken& token = tokens[i];
    Ref pair(Py_BuildValue(
        "(NN)", new_str(brix::pygments_token_type(token.kind)),
        new_str(std::string_view(*source).substr(token.start, token.end - token.start))));
    if (!pair) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), pair.release());
  }
  return list.release();
}

// A list of str.
std::optional<std::vector<std::string>> strings_of(PyObject* sequence, const char* what) {
  std::vector<std::string> out;
  Ref iterator(PyObject_GetIter(sequence));
  if (!iterator) return std::nullopt;
  while (Ref item{PyIter_Next(iterator.get())}) {
    std::optional<std::string> text = utf8_of(item.get(), what);
    if (!text) return std::nullopt;
    out.push_back(std::move(*text));
  }
  if (PyErr_Occurred() != nullptr) return std::nullopt;
  return out;
}

// The options of check and load: externs, and the catalog as department codes
// (None for the built-in one).
std::optional<brix::Options> options_of(PyObject* externs, PyObject* catalog) {
  brix::Options options;
  std::optional<brix::ExternValues> values = externs_of(externs);
  if (!values) return std::nullopt;
  options.externs = std::move(*values);
  if (catalog != nullptr && catalog != Py_None) {
    std::optional<std::vector<std::string>> codes = strings_of(catalog, "a department code");
    if (!codes) return std::nullopt;
    brix::Result<brix::Catalog> read = brix::Catalog::from_codes(*codes);
    if (!read) {
      raise_value_error(read.error());
      return std::nullopt;
    }
    options.catalog = std::move(read).value();
  }
  return options;
}

PyObject* span_tuple(const brix::SourceSpan& span) {
  auto position = [](const brix::SourcePosition& at) {
    return Py_BuildValue("(nnnn)", static_cast<Py_ssize_t>(at.offset),
                         static_cast<Py_ssize_t>(at.line), static_cast<Py_ssize_t>(at.column),
                         static_cast<Py_ssize_t>(at.column_utf16));
  };
  return Py_BuildValue("(NN)", position(span.start), position(span.end));
}

// (severity, code, message, span or None, [(span, message)], help,
//  [(span, replacement)]); the package turns it into a Diagnostic.
PyObject* diagnostic_tuple(const brix::Diagnostic& d) {
  Ref labels(PyList_New(0));
  Ref fixes(PyList_New(0));
  if (!labels || !fixes) return nullptr;
  for (const brix::Label& label : d.labels) {
    Ref item(Py_BuildValue("(NN)", span_tuple(label.span), new_str(label.message)));
    if (!item || PyList_Append(labels.get(), item.get()) != 0) return nullptr;
  }
  for (const brix::FixIt& fix : d.fixes) {
    Ref item(Py_BuildValue("(NN)", span_tuple(fix.span), new_str(fix.replacement)));
    if (!item || PyList_Append(fixes.get(), item.get()) != 0) return nullptr;
  }
  PyObject* span = nullptr;
  if (d.span) {
    span = span_tuple(*d.span);
  } else {
    Py_INCREF(Py_None);
    span = Py_None;
  }
  return Py_BuildValue("(NNNNNNN)", new_str(brix::severity_name(d.severity)), new_str(d.code),
                       new_str(d.message), span, labels.release(), new_str(d.help),
                       fixes.release());
}

PyObject* native_check(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", "externs", "catalog", "warnings", "allowed", nullptr};
  PyObject* text = nullptr;
  PyObject* externs = nullptr;
  PyObject* catalog = nullptr;
  int warnings = 1;
  PyObject* allowed = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|OOpO:check", const_cast<char**>(keywords),
                                   &text, &externs, &catalog, &warnings, &allowed)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  std::optional<brix::Options> options = options_of(externs, catalog);
  if (!options) return nullptr;
  options->warnings = warnings != 0;
  if (allowed != nullptr && allowed != Py_None) {
    std::optional<std::vector<std::string>> codes = strings_of(allowed, "a warning code");
    if (!codes) return nullptr;
    options->allowed = std::move(*codes);
  }
  // The check reads only its own copies, so other Python threads (a language
  // server answering requests) may run meanwhile.
  std::vector<brix::Diagnostic> found;
  PyThreadState* state = PyEval_SaveThread();
  found = brix::check(*source, *options);
  PyEval_RestoreThread(state);
  Ref list(PyList_New(static_cast<Py_ssize_t>(found.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < found.size(); ++i) {
    PyObject* item = diagnostic_tuple(found[i]);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

// The chain's text with `path` in the arrow line of its report, as the
// command shows it; a chain without a report is preceded by the path.
std::string report_with_path(const brix::ErrorChain& chain, std::optional<std::string_view> path) {
  std::vector<std::string> texts;
  bool located = false;
  for (const brix::ErrorChain::Entry& entry : chain.entries()) {
    if (const brix::Error* report = std::get_if<brix::Error>(&entry)) {
      texts.push_back(report->to_string(path));
      located = true;
    } else {
      texts.push_back(brix::entry_text(entry));
    }
  }
  brix::ErrorChain rebuilt = brix::ErrorChain::from_message(std::move(texts.back()));
  for (std::size_t i = texts.size() - 1; i-- > 0;) {
    rebuilt = std::move(rebuilt).wrap(std::move(texts[i]));
  }
  std::string out = path && !located ? std::string(*path) + ": " : std::string();
  return out + rebuilt.to_string();
}

// (True, compact JSON) or (False, the error report with the path).
PyObject* native_load(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", "externs", "catalog", "path", nullptr};
  PyObject* text = nullptr;
  PyObject* externs = nullptr;
  PyObject* catalog = nullptr;
  PyObject* path = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|OOO:load", const_cast<char**>(keywords), &text,
                                   &externs, &catalog, &path)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  std::optional<brix::Options> options = options_of(externs, catalog);
  if (!options) return nullptr;
  std::optional<std::string> shown;
  if (path != nullptr && path != Py_None) {
    shown = utf8_of(path, "path");
    if (!shown) return nullptr;
  }
  brix::Result<brix::ParseResult> result = brix::parse_with_options(*source, *options);
  if (!result)
    return Py_BuildValue("(ON)", Py_False, new_str(report_with_path(result.error(), shown)));
  brix::Result<std::string> json = result.value().to_string();
  if (!json) {
    raise_value_error(json.error());
    return nullptr;
  }
  return Py_BuildValue("(ON)", Py_True, new_str(json.value()));
}

// A syntax error refused by the formatter comes back as (False, report); the
// package raises its error with the diagnostics, as load does.
PyObject* native_format(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", nullptr};
  PyObject* text = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U:format", const_cast<char**>(keywords), &text)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  brix::Result<std::string> formatted = brix::format(*source);
  if (!formatted) return Py_BuildValue("(ON)", Py_False, new_str(formatted.error().to_string()));
  return Py_BuildValue("(ON)", Py_True, new_str(formatted.value()));
}

std::string_view slice(std::string_view text, const brix::SourceSpan& span) {
  return text.substr(span.start.offset, span.end.offset - span.start.offset);
}

// What an assignment's name is given: the statement after its "=", without
// the ";". Comments between the name and "=" are stepped over.
std::string_view assigned_value(std::string_view text, const brix::Symbols::Definition& d) {
  std::string_view rest =
      text.substr(d.span.end.offset, d.statement.end.offset - d.span.end.offset);
  std::size_t at = 0;
  while (at < rest.size() && rest[at] != '=') {
    if (rest.compare(at, 2, "//") == 0) {
      at = rest.find('\n', at);
      if (at == std::string_view::npos) return {};
    }
    ++at;
  }
  if (at >= rest.size()) return {};
  rest.remove_prefix(at + 1);
  if (rest.ends_with(';')) rest.remove_suffix(1);
  constexpr std::string_view space = " \t\r\n";
  const std::size_t first = rest.find_first_not_of(space);
  if (first == std::string_view::npos) return {};
  return rest.substr(first, rest.find_last_not_of(space) - first + 1);
}

// ([(name, span, statement, value, is_extern)], [(name, span, definition)],
//  [(statement, description, description span)],
//  [(kind, text, span)] in text order); the package makes Symbols of it.
PyObject* native_symbols(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* keywords[] = {"text", "externs", nullptr};
  PyObject* text = nullptr;
  PyObject* externs = nullptr;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O:symbols", const_cast<char**>(keywords), &text,
                                   &externs)) {
    return nullptr;
  }
  std::optional<std::string> source = utf8_of(text, "text");
  if (!source) return nullptr;
  std::optional<brix::Options> options = options_of(externs, nullptr);
  if (!options) return nullptr;
  options->warnings = false;
  brix::Symbols found;
  PyThreadState* state = PyEval_SaveThread();
  found = brix::symbols(*source, *options);
  PyEval_RestoreThread(state);
  const std::string_view all(*source);

  Ref definitions(PyList_New(0));
  Ref uses(PyList_New(0));
  Ref requirements(PyList_New(0));
  Ref references(PyList_New(0));
  if (!definitions || !uses || !requirements || !references) return nullptr;
  auto append = [](PyObject* list, PyObject* item) {
    Ref owned(item);
    return owned && PyList_Append(list, owned.get()) == 0;
  };
  for (const brix::Symbols::Definition& d : found.definitions) {
    const std::string_view value = d.is_extern ? std::string_view() : assigned_value(all, d);
    if (!append(definitions.get(), Py_BuildValue("(NNNNO)", new_str(d.name), span_tuple(d.span),
                                                 span_tuple(d.statement), new_str(value),
                                                 d.is_extern ? Py_True : Py_False))) {
      return nullptr;
    }
  }
  for (const brix::Symbols::Use& u : found.uses) {
    if (!append(uses.get(), Py_BuildValue("(NNn)", new_str(u.name), span_tuple(u.span),
                                          static_cast<Py_ssize_t>(u.definition)))) {
      return nullptr;
    }
  }
  for (const brix::Symbols::Requirement& r : found.requirements) {
    if (!append(requirements.get(),
                Py_BuildValue("(NNN)", span_tuple(r.statement), new_str(r.description),
                              span_tuple(r.description_span)))) {
      return nullptr;
    }
  }
  // Courses (each followed by its department) and calls, merged by place.
  std::size_t course = 0;
  std::size_t call = 0;
  while (course < found.courses.size() || call < found.calls.size()) {
    const bool take_call =
        call < found.calls.size() &&
        (course == found.courses.size() ||
         found.calls[call].name_span.start.offset < found.courses[course].span.start.offset);
    if (take_call) {
      const brix::Symbols::Call& c = found.calls[call++];
      if (!append(references.get(),
                  Py_BuildValue("(NNN)", new_str("function"), new_str(slice(all, c.name_span)),
                                span_tuple(c.name_span)))) {
        return nullptr;
      }
      continue;
    }
    const brix::Symbols::Course& c = found.courses[course++];
    if (!append(references.get(), Py_BuildValue("(NNN)", new_str("course"),
                                                new_str(slice(all, c.span)), span_tuple(c.span))) ||
        !append(references.get(), Py_BuildValue("(NNN)", new_str("department"),
                                                new_str(slice(all, c.department_span)),
                                                span_tuple(c.department_span)))) {
      return nullptr;
    }
  }
  return Py_BuildValue("(NNNN)", definitions.release(), uses.release(), requirements.release(),
                       references.release());
}

PyObject* native_departments(PyObject*, PyObject*) {
  const std::vector<std::string>& codes = brix::Catalog::builtin().codes();
  Ref list(PyList_New(static_cast<Py_ssize_t>(codes.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    PyObject* code = new_str(codes[i]);
    if (code == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), code);
  }
  return list.release();
}

PyMethodDef functions[] = {
    {"departments", native_departments, METH_NOARGS, "departments()\n--\n\n"},
    {"check", function_cast<PyCFunction>(native_check), METH_VARARGS | METH_KEYWORDS,
     "check(text, externs=None, catalog=None, warnings=True, allowed=None)\n--\n\n"},
    {"load", function_cast<PyCFunction>(native_load), METH_VARARGS | METH_KEYWORDS,
     "load(text, externs=None, catalog=None, path=None)\n--\n\n"},
    {"symbols", function_cast<PyCFunction>(native_symbols), METH_VARARGS | METH_KEYWORDS,
     "symbols(text, externs=None)\n--\n\n"},
    {"format", function_cast<PyCFunction>(native_format), METH_VARARGS | METH_KEYWORDS,
     "format(text)\n--\n\n"},
    {"explain", function_cast<PyCFunction>(native_explain), METH_VARARGS | METH_KEYWORDS,
     "explain(text, externs=None)\n--\n\n"},
    {"render_html", function_cast<PyCFunction>(native_render<brix::render_html>),
     METH_VARARGS | METH_KEYWORDS, "render_html(text, externs=None, title='requirements')\n--\n\n"},
    {"render_dot", function_cast<PyCFunction>(native_render<brix::render_dot>),
     METH_VARARGS | METH_KEYWORDS, "render_dot(text, externs=None, title='requirements')\n--\n\n"},
    {"highlight", function_cast<PyCFunction>(native_highlight), METH_VARARGS | METH_KEYWORDS,
     "highlight(text)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module = {
    PyModuleDef_HEAD_INIT,
    "brix._native",
    nullptr,
    -1,
    functions,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__native() {
  PyObject* m = PyModule_Create(&module);
  if (m == nullptr) return nullptr;
  if (PyModule_AddStringConstant(m, "__version__", brix::VERSION) != 0) {
    Py_DECREF(m);
    return nullptr;
  }
  return m;
}
