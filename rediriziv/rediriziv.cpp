// rediriziv: the Python face of libbrix.
//
// Three module functions hand Python strings to the library and one type,
// BRIX, holds a successful parse. Library errors become ValueError carrying
// the library's error text; argument errors become TypeError with the same
// wording the interpreter uses for Python functions.
//
// The module is written against CPython's limited API so that one binary
// serves every interpreter from 3.8 on.

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03080000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "brix/brix.hpp"
#include "latin1.hpp"

namespace {

// ---------------------------------------------------------------------------
// Small helpers

// Owns one reference; releases it when it goes out of scope.
class Ref {
 public:
  Ref() = default;
  explicit Ref(PyObject* object) : object_(object) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { Py_XDECREF(object_); }

  PyObject* get() const { return object_; }
  PyObject* release() { return std::exchange(object_, nullptr); }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  PyObject* object_ = nullptr;
};

// Function pointers go through void(*)() on their way into the interpreter's
// tables, which is the documented way to silence -Wcast-function-type.
template <class To, class From>
To function_cast(From function) {
  return reinterpret_cast<To>(reinterpret_cast<void (*)()>(function));
}

PyObject* new_str(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// Error texts quote source lines, so they may hold any character, NUL
// included; the text is passed as an object rather than as a C string.
void raise_value_error(std::string_view message) {
  Ref text(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text) PyErr_SetObject(PyExc_ValueError, text.get());
}

// "argument 'brix': 'int' object cannot be cast as 'str'", naming the type by
// its qualified name as the interpreter does.
void raise_cast_error(const char* parameter, PyObject* object, const char* expected) {
  Ref type_name(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  if (!type_name) return;
  PyErr_Format(PyExc_TypeError, "argument '%s': '%S' object cannot be cast as '%s'", parameter,
               type_name.get(), expected);
}

// Runs the body of an entry point; a C++ exception must not unwind into the
// interpreter, so it becomes a Python exception here.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::length_error&) {
    return PyErr_NoMemory();
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unexpected C++ exception");
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Arguments

// Matches a call's positional and keyword arguments to `names`, every one of
// them required and accepted either way, with the interpreter's own messages
// for the mistakes. `bound` receives borrowed references.
template <std::size_t N>
bool bind_arguments(const char* function, const char* const (&names)[N], PyObject* args,
                    PyObject* kwargs, PyObject* (&bound)[N]) {
  constexpr auto count = static_cast<Py_ssize_t>(N);
  const Py_ssize_t given = PyTuple_Size(args);
  if (given < 0) return false;
  if (given > count) {
    PyErr_Format(PyExc_TypeError, "%s() takes %zd positional arguments but %zd %s given", function,
                 count, given, given == 1 ? "was" : "were");
    return false;
  }
  for (Py_ssize_t i = 0; i < count; ++i) {
    bound[i] = i < given ? PyTuple_GetItem(args, i) : nullptr;
  }

  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      Py_ssize_t index = 0;
      while (index < count && PyUnicode_CompareWithASCIIString(key, names[index]) != 0) ++index;
      if (index == count) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", function,
                     key);
        return false;
      }
      if (bound[index] != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function,
                     names[index]);
        return false;
      }
      bound[index] = value;
    }
  }

  std::string missing;
  std::size_t missing_count = 0;
  for (std::size_t i = 0; i < N; ++i) {
    if (bound[i] == nullptr) ++missing_count;
  }
  if (missing_count == 0) return true;
  // 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
  std::size_t listed = 0;
  for (std::size_t i = 0; i < N; ++i) {
    if (bound[i] != nullptr) continue;
    if (listed > 0) {
      if (missing_count > 2) missing += ",";
      missing += listed + 1 == missing_count ? " and " : " ";
    }
    missing += '\'';
    missing += names[i];
    missing += '\'';
    ++listed;
  }
  PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", function,
               missing_count, missing_count == 1 ? "" : "s", missing.c_str());
  return false;
}

// The UTF-8 form of a str argument. A str whose characters are all below
// U+0100, as BRIX texts almost always are, is taken out as Latin-1, which the
// interpreter hands over in one copy, and widened here if it is not ASCII;
// taking out UTF-8 costs the interpreter several times as long. Any other str
// is encoded by the interpreter.
class Utf8Arg {
 public:
  bool convert(PyObject* object, const char* parameter) {
    if (!PyUnicode_Check(object)) {
      raise_cast_error(parameter, object, "str");
      return false;
    }
    bytes_ = Ref(PyUnicode_AsLatin1String(object));
    if (!bytes_) {
      if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
      PyErr_Clear();
      // A lone surrogate raises the interpreter's UnicodeEncodeError here.
      bytes_ = Ref(PyUnicode_AsUTF8String(object));
      return bytes_ && view_bytes();
    }
    if (!view_bytes()) return false;
    if (rediriziv::next_non_ascii(text_.data(), 0, text_.size()) == text_.size()) return true;
    widened_ = std::make_unique_for_overwrite<char[]>(2 * text_.size());
    text_ = std::string_view(widened_.get(), rediriziv::latin1_to_utf8(text_, widened_.get()));
    bytes_ = Ref();
    return true;
  }

