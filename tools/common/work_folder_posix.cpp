#include "common/work_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/file_io.h"

namespace common {

namespace {

SystemError failure(const char* what) {
    return SystemError(std::string(what) + ": " + std::strerror(errno));
}

// Our own folder: its entries are files and folders we made, so a plain
// walk that follows no link removes it.
void removeTree(const std::string& path) {
    if (DIR* folder = opendir(path.c_str())) {
        std::vector<std::string> names;
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(folder);
        for (const std::string& name : names) {
            std::string child = path + "/" + name;
            struct stat status;
            if (lstat(child.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
                removeTree(child);
            else
                unlink(child.c_str());
        }
    }
    rmdir(path.c_str());
}

} // namespace

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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

WorkFolder::~WorkFolder() {
    removeTree(path_);
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
