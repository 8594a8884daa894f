#pragma once
// ASCII letters compared without regard to case, in UTF-8 and UTF-16 texts
// alike: how the Windows Installer compares GUIDs (a product code, an
// upgrade code). Other characters compare as they are.
#include <string>

namespace common {

template <class Char> Char upperAscii(Char c) {
    return c >= Char('a') && c <= Char('z') ? Char(c - Char('a') + Char('A')) : c;
}

template <class Char>
bool equalIgnoringAsciiCase(const std::basic_string<Char>& a, const std::basic_string<Char>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    return true;
}

} // namespace common
