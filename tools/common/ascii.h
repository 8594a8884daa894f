#pragma once
// ASCII letters compared without regard to case, in UTF-8 and UTF-16 texts
// alike: how the Windows Installer compares GUIDs (a product code, an
// upgrade code). Other characters compare as they are. And the value of a
// hex digit, for the formats that spell numbers so.
#include <algorithm>
#include <string>

namespace common {

template <class Char> Char upperAscii(Char c) {
    return c >= Char('a') && c <= Char('z') ? Char(c - Char('a') + Char('A')) : c;
}

template <class Char>
bool equalIgnoringAsciiCase(const std::basic_string<Char>& a, const std::basic_string<Char>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

// 0-15, or -1 for a character that is no hex digit.
template <class Char> int hexDigit(Char c) {
    if (c >= Char('0') && c <= Char('9'))
        return int(c - Char('0'));
    if (c >= Char('a') && c <= Char('f'))
        return int(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F'))
        return int(c - Char('A')) + 10;
    return -1;
}

} // namespace common