  std::string_view text() const { return text_; }

 private:
  bool view_bytes() {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes_.get(), &data, &size) < 0) return false;
    text_ = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }

  Ref bytes_;
  std::unique_ptr<char[]> widened_;
  std::string_view text_;
};

// Copies a dict of str to str into `texts`; any other key or value type is a
// TypeError on the whole argument.
bool convert_externals(PyObject* object, std::unordered_map<std::string, std::string>& texts) {
  if (!PyDict_Check(object)) {
    raise_cast_error("externals", object, "dict");
    return false;
  }
  Py_ssize_t position = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(object, &position, &key, &value)) {
    Utf8Arg name;
    Utf8Arg text;
    if (!name.convert(key, "externals") || !text.convert(value, "externals")) return false;
    texts.insert_or_assign(std::string(name.text()), std::string(text.text()));
  }
  return true;
}

// ---------------------------------------------------------------------------
// The BRIX type

// The str of a UTF-8 text, made by the fastest way the text allows: an ASCII
// text is decoded as UTF-8 (one pass), a text of characters below U+0100 is
// narrowed in place and made from Latin-1 (about half the time of decoding
// it), any other text is decoded as UTF-8. The text is widened back should
// the str not be made, so that it is changed only by a successful call.
PyObject* new_str_narrowing(std::string& text) {
  const std::size_t size = text.size();
  std::optional<std::size_t> narrow = rediriziv::utf8_to_latin1_in_place(text.data(), size);
  if (!narrow || *narrow == size) return new_str(text);
  PyObject* result = PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(*narrow), nullptr);
  if (result == nullptr) rediriziv::latin1_to_utf8_in_place(text.data(), *narrow, size);
  return result;
}

struct ModuleState {
  PyObject* brix_type;
};

ModuleState& state_of(PyObject* module) {
  return *static_cast<ModuleState*>(PyModule_GetState(module));
}

// The buffer the next document is written into. json() hands an instance's
// buffer back once the str is made, so that a loop of parse(...).json()
// writes every document into memory that is already allocated and touched:
// the page faults of a fresh 16 MB buffer cost about a third as much as the
// conversion of the 4 MiB text that fills it. One buffer is kept, of at most
// kKeptJsonCapacity; the interpreter lock serialises its users.
std::string spare_json;
constexpr std::size_t kKeptJsonCapacity = std::size_t{32} << 20;

void give_back_json_buffer(std::string&& buffer) {
  if (buffer.capacity() > kKeptJsonCapacity || buffer.capacity() <= spare_json.capacity()) return;
  buffer.clear();
  spare_json.swap(buffer);
}

// What a BRIX instance holds. Parsing writes the compact JSON at once, by the
// library's direct conversion, because json() is what callers want, and
// json_pretty() lays that out. The ParseResult behind str() is built from the
// source text only when it is first asked for.
struct Parsed {
  // The compact JSON, until json() has turned it into `json_text`.
  std::string json;
  Ref json_text;
  // The text that was parsed, held as the caller's str (a copy of a subclass
  // of str, whose attributes could otherwise refer back to this instance in a
  // cycle nobody collects), and the extern values, until `result` is built
  // from them.
  Ref source;
  brix::ExternValues externals;
  std::optional<brix::ParseResult> result;
};

struct BrixObject {
  PyObject_HEAD Parsed* parsed;
};

Parsed& parsed_of(PyObject* self) {
  return *reinterpret_cast<BrixObject*>(self)->parsed;
}

// The ParseResult of the instance, built on first use; null with an exception
// set when it cannot be built.
const brix::ParseResult* result_of(PyObject* self) {
  Parsed& parsed = parsed_of(self);
  if (parsed.result) return &*parsed.result;

  Utf8Arg text;
  if (!text.convert(parsed.source.get(), "brix")) return nullptr;
  // The values are copied rather than moved, so that a failure leaves the
  // instance as it was.
  brix::Result<brix::ParseResult> built = brix::parse_with_externals(text.text(), parsed.externals);
  if (!built) {
    // The same text and values were converted to JSON without an error.
    PyErr_Format(PyExc_RuntimeError, "the parsed file could not be parsed again: %s",
                 built.error().to_string().c_str());
    return nullptr;
  }
  parsed.result.emplace(std::move(built).value());
  parsed.source = Ref();
  brix::ExternValues().swap(parsed.externals);
  return &*parsed.result;
}

