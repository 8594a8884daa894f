// The file layer on POSIX systems (Linux, macOS).
#include "common/file_io.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

#include "common/utf8.h"

namespace common {

namespace {

std::string failed(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

// A descriptor closed when its owner goes.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

MappedFile::MappedFile(const std::string& path, uint64_t maxBytes) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throw SystemError(failed("cannot open", errno));
    struct stat status;
    if (::fstat(file.get(), &status) != 0)
        throw SystemError(failed("cannot open", errno));
    if (S_ISDIR(status.st_mode))
        throw SystemError(failed("cannot open", EISDIR));
    if (!S_ISREG(status.st_mode))
        throw SystemError("cannot open: not a regular file");
    const uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size > maxBytes)
        throw FileTooLarge(size);
    if (size > SIZE_MAX)
        throw SystemError("cannot map: larger than the address space");
    if (size == 0)
        return;
    void* base = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, file.get(), 0);
    if (base == MAP_FAILED)
        throw SystemError(failed("cannot map", errno));
    base_ = base;
    size_ = static_cast<size_t>(size);
    handle_ = file.release();
}

void MappedFile::read(ByteView part, uint8_t* into) const {
    if (part.size == 0)
        return;
    off_t at = static_cast<off_t>(offsetOf(part));
    size_t left = part.size;
    while (left > 0) {
        ssize_t got = ::pread(static_cast<int>(handle_), into, left, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw SystemError(failed("cannot read", errno));
        if (got == 0)
            throw SystemError("cannot read: the file has become shorter");
        into += got;
        at += got;
        left -= static_cast<size_t>(got);
    }
}

MappedFile::~MappedFile() {
    if (base_)
        ::munmap(base_, size_);
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
    // The rename at the end would put a file in the place of a device or a
    // pipe (as root, /dev/null itself), or fail on a folder after all the
    // writing: such a target is refused first.
    struct stat target;
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        throw SystemError("cannot write: it is no regular file (a device, a pipe or a folder)");
    std::string name = folderOf(path) + "/spkXXXXXX.tmp";
    int fd = ::mkstemps(&name[0], 4);
    if (fd < 0)
        throw SystemError(failed("cannot create a file in its folder", errno));
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    handle_ = fd;
    temporary_ = name;
    // mkstemp gives 0600; the output gets what any new file would.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) {
        int error = errno;
        ::close(fd);
        ::unlink(temporary_.c_str());
        throw SystemError(failed("cannot create a file in its folder", error));
    }
}

OutputFile::~OutputFile() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void OutputFile::write(ByteView bytes) {
    const uint8_t* at = bytes.data;
    size_t left = bytes.size;
    while (left > 0) {
        ssize_t written =
            ::write(static_cast<int>(handle_), at, left < writePiece ? left : writePiece);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw SystemError(failed("cannot write", written < 0 ? errno : ENOSPC));
        at += written;
        left -= static_cast<size_t>(written);
    }
}

void OutputFile::writeAt(uint64_t offset, ByteView bytes) {
    if (::pwrite(static_cast<int>(handle_), bytes.data, bytes.size, static_cast<off_t>(offset)) !=
        static_cast<ssize_t>(bytes.size))
        throw SystemError(failed("cannot write", errno));
}

void OutputFile::commit() {
    int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (::close(fd) != 0)
        throw SystemError(failed("cannot write", errno));
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw SystemError(failed("cannot replace it", errno));
    committed_ = true;
}

std::string fullPath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path.empty() ? "." : path, error);
    if (error)
        return path;
    std::string result = absolute.lexically_normal().string();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool isFile(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

void createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return;
    int error = errno;
    struct stat status;
    if (error == EEXIST && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return;
    throw SystemError(failed("cannot create the folder", error));
}

std::string programFolder() {
    std::string self;
#ifdef __APPLE__
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string given(size, '\0');
    char resolved[PATH_MAX];
    if (_NSGetExecutablePath(&given[0], &size) == 0 && ::realpath(given.c_str(), resolved))
        self = resolved;
#else
    char link[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", link, sizeof link - 1);
    if (length > 0)
        self.assign(link, static_cast<size_t>(length));
#endif
    size_t slash = self.find_last_of('/');
    if (slash == std::string::npos)
        throw SystemError("cannot find the program's own folder");
    return self.substr(0, slash + 1);
}

void runAlongside(const std::function<void()>& background,
                  const std::function<void()>& foreground) {
    std::exception_ptr failure;
    std::thread thread([&] {
        try {
            background();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    std::exception_ptr own;
    try {
        foreground();
    } catch (...) {
        own = std::current_exception();
    }
    thread.join();
    if (own)
        std::rethrow_exception(own);
    if (failure)
        std::rethrow_exception(failure);
}

std::vector<std::string> commandLine(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::string argument(argv[i]);
        std::u16string ignored;
        if (!utf8ToUtf16(argument, ignored))
            throw ArgumentError(static_cast<size_t>(i), showBytes(argument), "is not valid UTF-8");
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

void print(Output stream, const std::string& utf8) {
    const int fd = stream == Output::Standard ? STDOUT_FILENO : STDERR_FILENO;
    const char* at = utf8.data();
    size_t left = utf8.size();
    while (left > 0) {
        ssize_t written = ::write(fd, at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // nowhere left to say it
        at += written;
        left -= static_cast<size_t>(written);
    }
}

} // namespace common
