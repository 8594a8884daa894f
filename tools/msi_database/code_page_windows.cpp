// The double-byte code pages through Windows' own conversion.
#include "msi_database/code_page_tables.h"

#include <windows.h>

namespace msi_database {

namespace {

bool isSystemCodePage(uint32_t codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

} // namespace

bool systemEncode(uint32_t codePage, const std::u16string& text, std::string& bytes) {
    if (!isSystemCodePage(codePage))
        return false;
    std::wstring wide(text.begin(), text.end());
    BOOL usedDefault = FALSE;
    int size =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &out[0], size, nullptr, &usedDefault);
    std::u16string back;
    // Only an exact mapping: the bytes must give the text back.
    if (usedDefault || !systemDecode(codePage, out, back) || back != text)
        return false;
    bytes += out;
    return true;
}

bool systemDecode(uint32_t codePage, const std::string& bytes, std::u16string& text) {
    if (!isSystemCodePage(codePage))
        return false;
    int units = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
    if (units <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                        static_cast<int>(bytes.size()), &wide[0], units);
    text.append(wide.begin(), wide.end());
    return true;
}

} // namespace msi_database
