// The work folder of signing: made beside the output and removed with all
// it holds, with UTF-8 names on either system.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_io.h"
#include "common/work_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(WorkFolder, GoesWithReadOnlyFilesAndNonAsciiNames) {
    // Made and filled through the file layer, which converts UTF-8 itself.
    const std::string parent =
        (fs::temp_directory_path() / "setup-pack-work-folder-test").u8string() + u8"-Łódź";
    fs::remove_all(fs::u8path(parent));
    common::createFolder(parent);
    {
        common::WorkFolder work(common::joinPath(parent, u8"Δοκιμή.exe"));
        work.makeFolder("package");
        const std::string file = work.file(u8"package/Zażółć.msi");
        const uint8_t bytes[] = {1, 2, 3};
        common::writeWholeFile(file, common::ByteView(bytes, sizeof bytes));
        ASSERT_TRUE(common::isFile(file));
        // As a copy of a read-only input is on Windows.
        fs::permissions(fs::u8path(file), fs::perms::owner_write, fs::perm_options::remove);
    }
    EXPECT_TRUE(fs::is_empty(fs::u8path(parent)));
    fs::remove_all(fs::u8path(parent));
}

TEST(WorkFolder, BaseNameIsWhatFollowsTheLastSeparator) {
    EXPECT_EQ(common::baseName(u8"folder/Łódź.msi"), u8"Łódź.msi");
    EXPECT_EQ(common::baseName("a.msi"), "a.msi");
    EXPECT_EQ(common::baseName("folder/"), "");
#ifdef _WIN32
    EXPECT_EQ(common::baseName(u8"C:\\Αρχεία\\a.msi"), "a.msi");
    EXPECT_EQ(common::baseName("C:a.msi"), "a.msi");
#else
    EXPECT_EQ(common::baseName("a\\b.msi"), "a\\b.msi"); // a name like any other here
#endif
}

} // namespace
