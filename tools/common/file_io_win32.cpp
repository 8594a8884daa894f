// The file layer on Windows: every path and text crosses the system as
// UTF-16, never through the ANSI code page.
#include "common/file_io.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>

#include "common/utf8.h"
#include "common/win32_text.h"

namespace common {

using namespace win32;

namespace {

std::string failed(const char* what, DWORD error) {
    return std::string(what) + ": " + systemMessage(error);
}

HANDLE openForReading(const std::string& path) {
    return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

MappedFile::MappedFile(const std::string& path, uint64_t maxBytes) {
    Handle file(openForReading(path));
    if (!file.isOpen())
        throw SystemError(failed("cannot open", GetLastError()));
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw SystemError("cannot open: not a regular file");
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        throw SystemError(failed("cannot open", GetLastError()));
    const uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
    if (bytes > maxBytes)
        throw FileTooLarge(bytes);
    if (bytes > SIZE_MAX)
        throw SystemError("cannot map: larger than the address space");
    if (bytes == 0)
        return; // a mapping of nothing is refused by the system
    Handle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.get())
        throw SystemError(failed("cannot map", GetLastError()));
    void* base = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!base)
        throw SystemError(failed("cannot map", GetLastError()));
    base_ = base;
    size_ = static_cast<size_t>(bytes);
    handle_ = reinterpret_cast<intptr_t>(file.release());
}

void MappedFile::read(ByteView part, uint8_t* into) const {
    if (part.size == 0)
        return;
    uint64_t at = offsetOf(part);
    size_t left = part.size;
    while (left > 0) {
        OVERLAPPED from = {};
        from.Offset = static_cast<DWORD>(at);
        from.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD piece =
            static_cast<DWORD>(left < OutputFile::writePiece ? left : OutputFile::writePiece);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into, piece, &got, &from)) {
            DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF)
                throw SystemError("cannot read: the file has become shorter");
            throw SystemError(failed("cannot read", error));
        }
        if (got == 0)
            throw SystemError("cannot read: the file has become shorter");
        into += got;
        at += got;
        left -= got;
    }
}

MappedFile::~MappedFile() {
    if (base_)
        UnmapViewOfFile(base_);
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

OutputFile::OutputFile(const std::string& path) : path_(fullPath(path)) {
    size_t slash = path_.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string(".") : path_.substr(0, slash + 1);
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(wide(folder).c_str(), L"spk", 0, name))
        throw SystemError(failed("cannot create a file in its folder", GetLastError()));
    temporary_ = narrow(name, wcslen(name));
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        DeleteFileW(name);
        throw SystemError(failed("cannot create a file in its folder", error));
    }
    handle_ = reinterpret_cast<intptr_t>(file);
}

OutputFile::~OutputFile() {
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    if (!committed_)
        DeleteFileW(wide(temporary_).c_str());
}

void OutputFile::write(ByteView bytes) {
    const uint8_t* at = bytes.data;
    size_t left = bytes.size;
    while (left > 0) {
        DWORD piece = static_cast<DWORD>(left < writePiece ? left : writePiece), written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), at, piece, &written, nullptr))
            throw SystemError(failed("cannot write", GetLastError()));
        if (written == 0)
            throw SystemError(failed("cannot write", ERROR_DISK_FULL));
        at += written;
        left -= written;
    }
}

void OutputFile::writeAt(uint64_t offset, ByteView bytes) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes.data, static_cast<DWORD>(bytes.size),
                   &written, &at) ||
        written != bytes.size)
        throw SystemError(failed("cannot write", GetLastError()));
}

void OutputFile::commit() {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    handle_ = -1;
    if (!CloseHandle(file))
        throw SystemError(failed("cannot write", GetLastError()));
    if (!MoveFileExW(wide(temporary_).c_str(), wide(path_).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw SystemError(failed("cannot replace it", GetLastError()));
    committed_ = true;
}

std::string fullPath(const std::string& path) {
    std::wstring given = wide(path);
    DWORD length = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring buffer(length, L'\0');
    length = GetFullPathNameW(given.c_str(), length, &buffer[0], nullptr);
    return length > 0 && length < buffer.size() ? narrow(buffer.data(), length) : path;
}

bool sameFile(const std::string& a, const std::string& b) {
    Handle first(openForReading(a)), second(openForReading(b));
    BY_HANDLE_FILE_INFORMATION one, other;
    return first.isOpen() && second.isOpen() && GetFileInformationByHandle(first.get(), &one) &&
           GetFileInformationByHandle(second.get(), &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

bool isFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void createFolder(const std::string& path) {
    std::wstring folder = wide(path);
    if (CreateDirectoryW(folder.c_str(), nullptr))
        return;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    throw SystemError(failed("cannot create the folder", error));
}

std::string programFolder() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        throw SystemError(failed("cannot find the program's own folder", GetLastError()));
    std::string self = narrow(path.data(), length);
    return self.substr(0, self.find_last_of("\\/") + 1);
}

namespace {

struct Job {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

DWORD WINAPI runJob(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    try {
        (*job.work)();
    } catch (...) {
        job.failure = std::current_exception();
    }
    return 0;
}

} // namespace

void runAlongside(const std::function<void()>& background,
                  const std::function<void()>& foreground) {
    Job job = {&background, nullptr};
    Handle thread(CreateThread(nullptr, 0, runJob, &job, 0, nullptr));
    if (!thread.get())
        runJob(&job); // no second thread: one after the other
    std::exception_ptr own;
    try {
        foreground();
    } catch (...) {
        own = std::current_exception();
    }
    if (thread.get())
        WaitForSingleObject(thread.get(), INFINITE);
    if (own)
        std::rethrow_exception(own);
    if (job.failure)
        std::rethrow_exception(job.failure);
}

std::vector<std::string> commandLine(int, char**) {
    int count = 0;
    LPWSTR* wideArguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wideArguments && i < count; ++i) {
        const wchar_t* argument = wideArguments[i];
        std::u16string text(argument, argument + wcslen(argument));
        std::string utf8;
        if (!utf16ToUtf8(text, utf8)) {
            LocalFree(wideArguments);
            throw ArgumentError(static_cast<size_t>(i), toUtf8(text),
                                "is not valid UTF-16 (an unpaired surrogate)");
        }
        arguments.push_back(std::move(utf8));
    }
    LocalFree(wideArguments);
    return arguments;
}

void print(Output stream, const std::string& utf8) {
    std::string lines;
    for (char c : utf8) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    HANDLE handle = GetStdHandle(stream == Output::Standard ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        std::u16string text = toUtf16(lines);
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
}

} // namespace common
