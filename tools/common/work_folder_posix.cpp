#include "common/work_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {

namespace {

std::runtime_error failure(const std::string& path, const char* what) {
    return std::runtime_error(path + ": " + what + ": " + std::strerror(errno));
}

// Our own folder: its entries are files and folders we made, no links to
// follow, so a plain walk removes it.
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
            struct stat info;
            if (lstat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
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
    std::string parent = slash == std::string::npos ? "." : besidePath.substr(0, slash + 1);
    if (parent.empty())
        parent = "/";
    std::string pattern = parent + (parent.back() == '/' ? "" : "/") + ".setup-pack-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) // mode 0700
        throw failure(pattern, "cannot create the work folder");
    path_ = name.data();
}

WorkFolder::~WorkFolder() {
    removeTree(path_);
}

std::string WorkFolder::file(const std::string& name) const {
    return path_ + "/" + name;
}

std::string WorkFolder::subfolder(const std::string& name) const {
    std::string folder = file(name);
    if (mkdir(folder.c_str(), 0700) != 0)
        throw failure(folder, "cannot create the folder");
    return folder;
}

void replaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw failure(to, "cannot write it");
}

} // namespace common
