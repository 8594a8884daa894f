#include "common/work_folder.h"

#include <windows.h>

#include "common/file_io.h"
#include "common/win32_text.h"

namespace common {

namespace {

using win32::wide;

SystemError failure(const char* what) {
    return SystemError(std::string(what) + ": " + win32::systemMessage(GetLastError()));
}

} // namespace

WorkFolder::WorkFolder(const std::string& besidePath) {
    size_t slash = besidePath.find_last_of("\\/:");
    std::string parent =
        slash == std::string::npos ? std::string() : besidePath.substr(0, slash + 1);
    // The name need not be secret, only new: CreateDirectoryW fails on an
    // existing one.
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long long seed =
        (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = parent + ".setup-pack-";
        unsigned long long value = seed + static_cast<unsigned long long>(attempt) * 7919;
        for (int i = 0; i < 6; ++i, value /= 36)
            name += digits[value % 36];
        if (CreateDirectoryW(wide(name).c_str(), nullptr)) {
            path_ = name;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    throw failure("cannot create a work folder beside it");
}

std::string WorkFolder::file(const std::string& name) const {
    std::string path = path_ + "\\" + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void WorkFolder::makeFolder(const std::string& name) const {
    if (!CreateDirectoryW(wide(file(name)).c_str(), nullptr))
        throw failure("cannot create a folder in the work folder");
}

void replaceFile(const std::string& from, const std::string& to) {
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw failure("cannot replace it");
}

} // namespace common
