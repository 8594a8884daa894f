#include "state/string_resource.h"

#include <windows.h>

#include <cstring>

#include "os/resource_view.h"
#include "base/wide_text.h"

bool readStringResource(const char* name, Text& field) {
    ResourceView view;
    if (!loadResourceBytes(name, view))
        return false;
    wideToAnsi(static_cast<const wchar_t*>(view.data), wideTextLength(view.data, view.size), field);
    return true;
}

void wideToAnsi(const wchar_t* text, size_t length, Text& field) {
    field.clear();
    if (length == 0)
        return;
    // Ask for the size first: in a double-byte code page one code unit may
    // need two bytes, so the length in code units is no bound.
    int units = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return;
    char* buffer = field.reserve(static_cast<size_t>(bytes));
    bytes = WideCharToMultiByte(CP_ACP, 0, text, units, buffer, bytes, nullptr, nullptr);
    field.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    // The text ends at its first zero byte, as any C text does.
    field.resize(std::strlen(field.c_str()));
}
