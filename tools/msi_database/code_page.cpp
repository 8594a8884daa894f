#include "msi_database/code_page.h"

#include "msi_database/code_page_tables.h"

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

bool encodeUtf8(const std::u16string& text, std::string& bytes) {
    for (size_t i = 0; i < text.size();) {
        size_t units = 0;
        char32_t c = codePointAt(text, i, units);
        if (units == 0)
            return false;
        i += units;
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | c >> 6);
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | c >> 12);
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | c >> 18);
            bytes += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

// Strict: no overlong forms, surrogates or values past U+10FFFF.
bool decodeUtf8(const std::string& bytes, std::u16string& text) {
    for (size_t i = 0; i < bytes.size();) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead < 0x80                   ? 0
                    : lead >= 0xC2 && lead < 0xE0 ? 1
                    : lead >= 0xE0 && lead < 0xF0 ? 2
                    : lead >= 0xF0 && lead < 0xF5 ? 3
                                                  : -1;
        if (extra < 0 || bytes.size() - i <= static_cast<size_t>(extra))
            return false;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        static const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[extra] || c > 0x10FFFF || isSurrogate(c))
            return false;
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c);
        }
    }
    return true;
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
        return encodeUtf8(text, bytes);
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
        return decodeUtf8(bytes, text);
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
    uint32_t primary = lcid & 0x3FF;
    switch (primary) {
    case 0x04: // Chinese: Simplified in the PRC and Singapore, else Traditional
        return lcid == 0x0804 || lcid == 0x1004 || lcid == 0x0004                     ? 936
               : lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404 || lcid == 0x7C04 ? 950
                                                                                      : 0;
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x1E:
        return 874;
    case 0x2A:
        return 1258;
    case 0x08:
        return 1253;
    case 0x0D:
        return 1255;
    case 0x01: // Arabic, Farsi, Urdu
    case 0x29:
    case 0x20:
        return 1256;
    case 0x25: // Estonian, Latvian, Lithuanian
    case 0x26:
    case 0x27:
        return 1257;
    case 0x1F: // Turkish
        return 1254;
    case 0x2C: // Azerbaijani, Uzbek: Latin 1254, Cyrillic 1251
    case 0x43:
        return (lcid >> 10) == 2 ? 1251 : 1254;
    case 0x1A: // Croatian, Bosnian and Serbian Latin; Serbian and Bosnian Cyrillic
        return lcid == 0x0C1A || lcid == 0x1C1A || lcid == 0x201A || lcid == 0x281A ? 1251 : 1250;
    case 0x05: // Czech, Hungarian, Polish, Romanian, Slovak, Slovenian, Albanian
    case 0x0E:
    case 0x15:
    case 0x18:
    case 0x1B:
    case 0x24:
    case 0x1C:
        return 1250;
    case 0x19: // Russian, Ukrainian, Belarusian, Bulgarian, Macedonian, Kazakh,
    case 0x22: // Kyrgyz, Tatar, Mongolian, Tajik
    case 0x23:
    case 0x02:
    case 0x2F:
    case 0x3F:
    case 0x40:
    case 0x44:
    case 0x50:
    case 0x28:
        return 1251;
    case 0x09: // English, French, German, Spanish, Italian, Portuguese, Dutch,
    case 0x0C: // Danish, Norwegian, Swedish, Finnish, Icelandic, Catalan,
    case 0x07: // Basque, Galician, Indonesian, Malay, Afrikaans, Faroese,
    case 0x0A: // Swahili, Irish
    case 0x10:
    case 0x16:
    case 0x13:
    case 0x06:
    case 0x14:
    case 0x1D:
    case 0x0B:
    case 0x0F:
    case 0x03:
    case 0x2D:
    case 0x56:
    case 0x21:
    case 0x3E:
    case 0x36:
    case 0x38:
    case 0x41:
    case 0x3C:
        return 1252;
    default:
        return 0;
    }
}

} // namespace msi_database