// Instances come only from parse() and parse_with_externals(). Before 3.10 a
// heap type without tp_new would still inherit object.__new__, so refuse here.
PyObject* brix_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "cannot create 'builtins.BRIX' instances");
  return nullptr;
}

void brix_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  Parsed* parsed = reinterpret_cast<BrixObject*>(self)->parsed;
  give_back_json_buffer(std::move(parsed->json));
  delete parsed;
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  // Instances of a heap type hold a reference to it.
  Py_DECREF(type);
}

PyObject* brix_wrap(PyObject* module, std::unique_ptr<Parsed> parsed) {
  auto* type = reinterpret_cast<PyTypeObject*>(state_of(module).brix_type);
  PyObject* self = PyType_GenericAlloc(type, 0);
  if (self == nullptr) return nullptr;
  reinterpret_cast<BrixObject*>(self)->parsed = parsed.release();
  return self;
}

// Parses `text`, the UTF-8 form of the argument `source`, into a new instance.
PyObject* brix_from_text(PyObject* module, PyObject* source, Utf8Arg& text,
                         brix::ExternValues&& externals) {
  // parse_to_json makes room for a typical document at once.
  std::string buffer = std::exchange(spare_json, {});
  brix::Result<std::size_t> written = brix::parse_to_json(text.text(), externals, buffer);
  if (!written) {
    give_back_json_buffer(std::move(buffer));
    raise_value_error(written.error().to_string());
    return nullptr;
  }
  auto parsed = std::make_unique<Parsed>();
  // The instance may keep its document for long, so a buffer mostly empty
  // (a larger document's, or reserved for one) stays here for the next.
  if (buffer.capacity() > 2 * buffer.size()) {
    parsed->json.assign(buffer);
    give_back_json_buffer(std::move(buffer));
  } else {
    parsed->json = std::move(buffer);
  }
  parsed->source = Ref(PyUnicode_FromObject(source));
  if (!parsed->source) return nullptr;
  parsed->externals = std::move(externals);
  return brix_wrap(module, std::move(parsed));
}

PyObject* brix_version(PyObject*, PyObject*) {
  return new_str(brix::VERSION);
}

// The str is kept, so a second call returns the same object, and the UTF-8
// buffer is given back as soon as the str exists.
PyObject* brix_json(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    Parsed& parsed = parsed_of(self);
    if (!parsed.json_text) {
      parsed.json_text = Ref(new_str_narrowing(parsed.json));
      if (!parsed.json_text) return nullptr;
      give_back_json_buffer(std::move(parsed.json));
      std::string().swap(parsed.json);
    }
    Py_INCREF(parsed.json_text.get());
    return parsed.json_text.get();
  });
}

// One buffer serves every json_pretty() call, since the interpreter lock
// serialises them; a buffer grown by an unusually large document is given
// back rather than kept for the life of the process.
std::string pretty_buffer;
constexpr std::size_t kKeptPrettyCapacity = std::size_t{1} << 20;

// The indented document is laid out from the compact one, which the instance
// holds as UTF-8 until json() has made its str, and as that str after.
PyObject* brix_json_pretty(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    Parsed& parsed = parsed_of(self);
    std::string_view compact = parsed.json;
    Ref encoded;
    if (parsed.json_text) {
      encoded = Ref(PyUnicode_AsUTF8String(parsed.json_text.get()));
      char* data = nullptr;
      Py_ssize_t size = 0;
      if (!encoded || PyBytes_AsStringAndSize(encoded.get(), &data, &size) < 0) return nullptr;
      compact = std::string_view(data, static_cast<std::size_t>(size));
    }
    pretty_buffer.clear();
    brix::indent_json(compact, pretty_buffer);
    encoded = Ref();
    PyObject* text = new_str_narrowing(pretty_buffer);
    if (pretty_buffer.capacity() > kKeptPrettyCapacity) std::string().swap(pretty_buffer);
    return text;
  });
}

PyObject* brix_str(PyObject* self) {
  return guarded([&]() -> PyObject* {
    const brix::ParseResult* result = result_of(self);
    if (result == nullptr) return nullptr;
    std::string text = brix::diagnostic_text(*result);
    return new_str_narrowing(text);
  });
}

