#include "base/wide_text.h"

size_t wideTextLength(const void* data, size_t byteCount) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    size_t units = byteCount / 2;
    for (size_t i = 0; i < units; ++i)
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0)
            return i;
    return units;
}
