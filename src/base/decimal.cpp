#include "base/decimal.h"

#include <cstddef>

namespace {
bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
} // namespace

int32_t readDecimal(const char* text, size_t length) {
    size_t i = 0;
    while (i < length && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude, stopping it just past the int32 range.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}
