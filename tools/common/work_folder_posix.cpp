#include "common/work_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "common/file_io.h"

namespace common {

namespace {

SystemError failure(const char* what) {
    return SystemError(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

WorkFolder::WorkFolder(const std::string& besidePath) {
    size_t slash = besidePath.find_last_of('/');
    std::string pattern =
        (slash == std::string::npos ? std::string() : besidePath.substr(0, slash + 1)) +
        ".setup-pack-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) // mode 0700
        throw failure("cannot create a work folder beside it");
    path_ = name.data();
}

std::string WorkFolder::file(const std::string& name) const {
    return path_ + "/" + name;
}

void WorkFolder::makeFolder(const std::string& name) const {
    if (mkdir(file(name).c_str(), 0700) != 0)
        throw failure("cannot create a folder in the work folder");
}

void replaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw failure("cannot replace it");
}

} // namespace common
