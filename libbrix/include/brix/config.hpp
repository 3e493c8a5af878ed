// The language standard the headers need. Without it a consumer gets this one
// message instead of a page of errors from the headers below it.
#pragma once

#if defined(_MSVC_LANG) && _MSVC_LANG > __cplusplus
#define BRIX_CPLUSPLUS _MSVC_LANG
#else
#define BRIX_CPLUSPLUS __cplusplus
#endif

#if BRIX_CPLUSPLUS < 202002L
#error "libbrix needs C++20: compile with -std=c++20 (CMake: link brix::brix)"
#endif
