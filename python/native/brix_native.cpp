// brix._native: the library's explanation, page, graph and highlighter for
// the brix package. Like rediriziv it is written against CPython's limited
// API, so one binary serves every interpreter from 3.8 on; unlike rediriziv
// it is private, and the package's Python code gives it its public face.

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03080000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "brix/brix.hpp"
#include "brix/explain.hpp"
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
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "U|O:explain", const_cast<char**>(keywords),
                                   &text, &externs)) {
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
    Ref pair(Py_BuildValue("(NN)", new_str(brix::pygments_token_type(token.kind)),
                           new_str(std::string_view(*source).substr(
                               token.start, token.end - token.start))));
    if (!pair) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), pair.release());
  }
  return list.release();
}

PyMethodDef functions[] = {
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
    PyModuleDef_HEAD_INIT, "brix._native", nullptr, -1, functions, nullptr, nullptr, nullptr,
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
