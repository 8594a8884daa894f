#pragma once
// For the Windows implementations in common only: paths and texts cross the
// system as UTF-16, the system's reasons come back as UTF-8, and a handle is
// closed by its owner.
#include <windows.h>

#include <string>

#include "common/utf8.h"

namespace common {
namespace win32 {

// Throws FormatError for ill-formed UTF-8.
inline std::wstring wide(const std::string& utf8) {
    std::u16string text = toUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

inline std::string narrow(const wchar_t* text, size_t length) {
    return toUtf8(std::u16string(text, text + length));
}

// The system's text for an error, without its closing period and line end.
inline std::string systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length ? narrow(buffer, length) : "error " + std::to_string(error);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

// A handle closed when its owner goes; null and INVALID_HANDLE_VALUE are none.
class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    bool isOpen() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset() {
        if (isOpen())
            CloseHandle(handle_);
        handle_ = nullptr;
    }

  private:
    HANDLE handle_;
};

} // namespace win32
} // namespace common