PyMethodDef brix_methods[] = {
    {"version", brix_version, METH_NOARGS, "version($self)\n--\n\n"},
    {"json", brix_json, METH_NOARGS, "json($self)\n--\n\n"},
    {"json_pretty", brix_json_pretty, METH_NOARGS, "json_pretty($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot brix_slots[] = {
    {Py_tp_new, function_cast<void*>(brix_new)},
    {Py_tp_dealloc, function_cast<void*>(brix_dealloc)},
    {Py_tp_str, function_cast<void*>(brix_str)},
    {Py_tp_methods, brix_methods},
    {0, nullptr},
};

// The type belongs to no module of its own. Its name still carries the
// "builtins." prefix: without a dot the interpreter leaves __module__ unset
// (reading it raises AttributeError) and warns at import.
PyType_Spec brix_spec = {"builtins.BRIX", sizeof(BrixObject), 0, Py_TPFLAGS_DEFAULT, brix_slots};

// ---------------------------------------------------------------------------
// Module functions

PyObject* rediriziv_parse(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static const char* const names[] = {"brix"};
    PyObject* argv[1];
    if (!bind_arguments("parse", names, args, kwargs, argv)) return nullptr;
    Utf8Arg text;
    if (!text.convert(argv[0], "brix")) return nullptr;
    return brix_from_text(module, argv[0], text, {});
  });
}

PyObject* rediriziv_parse_with_externals(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static const char* const names[] = {"brix", "externals"};
    PyObject* argv[2];
    if (!bind_arguments("parse_with_externals", names, args, kwargs, argv)) return nullptr;
    Utf8Arg text;
    if (!text.convert(argv[0], "brix")) return nullptr;
    std::unordered_map<std::string, std::string> texts;
    if (!convert_externals(argv[1], texts)) return nullptr;

    brix::ExternValues externals;
    for (auto& [name, value_text] : texts) {
      auto value = brix::parse_extern_value(value_text);
      if (!value) {
        raise_value_error("Error parsing extern value for " + name + ": " +
                          value.error().to_string());
        return nullptr;
      }
      externals.insert_or_assign(name, std::move(value).value());
    }
    return brix_from_text(module, argv[0], text, std::move(externals));
  });
}

PyObject* rediriziv_parse_extern_value(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static const char* const names[] = {"expr"};
    PyObject* argv[1];
    if (!bind_arguments("parse_extern_value", names, args, kwargs, argv)) return nullptr;
    Utf8Arg text;
    if (!text.convert(argv[0], "expr")) return nullptr;
    auto value = brix::parse_extern_value(text.text());
    if (!value) {
      raise_value_error(value.error().to_string());
      return nullptr;
    }
    return new_str(brix::diagnostic_text(*value));
  });
}

PyMethodDef rediriziv_functions[] = {
    {"parse", function_cast<PyCFunction>(rediriziv_parse), METH_VARARGS | METH_KEYWORDS,
     "parse(brix)\n--\n\n"},
    {"parse_with_externals", function_cast<PyCFunction>(rediriziv_parse_with_externals),
     METH_VARARGS | METH_KEYWORDS, "parse_with_externals(brix, externals)\n--\n\n"},
    {"parse_extern_value", function_cast<PyCFunction>(rediriziv_parse_extern_value),
     METH_VARARGS | METH_KEYWORDS, "parse_extern_value(expr)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// ---------------------------------------------------------------------------
// The module

int rediriziv_traverse(PyObject* module, visitproc visit, void* arg) {
  auto* state = static_cast<ModuleState*>(PyModule_GetState(module));
  if (state != nullptr) Py_VISIT(state->brix_type);
  return 0;
}

int rediriziv_clear(PyObject* module) {
  auto* state = static_cast<ModuleState*>(PyModule_GetState(module));
  if (state != nullptr) Py_CLEAR(state->brix_type);
  return 0;
}

void rediriziv_free(void* module) {
  rediriziv_clear(static_cast<PyObject*>(module));
}

PyModuleDef rediriziv_module = {
    PyModuleDef_HEAD_INIT, "rediriziv",         "",
    sizeof(ModuleState),   rediriziv_functions, nullptr,
    rediriziv_traverse,    rediriziv_clear,     rediriziv_free,
};

}  // namespace

PyMODINIT_FUNC PyInit_rediriziv(void) {
  // The functions are added from the table, in its order, before the type.
  Ref module(PyModule_Create(&rediriziv_module));
  if (!module) return nullptr;

  PyObject* type = PyType_FromSpec(&brix_spec);
  if (type == nullptr) return nullptr;
  state_of(module.get()).brix_type = type;
  Py_INCREF(type);
  if (PyModule_AddObject(module.get(), "BRIX", type) < 0) {
    Py_DECREF(type);
    return nullptr;
  }
  return module.release();
}
