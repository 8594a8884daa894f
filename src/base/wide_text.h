#pragma once
#include <cstddef>

// Number of UTF-16 code units before the first NUL in `byteCount` bytes of
// resource data; a text without terminator ends with the data (an odd last
// byte is no code unit).
size_t wideTextLength(const void* data, size_t byteCount);
