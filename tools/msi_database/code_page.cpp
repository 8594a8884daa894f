#include "msi_database/code_page.h"

#include "msi_database/code_page_tables.h"

#include "common/utf8.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace msi_database {

namespace {

// The units of the character at `at`: 2 for a surrogate pair, 0 for a lone
// surrogate.
size_t unitsAt(const std::u16string& text, size_t at) {
    char16_t first = text[at];
    if (first < 0xD800 || first > 0xDFFF)
        return 1;
    bool pair =
        first < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    return pair ? 2 : 0;
}

bool encodeSingleByte(const char16_t* table, const std::u16string& text, std::string& bytes) {
    for (char16_t c : text) {
        if (c < 0x80) {
            bytes += static_cast<char>(c);
            continue;
        }
        const char16_t* found = std::find(table, table + 128, c);
        if (found == table + 128)
            return false;
        bytes += static_cast<char>(0x80 + (found - table));
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
        size_t units = unitsAt(text, i);
        if (text[i] < 0x80)
            out += static_cast<char>(text[i]);
        else
            out += units != 0 && encodeText(codePage, text.substr(i, units), bytes) ? bytes : "?";
        i += std::max<size_t>(units, 1); // a lone surrogate takes one unit
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
    // Where the language's variants differ: Chinese, Simplified (neutral,
    // PRC, Singapore) and Traditional (neutral, Taiwan, Hong Kong, Macao);
    // Azerbaijani, Uzbek, Serbian and Bosnian in Cyrillic.
    static const std::pair<uint16_t, uint16_t> variants[] = {
        {0x0004, 936},  {0x0804, 936},  {0x1004, 936},  {0x7C04, 950},  {0x0404, 950},
        {0x0C04, 950},  {0x1404, 950},  {0x082C, 1251}, {0x0843, 1251}, {0x0C1A, 1251},
        {0x1C1A, 1251}, {0x201A, 1251}, {0x281A, 1251}};
    for (const auto& variant : variants)
        if (variant.first == lcid)
            return variant.second;
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
    static const uint32_t multiByte[] = {932,   936,   949,   950,   1361, 20932,
                                         51932, 51936, 51949, 54936, 65001};
    return std::find(std::begin(multiByte), std::end(multiByte), codePage) != std::end(multiByte);
}

} // namespace msi_database
