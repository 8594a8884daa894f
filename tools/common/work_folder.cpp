#include "common/work_folder.h"

#include <filesystem>
#include <system_error>

namespace common {

namespace fs = std::filesystem;

// u8path: our paths are UTF-8, which a narrow path on Windows is not.
WorkFolder::~WorkFolder() {
    const fs::path folder = fs::u8path(path_);
    std::error_code error;
    // A copy of a read-only input stays read-only on Windows, which then
    // refuses to delete it.
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code ignored;
        if (!entry->is_symlink(ignored))
            fs::permissions(entry->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder, error);
}

std::string baseName(const std::string& path) {
    return fs::u8path(path).filename().u8string();
}

} // namespace common
