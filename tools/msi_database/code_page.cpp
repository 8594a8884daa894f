#include "msi_database/code_page.h"

#include "msi_database/code_page_tables.h"

#include "common/utf8.h"

#include <utility>

namespace msi_database {

namespace {

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The code point at `at` and the units it takes; 0 units for a lone
// surrogate.
char32_t codePointAt(const std::u16string& text, size_t at, size_t& units) {
    char16_t first = text[at];
    units = 1;
    if (!isSurrogate(first))
        return first;
    if (first < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
    }
    units = 0;
    return first;
}

bool encodeSingleByte(const char16_t* table, const std::u16string& text, std::string& bytes) {
    for (char16_t c : text) {
        if (c < 0x80) {
            bytes += static_cast<char>(c);
            continue;
        }
        int found = 0;
        while (found < 128 && table[found] != c)
            ++found;
        if (found == 128)
            return false;
        bytes += static_cast<char>(0x80 + found);
    }
    return true;
}

} // namespace

bool encodeText(uint32_t codePage, const std::u16string& text, std::string& bytes) {
    bytes.clear();
    if (codePage == 65001)
        return common::utf16ToUtf8(text, bytes);
    if (codePage == 0) {
        for (char16_t c : text) {
            if (c >= 0x80)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    }
    if (const char16_t* table = singleByteTable(codePage))
        return encodeSingleByte(table, text, bytes);
    return text.empty() || systemEncode(codePage, text, bytes);
}

std::string encodeTextReplacing(uint32_t codePage, const std::u16string& text) {
    std::string out, bytes;
    for (size_t i = 0; i < text.size();) {
        size_t units = 0;
        codePointAt(text, i, units);
        if (units == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (text[i] < 0x80)
            out += static_cast<char>(text[i]);
        else
            out += encodeText(codePage, text.substr(i, units), bytes) ? bytes : "?";
        i += units;
    }
    return out;
}

bool decodeText(uint32_t codePage, const std::string& bytes, std::u16string& text) {
    text.clear();
    if (codePage == 65001)
        return common::utf8ToUtf16(bytes, text);
    // A neutral database's texts show as Windows' Western code page.
    if (const char16_t* table = singleByteTable(codePage ? codePage : 1252)) {
        for (char c : bytes) {
            unsigned char byte = static_cast<unsigned char>(c);
            char16_t unit = byte < 0x80 ? byte : table[byte - 0x80];
            if (unit == 0 && byte != 0)
                return false;
            text += unit;
        }
        return true;
    }
    return bytes.empty() || systemDecode(codePage, bytes, text);
}

uint32_t ansiCodePage(uint32_t lcid) {
    switch (lcid) { // where the language's variants differ
    case 0x0004:    // Chinese, Simplified: neutral, PRC, Singapore
    case 0x0804:
    case 0x1004:
        return 936;
    case 0x7C04: // Chinese, Traditional: neutral, Taiwan, Hong Kong, Macao
    case 0x0404:
    case 0x0C04:
    case 0x1404:
        return 950;
    case 0x082C: // Azerbaijani, Uzbek, Serbian and Bosnian in Cyrillic
    case 0x0843:
    case 0x0C1A:
    case 0x1C1A:
    case 0x201A:
    case 0x281A:
        return 1251;
    }
    // By primary language.
    static const std::pair<uint16_t, uint16_t> languages[] = {
        {0x11, 932},  {0x12, 949},  {0x1E, 874},  {0x2A, 1258}, {0x08, 1253}, {0x0D, 1255},
        {0x01, 1256}, {0x29, 1256}, {0x20, 1256}, {0x25, 1257}, {0x26, 1257}, {0x27, 1257},
        {0x1F, 1254}, {0x2C, 1254}, {0x43, 1254}, {0x1A, 1250}, {0x05, 1250}, {0x0E, 1250},
        {0x15, 1250}, {0x18, 1250}, {0x1B, 1250}, {0x24, 1250}, {0x1C, 1250}, {0x19, 1251},
        {0x22, 1251}, {0x23, 1251}, {0x02, 1251}, {0x2F, 1251}, {0x3F, 1251}, {0x40, 1251},
        {0x44, 1251}, {0x50, 1251}, {0x28, 1251}, {0x09, 1252}, {0x0C, 1252}, {0x07, 1252},
        {0x0A, 1252}, {0x10, 1252}, {0x16, 1252}, {0x13, 1252}, {0x06, 1252}, {0x14, 1252},
        {0x1D, 1252}, {0x0B, 1252}, {0x0F, 1252}, {0x03, 1252}, {0x2D, 1252}, {0x56, 1252},
        {0x21, 1252}, {0x3E, 1252}, {0x36, 1252}, {0x38, 1252}, {0x41, 1252}, {0x3C, 1252}};
    for (const auto& language : languages)
        if (language.first == (lcid & 0x3FF))
            return language.second;
    return 0;
}

bool isMultiByteCodePage(uint32_t codePage) {
    switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 20932:
    case 51932:
    case 51936:
    case 51949:
    case 54936:
    case 65001:
        return true;
    default:
        return false;
    }
}

} // namespace msi_database
