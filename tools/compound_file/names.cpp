// Class ids and the order of names in a storage.
#include <cstdio>
#include <cstring>

#include "common/ascii.h"
#include "compound_file/compound_file.h"
#include "compound_file/layout.h"

namespace compound_file {

bool Guid::operator==(const Guid& other) const {
    return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

namespace {

// Where the bytes of each field land: the first three fields are stored
// little-endian, the last eight in the order written.
const int kTextToByte[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

// The simple upper case of the letters whose case Windows folds in storage
// names, the same in every locale: runs of small letters (the final sigma
// one of them), each `down` above its capital. In Latin Extended-A capital
// and small letters alternate: the small ones are every second unit of their
// run (`step` 2).
struct SmallRun {
    char16_t first, last;
    int down, step;
};
const SmallRun kSmallRuns[] = {
    {u'a', u'z', 0x20, 1},     {0xE0, 0xF6, 0x20, 1},   {0xF8, 0xFE, 0x20, 1},
    {0xFF, 0xFF, -0x79, 1},    {0x101, 0x12F, 1, 2},    {0x133, 0x137, 1, 2},
    {0x13A, 0x148, 1, 2},      {0x14B, 0x177, 1, 2},    {0x17A, 0x17E, 1, 2},
    {0x3AC, 0x3AC, 0x26, 1},   {0x3AD, 0x3AF, 0x25, 1}, {0x3B1, 0x3C1, 0x20, 1},
    {0x3C2, 0x3C2, 0x1F, 1},   {0x3C3, 0x3CB, 0x20, 1}, {0x3CC, 0x3CC, 0x40, 1},
    {0x3CD, 0x3CE, 0x3F, 1},   {0x430, 0x44F, 0x20, 1}, {0x450, 0x45F, 0x50, 1},
    {0xFF41, 0xFF5A, 0x20, 1},
};

char16_t upper(char16_t c) {
    for (const SmallRun& run : kSmallRuns)
        if (c >= run.first && c <= run.last && (c - run.first) % run.step == 0)
            return static_cast<char16_t>(c - run.down);
    return c;
}

} // namespace

Guid Guid::parse(const std::string& text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    const char* bad = "class id is not of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        throw common::FormatError(bad);
    Guid guid;
    int digit = 0;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-')
                throw common::FormatError(bad);
            continue;
        }
        int value = common::hexDigit(text[i]);
        if (value < 0)
            throw common::FormatError(bad);
        uint8_t& byte = guid.bytes[kTextToByte[digit / 2]];
        byte = static_cast<uint8_t>(digit % 2 == 0 ? value << 4 : byte | value);
        ++digit;
    }
    return guid;
}

std::string Guid::text() const {
    char out[39];
    const uint8_t* b = bytes;
    std::snprintf(out, sizeof out,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return out;
}

int compareNames(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

std::string layout::printable(const std::u16string& name) {
    std::string out;
    for (char16_t c : name) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out;
}

} // namespace compound_file
