#include "common/work_folder.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

namespace common {

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], length);
    return text;
}

std::runtime_error failure(const std::string& path, const char* what) {
    return std::runtime_error(path + ": " + what + " (error " + std::to_string(GetLastError()) +
                              ")");
}

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

} // namespace

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

WorkFolder::WorkFolder(const std::string& besidePath) {
    size_t slash = besidePath.find_last_of("\\/:");
    std::string parent = slash == std::string::npos ? "." : besidePath.substr(0, slash + 1);
    if (parent.back() != '\\' && parent.back() != '/' && parent.back() != ':')
        parent += '\\';
    // The name need not be secret, only new: CreateDirectory fails on an
    // existing one, and the folder inherits the access of its parent.
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
            throw failure(name, "cannot create the work folder");
    }
    throw failure(parent, "cannot create a work folder in it");
}

WorkFolder::~WorkFolder() {
    removeTree(wide(path_));
}

std::string WorkFolder::file(const std::string& name) const {
    std::string path = path_ + "\\" + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string WorkFolder::subfolder(const std::string& name) const {
    std::string folder = file(name);
    if (!CreateDirectoryW(wide(folder).c_str(), nullptr))
        throw failure(folder, "cannot create the folder");
    return folder;
}

void replaceFile(const std::string& from, const std::string& to) {
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw failure(to, "cannot write it");
}

} // namespace common
