#pragma once
// The one part of setup-pack that calls the system: input files mapped
// whole and read in pieces, output files written beside their target and
// renamed into place, paths, the program's own folder, the command line as
// UTF-8 and printing UTF-8. One implementation per system (file_io_posix.cpp,
// file_io_win32.cpp); everything above it is the same code everywhere.
// Paths and texts are UTF-8.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace common {

// What the system refused: the text (UTF-8) says what could not be done and
// the system's reason, without the path, which the caller names.
class SystemError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file larger than its reader's limit; nothing of it was mapped.
class FileTooLarge : public SystemError {
  public:
    explicit FileTooLarge(uint64_t size)
        : SystemError("holds " + std::to_string(size) + " bytes"), size_(size) {}
    uint64_t size() const { return size_; }

  private:
    uint64_t size_;
};

// A whole file, read-only and mapped (an empty file gives an empty view).
// The view lives as long as the object.
class MappedFile {
  public:
    // Throws FileTooLarge when the file holds more than `maxBytes` (the size
    // is checked before anything is mapped) and SystemError ("cannot open:
    // ...", "cannot map: ...") when it cannot be opened, is no regular file
    // or cannot be mapped.
    MappedFile(const std::string& path, uint64_t maxBytes);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ByteView bytes() const { return ByteView(static_cast<const uint8_t*>(base_), size_); }
    // Copies `part`, which must lie within bytes(), into `into` (part.size
    // bytes) with the system's reads from the file, never through the
    // mapping: a pass over a large input in bounded pieces then holds one
    // piece, not every page of the mapping it went over. Throws
    // std::out_of_range when `part` is not within bytes(), SystemError
    // ("cannot read: ...") when the system fails or the file has become
    // shorter.
    void read(ByteView part, uint8_t* into) const;

  private:
    // Where `part` starts in the file; throws std::out_of_range unless it
    // lies within bytes().
    size_t offsetOf(ByteView part) const {
        const uintptr_t base = reinterpret_cast<uintptr_t>(base_);
        const uintptr_t at = reinterpret_cast<uintptr_t>(part.data);
        if (at < base || at - base > size_ || part.size > size_ - (at - base))
            throw std::out_of_range("the part lies outside the mapped file");
        return static_cast<size_t>(at - base);
    }
    void* base_ = nullptr;
    size_t size_ = 0;
    intptr_t handle_ = -1; // a descriptor or a HANDLE, kept open to read from
};

// A file written under a temporary name in the target's folder and renamed
// onto the target at the end, so that the target is either what it was or
// complete: a failed or abandoned run leaves no file behind.
class OutputFile {
  public:
    // Creates the empty temporary file. Throws SystemError ("cannot create a
    // file in its folder: ...", or "cannot write: ..." where the target is a
    // device, a pipe or a folder, which the rename would replace).
    explicit OutputFile(const std::string& path);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Appends the bytes, passing the system at most writePiece at a time.
    // Throws SystemError ("cannot write: ...").
    void write(ByteView bytes);
    // Overwrites bytes already written at `offset` (a field known only at
    // the end, such as a checksum). Throws SystemError ("cannot write: ...").
    void writeAt(uint64_t offset, ByteView bytes);
    // Closes the file and renames it onto the target, replacing a file
    // there. Throws SystemError ("cannot write: ...", "cannot replace it:
    // ..."); the temporary file is then removed by the destructor.
    void commit();

    static constexpr size_t writePiece = size_t(4) << 20;

  private:
    std::string path_, temporary_;
    intptr_t handle_ = -1; // a descriptor or a HANDLE
    bool committed_ = false;
};

// Writes a small file whole, as OutputFile does.
inline void writeWholeFile(const std::string& path, ByteView bytes) {
    OutputFile file(path);
    file.write(bytes);
    file.commit();
}

// Writes a text's bytes whole, as OutputFile does.
inline void writeWholeFile(const std::string& path, const std::string& text) {
    writeWholeFile(path, ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// The system's separator of folders in a path.
#ifdef _WIN32
constexpr char pathSeparator = '\\';
#else
constexpr char pathSeparator = '/';
#endif

// `name` in `folder` (the separator added unless the folder ends with one;
// '/' ends a folder on Windows too).
inline std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == pathSeparator || folder.back() == '/')
        return folder + name;
    return folder + pathSeparator + name;
}

// The absolute path with "." and ".." resolved, as the system resolves it
// before looking at the disk; `path` itself when that cannot be formed.
std::string fullPath(const std::string& path);

// True when both paths name one existing file (however they are spelt:
// links, case on Windows); false when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

// True for an existing regular file (or a link to one).
bool isFile(const std::string& path);

// Creates the folder unless a folder of that name exists. Throws SystemError
// ("cannot create the folder: ...").
void createFolder(const std::string& path);

// The folder of the running program, ending with a separator. Throws
// SystemError when the system does not tell.
std::string programFolder();

// An argument that is not text: its place (1 = the first after the
// program's name), how it looks with the bad bytes escaped, and why.
class ArgumentError : public std::runtime_error {
  public:
    ArgumentError(size_t position, std::string shown, const std::string& reason)
        : std::runtime_error(reason), position_(position), shown_(std::move(shown)) {}
    size_t position() const { return position_; }
    const std::string& shown() const { return shown_; }

  private:
    size_t position_;
    std::string shown_;
};

// The arguments after the program's name as UTF-8, whatever the locale. On
// POSIX they are argv's bytes, which must be valid UTF-8; on Windows the
// UTF-16 command line, split as CommandLineToArgvW splits it (argc and argv
// are not used there: they went through the ANSI code page). Throws
// ArgumentError for the first argument that is not valid text.
std::vector<std::string> commandLine(int argc, char** argv);

// Runs `background` on a thread of its own while `foreground` runs on this
// one, and returns when both have; an exception from either is thrown here
// (the foreground's first). Two passes over a large input then take the
// time of the longer one.
void runAlongside(const std::function<void()>& background, const std::function<void()>& foreground);

enum class Output { Standard, Error };

// Writes UTF-8 text, never through a code page: the bytes to a file or pipe
// (on Windows with "\r\n" line ends), UTF-16 to a Windows console.
void print(Output stream, const std::string& utf8);

} // namespace common
