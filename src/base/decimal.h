#pragma once
#include <cstddef>
#include <cstdint>

// Reads a decimal number the way strtol does with base 10: leading white
// space is skipped, an optional sign is taken, then the digits up to the
// first other character. No digits give 0; a value beyond the signed 32-bit
// range saturates at the nearest end. Reads at most `length` characters.
int32_t readDecimal(const char* text, size_t length);
