#include "common/utf8.h"

#include "common/format_error.h"

namespace common {

namespace {

// The length of the well-formed sequence at `at` and its code point, or 0.
size_t decodeOne(const std::string& text, size_t at, char32_t& point) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        point = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, point = lead & 0x07;
    } else {
        return 0; // a continuation byte, C0/C1 (always overlong) or F5-FF
    }
    if (text.size() - at < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = point << 6 | (next & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
        return;
    }
    // The lead byte's marker and the number of 6-bit groups after it.
    const int following = point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    static const unsigned char leads[] = {0xC0, 0xE0, 0xF0};
    out += static_cast<char>(leads[following - 1] | point >> (6 * following));
    for (int shift = 6 * (following - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | (point >> shift & 0x3F));
}

// Converts; an unpaired surrogate gives false, or U+FFFD when `replace`.
bool convertUtf16(const std::u16string& utf16, std::string& utf8, bool replace) {
    utf8.clear();
    utf8.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            appendUtf8(utf8, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (!replace)
                return false;
            appendUtf8(utf8, 0xFFFD);
        } else {
            appendUtf8(utf8, unit);
        }
    }
    return true;
}

} // namespace

bool utf8ToUtf16(const std::string& utf8, std::u16string& utf16) {
    utf16.clear();
    utf16.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) {
        char32_t point = 0;
        size_t length = decodeOne(utf8, at, point);
        if (length == 0)
            return false;
        at += length;
        if (point < 0x10000) {
            utf16 += static_cast<char16_t>(point);
        } else {
            utf16 += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    return true;
}

bool utf16ToUtf8(const std::u16string& utf16, std::string& utf8) {
    return convertUtf16(utf16, utf8, false);
}

std::string toUtf8(const std::u16string& utf16) {
    std::string utf8;
    convertUtf16(utf16, utf8, true);
    return utf8;
}

std::u16string toUtf16(const std::string& utf8) {
    std::u16string utf16;
    if (!utf8ToUtf16(utf8, utf16))
        throw FormatError("\"" + showBytes(utf8) + "\" is not valid UTF-8");
    return utf16;
}

std::string showBytes(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string shown;
    for (size_t at = 0; at < text.size();) {
        char32_t point = 0;
        size_t length = decodeOne(text, at, point);
        if (length == 0) {
            const unsigned char byte = static_cast<unsigned char>(text[at++]);
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 15];
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

} // namespace common
