#include "base/text_split.h"

#include <cstring>

TextSplit splitAtFirst(const Text& text, char separator) {
    TextSplit split;
    const char* begin = text.c_str();
    const void* found = std::memchr(begin, separator, text.size());
    if (!found) {
        split.head = text;
        return split;
    }
    size_t at = static_cast<size_t>(static_cast<const char*>(found) - begin);
    split.head.assign(begin, at);
    split.rest.assign(begin + at + 1, text.size() - at - 1);
    return split;
}
