#include "setup_pack/utf8.h"

#include <windows.h>

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(units > 0 ? static_cast<size_t>(units) : 0, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                            units);
    return wide;
}

std::string narrow(const std::wstring& utf16) {
    if (utf16.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string text(bytes > 0 ? static_cast<size_t>(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), &text[0],
                            bytes, nullptr, nullptr);
    return text;
}
