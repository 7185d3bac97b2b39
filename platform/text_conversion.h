#pragma once
// Conversion between the wide strings of the W exports (UTF-16) and the narrow strings of
// the system code page (the ANSI code page on Windows, UTF-8 on POSIX).
#include <cstddef>

#include "ImvelaSdk.h"

namespace imvela::platform {

// The buffer the W exports convert a name into.
constexpr size_t kNarrowTextCapacity = 1024;

// Converts the terminated `text` into `out` (capacity bytes, terminated). false when `text`
// is null, a character has no narrow form (or is an unpaired surrogate), or the result with
// its terminator does not fit; `out` then holds an empty string (when capacity > 0).
bool wide_to_narrow(const IMVELA_WCHAR* text, char* out, size_t capacity);

// Converts the terminated narrow `text` into `out` (capacity UTF-16 units, terminated).
// false when `text` is null, is not valid in the code page, or does not fit.
bool narrow_to_wide(const char* text, IMVELA_WCHAR* out, size_t capacity);

}  // namespace imvela::platform
