#include "msi_database/stream_name.h"

#include <cstdio>
#include <string_view>

#include "common/utf8.h"

namespace msi_database {

namespace {

const char16_t alphabet[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";

// The letter's place in the alphabet; -1 for any other character.
int alphabetValue(char16_t c) {
    size_t found = std::u16string_view(alphabet).find(c);
    return found == std::u16string_view::npos ? -1 : static_cast<int>(found);
}

} // namespace

bool packStreamName(const std::u16string& name, bool table, std::u16string& packed) {
    packed.clear();
    if (table)
        packed += tableStreamPrefix;
    for (size_t i = 0; i < name.size(); ++i) {
        int first = alphabetValue(name[i]);
        if (first < 0) {
            packed += name[i];
            continue;
        }
        int second = i + 1 < name.size() ? alphabetValue(name[i + 1]) : -1;
        if (second < 0) {
            packed += char16_t(0x4800 + first);
        } else {
            packed += char16_t(0x3800 + first + 64 * second);
            ++i;
        }
    }
    return packed.size() <= maxStreamNameUnits;
}

std::u16string unpackStreamName(const std::u16string& packed, bool* table) {
    std::u16string name;
    size_t start = !packed.empty() && packed[0] == tableStreamPrefix ? 1 : 0;
    if (table)
        *table = start == 1;
    for (size_t i = start; i < packed.size(); ++i) {
        char16_t unit = packed[i];
        if (unit >= 0x3800 && unit < 0x4800) {
            name += alphabet[(unit - 0x3800) & 63];
            name += alphabet[(unit - 0x3800) >> 6];
        } else if (unit >= 0x4800 && unit < 0x4840) {
            name += alphabet[unit - 0x4800];
        } else {
            name += unit;
        }
    }
    return name;
}

std::string streamNameText(const std::u16string& packed) {
    std::u16string name = unpackStreamName(packed), text;
    std::string shown;
    for (char16_t unit : name) {
        if (unit >= 0x20) {
            text += unit;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
        shown += common::toUtf8(text) + escape;
        text.clear();
    }
    return shown + common::toUtf8(text);
}

} // namespace msi_database
