// Writing the package and the transform of the selected language into a
// folder of the run's own inside the temporary folder, and deleting them and
// the folder again (see package_resources.rc).
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/extract.h"
#include "state/setup_state.h"
#include "win_test_support.h"

namespace {

const char packageName[] = "Extract Test Package.msi";
const char productName[] = "Package Test Product";

const std::string& expectedPackage() {
    static const std::string bytes = readFile(moduleFolder() + "package.bin");
    return bytes;
}

std::string expectedTransform() {
    return readFile(moduleFolder() + "transform-1036.bin");
}

// The folder part of a full path, with its backslash.
std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

// Whether a folder of the name that the setup gives its own, "setup-" and 16
// hexadecimal digits, lies in `temp` with the full path `folder`.
bool isPrivateFolderIn(const std::string& folder, const std::string& temp) {
    const std::string prefix = temp + "setup-";
    if (folder.size() != prefix.size() + 17 || folder.compare(0, prefix.size(), prefix) != 0 ||
        folder.back() != '\\')
        return false;
    return std::all_of(folder.begin() + prefix.size(), folder.end() - 1,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool folderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folders in `temp` that look like the setup's own.
std::vector<std::string> privateFoldersIn(const std::string& temp) {
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((temp + "setup-*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        if (isPrivateFolderIn(temp + entry.cFileName + "\\", temp))
            found.push_back(entry.cFileName);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

class Extraction : public ::testing::Test {
  protected:
    void SetUp() override {
        temp = tempFolder();
        ASSERT_FALSE(temp.empty());
        plantedPackage = temp + packageName;
        plantedTransform = temp + "1036.MST";
        // Forget whatever an earlier test wrote.
        setupState.packageEmbedded = true;
        deleteExtractedFiles();
        removeTempFiles();

        setupState.productName = productName;
        setupState.packagePath = packageName;
        setupState.transformPath = "1036.MST";
        setupState.languageId = 1036;
        setupState.packageEmbedded = true;
    }

    void TearDown() override {
        setupState.packageEmbedded = true;
        deleteExtractedFiles();
        removeTempFiles();
    }

    void removeTempFiles() {
        for (const char* name : {packageName, "1036.MST", "1033.MST", "1031.MST", "1040.MST"})
            removeFile(temp + name);
    }

    // Extracts while a watcher dismisses and records any message box (the
    // dialog shows them, extraction never does); on success `folder` is the
    // run's folder, `packageFile` and `transformFile` the paths in it, on
    // failure `notCreated` what could not be created.
    bool extract() {
        MessageBoxWatcher watcher;
        notCreated.clear();
        bool written = extractPackageFiles(notCreated);
        boxes = watcher.stop();
        if (written) {
            folder = folderOf(setupState.packagePath.c_str());
            packageFile = folder + packageName;
            transformFile = folder + "1036.MST";
        }
        return written;
    }

    // Makes the transform's full path one character longer than MAX_PATH
    // allows, in whatever folder the run makes.
    void transformNameTooLong() {
        size_t folderLength = temp.size() + 23;
        transformName = std::string(MAX_PATH - folderLength - 4, 't') + ".MST";
        setupState.transformPath = transformName.c_str();
    }

    std::string temp;
    std::string plantedPackage;
    std::string plantedTransform;
    std::string folder;
    std::string packageFile;
    std::string transformFile;
    std::string transformName;
    std::vector<SeenMessageBox> boxes;
    Text notCreated;
};

TEST_F(Extraction, WritesPackageAndTransformByteForByteIntoAFolderOfTheRunsOwn) {
    ASSERT_GE(expectedPackage().size(), 64u * 1024 * 1024);

    ASSERT_TRUE(extract());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(isPrivateFolderIn(folder, temp)) << folder;
    EXPECT_STREQ(setupState.packagePath.c_str(), packageFile.c_str());
    EXPECT_STREQ(setupState.transformPath.c_str(), transformFile.c_str());
    EXPECT_TRUE(sameBytes(readFile(packageFile), expectedPackage()));
    EXPECT_TRUE(sameBytes(readFile(transformFile), expectedTransform()));
}

// Anybody may write into a shared temporary folder: what lies there under the
// files' names, a file or a link, is neither written through nor deleted.
TEST_F(Extraction, FilesOfTheSameNamesInTheTemporaryFolderAreLeftAlone) {
    writeFile(plantedPackage, "the user's own package");
    writeFile(plantedTransform, "the user's own transform");
    {
        HeldFile held(plantedPackage);
        ASSERT_TRUE(held.held());
        ASSERT_TRUE(extract());
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(sameBytes(readFile(packageFile), expectedPackage()));
    EXPECT_TRUE(sameBytes(readFile(transformFile), expectedTransform()));
    deleteExtractedFiles();
    EXPECT_EQ(readFile(plantedPackage), "the user's own package");
    EXPECT_EQ(readFile(plantedTransform), "the user's own transform");
}

TEST_F(Extraction, EachRunMakesANewFolderAndTheCleanUpRemovesIt) {
    ASSERT_TRUE(extract());
    std::string first = folder;
    deleteExtractedFiles();
    EXPECT_FALSE(folderExists(first));

    setupState.packagePath = packageName;
    setupState.transformPath = "1036.MST";
    ASSERT_TRUE(extract());
    EXPECT_NE(folder, first);
    EXPECT_TRUE(isPrivateFolderIn(folder, temp)) << folder;
    deleteExtractedFiles();
    EXPECT_FALSE(folderExists(folder));
    EXPECT_TRUE(privateFoldersIn(temp).empty());
}

// Who the access list of `path` grants anything, read back: "user" for the
// current user, other SIDs as text; "inherited" for an inherited entry.
std::vector<std::string> grantees(const std::string& path) {
    std::vector<std::string> granted;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return {"unreadable"};
    if (!dacl)
        granted.push_back("everybody (no access list)");
    HANDLE token = nullptr;
    char userBuffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    PSID user = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TokenUser, userBuffer, sizeof(userBuffer), &size))
        user = reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid;
    if (token)
        CloseHandle(token);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        if (header->AceFlags & INHERITED_ACE)
            granted.push_back("inherited");
        PSID sid = &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
        char* text = nullptr;
        if (user && EqualSid(sid, user))
            granted.push_back("user");
        else if (ConvertSidToStringSidA(sid, &text))
            granted.push_back(text);
        if (text)
            LocalFree(text);
    }
    LocalFree(descriptor);
    std::sort(granted.begin(), granted.end());
    return granted;
}

// The folder's access list grants the user, and besides at most SYSTEM and
// the Administrators, nobody; nothing in it comes from the temporary folder.
// (Wine keeps only what the Unix mode can hold: the user, SYSTEM, and
// everybody when others may read; a folder made without an access list of
// its own shows everybody, the control below.)
TEST_F(Extraction, FolderGrantsOnlyTheUserSystemAndAdministrators) {
    ASSERT_TRUE(extract());
    std::vector<std::string> granted = grantees(folder);
    EXPECT_TRUE(std::find(granted.begin(), granted.end(), "user") != granted.end());
    for (const std::string& who : granted)
        EXPECT_TRUE(who == "user" || who == "S-1-5-18" || who == "S-1-5-32-544") << who;
    // The files inside get no more than their folder.
    for (const std::string& who : grantees(packageFile))
        EXPECT_TRUE(who == "user" || who == "S-1-5-18" || who == "S-1-5-32-544") << who;

    std::string plain = temp + "plain folder";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    std::vector<std::string> control = grantees(plain);
    RemoveDirectoryA(plain.c_str());
    EXPECT_TRUE(std::find(control.begin(), control.end(), "S-1-1-0") != control.end() ||
                std::find(control.begin(), control.end(), "inherited") != control.end())
        << ::testing::PrintToString(control);
}

TEST_F(Extraction, EnglishWritesOnlyThePackage) {
    // The program carries a LANG1033 resource; it must still not be used.
    setupState.languageId = 1033;
    setupState.transformPath = "1033.MST";

    ASSERT_TRUE(extract());
    EXPECT_TRUE(setupState.transformPath.empty());
    EXPECT_TRUE(fileExists(packageFile));
    EXPECT_FALSE(fileExists(folder + "1033.MST"));
}

TEST_F(Extraction, LanguageWithoutTransformResourceEmptiesTheTransformPath) {
    // 1031 has a transform only in another resource language; 1040 has none.
    for (int language : {1031, 1040}) {
        std::string name = std::to_string(language) + ".MST";
        setupState.languageId = language;
        setupState.transformPath = name.c_str();
        setupState.packagePath = packageName;

        ASSERT_TRUE(extract()) << language;
        EXPECT_TRUE(setupState.transformPath.empty()) << language;
        EXPECT_STREQ(setupState.packagePath.c_str(), packageFile.c_str());
        EXPECT_FALSE(fileExists(folder + name)) << language;
        EXPECT_TRUE(boxes.empty());
        deleteExtractedFiles();
    }
}

TEST_F(Extraction, FolderThatCannotBeMadeIsReportedAndNothingIsWritten) {
    std::string missing = temp + "missing folder\\";
    ScopedEnvironment tmp("TMP", missing);
    ScopedEnvironment tempVariable("TEMP", missing);

    EXPECT_FALSE(extract());
    EXPECT_TRUE(boxes.empty());
    // The report names the folder it tried to make.
    std::string tried = notCreated.c_str() + std::string("\\");
    EXPECT_TRUE(isPrivateFolderIn(tried, missing)) << notCreated.c_str();
    EXPECT_STREQ(setupState.packagePath.c_str(), packageName);
    EXPECT_STREQ(setupState.transformPath.c_str(), "1036.MST");
    EXPECT_FALSE(folderExists(missing));
}

TEST_F(Extraction, TransformThatCannotBeWrittenRemovesThePackageAndTheFolder) {
    transformNameTooLong();
    EXPECT_FALSE(extract());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(notCreated.empty()) << notCreated.c_str();
    std::string written = setupState.packagePath.c_str();
    EXPECT_TRUE(isPrivateFolderIn(folderOf(written), temp)) << written;
    EXPECT_FALSE(fileExists(written));
    EXPECT_FALSE(folderExists(folderOf(written)));
    EXPECT_STREQ(setupState.transformPath.c_str(), transformName.c_str());
}

TEST_F(Extraction, CleanUpDeletesWhatWasWrittenAndNothingOfTheSameName) {
    ScopedCurrentDirectory directory(temp + "clean-up current directory");
    writeFile(packageName, "package in the current directory");
    writeFile("1036.MST", "transform in the current directory");

    ASSERT_TRUE(extract());
    ASSERT_TRUE(fileExists(packageFile));
    ASSERT_TRUE(fileExists(transformFile));
    deleteExtractedFiles();
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_FALSE(fileExists(transformFile));
    EXPECT_FALSE(folderExists(folder));
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    removeFile(packageName);
    removeFile("1036.MST");
}

// Until the clean-up nothing can replace or delete what this run wrote (its
// installer may not have opened it yet), while the installer can read it.
TEST_F(Extraction, WrittenFilesAreHeldAgainstReplacementUntilTheCleanUp) {
    ASSERT_TRUE(extract());
    for (const std::string& path : {packageFile, transformFile}) {
        HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(other, INVALID_HANDLE_VALUE) << path;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << path;
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        EXPECT_FALSE(DeleteFileA(path.c_str())) << path;
        HANDLE installer = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(installer, INVALID_HANDLE_VALUE) << path;
        if (installer != INVALID_HANDLE_VALUE)
            CloseHandle(installer);
    }
    // The folder is held too: it cannot be moved away under the files.
    std::string moved = temp + "moved away";
    EXPECT_FALSE(MoveFileA(folder.substr(0, folder.size() - 1).c_str(), moved.c_str()));
    EXPECT_TRUE(sameBytes(readFile(transformFile), expectedTransform()));
    deleteExtractedFiles();
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_FALSE(fileExists(transformFile));
    EXPECT_FALSE(folderExists(folder));
}

TEST_F(Extraction, CleanUpAfterAFailedExtractionSparesFilesOfTheBareNames) {
    ScopedCurrentDirectory directory(temp + "clean-up current directory");
    writeFile(packageName, "package in the current directory");
    writeFile("1036.MST", "transform in the current directory");

    // The package cannot be written: both paths stay bare names.
    {
        std::string missing = temp + "missing folder\\";
        ScopedEnvironment tmp("TMP", missing);
        ScopedEnvironment tempVariable("TEMP", missing);
        EXPECT_FALSE(extract());
    }
    deleteExtractedFiles();
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    EXPECT_FALSE(notCreated.empty());

    // The transform cannot be written: its path stays a bare name.
    setupState.packagePath = packageName;
    transformNameTooLong();
    EXPECT_FALSE(extract());
    deleteExtractedFiles();
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    EXPECT_TRUE(boxes.empty());
    removeFile(packageName);
    removeFile("1036.MST");
}

TEST_F(Extraction, CleanUpOfAPackageThatIsNotEmbeddedDeletesNothing) {
    ScopedCurrentDirectory directory(temp + "clean-up current directory");
    writeFile(packageName, "the package used where it lies");
    writeFile("1036.MST", "the transform used where it lies");
    setupState.packageEmbedded = false;

    deleteExtractedFiles();
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    removeFile(packageName);
    removeFile("1036.MST");
}

TEST_F(Extraction, CleanUpWithoutTransformDeletesOnlyThePackage) {
    setupState.languageId = 1033;
    setupState.transformPath.clear();
    ASSERT_TRUE(extract());
    writeFile(plantedTransform, "not written by the setup");

    deleteExtractedFiles();
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_FALSE(folderExists(folder));
    EXPECT_TRUE(fileExists(plantedTransform));
}

TEST_F(Extraction, TemporaryFolderLongerThanItsBufferFailsQuietly) {
    std::string longFolder = "C:\\" + std::string(300, 'a');
    ScopedEnvironment tmp("TMP", longFolder);
    ScopedEnvironment tempVariable("TEMP", longFolder);

    EXPECT_FALSE(extract());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(notCreated.empty()) << notCreated.c_str();
    EXPECT_STREQ(setupState.packagePath.c_str(), packageName);
    EXPECT_STREQ(setupState.transformPath.c_str(), "1036.MST");
}

TEST_F(Extraction, FullPathMustFitInMaxPath) {
    // A temporary folder of 140 characters with its backslash, the run's
    // folder of 23 in it, and file names that bring the full path to 259
    // characters (fits) and 260 (does not).
    std::string longTemp = temp + "long folder ";
    longTemp.append(139 - longTemp.size(), 'f');
    ASSERT_TRUE(CreateDirectoryA(longTemp.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    longTemp += '\\';
    ScopedEnvironment tmp("TMP", longTemp);
    ScopedEnvironment tempVariable("TEMP", longTemp);
    ASSERT_EQ(tempFolder(), longTemp);

    std::string fits = std::string(259 - longTemp.size() - 23 - 4, 'n') + ".MST";
    std::string tooLong = "n" + fits;

    Text field(tooLong.c_str());
    MessageBoxWatcher watcher;
    EXPECT_FALSE(writeResourceToTempFolder("LANG1036", field));
    EXPECT_STREQ(field.c_str(), tooLong.c_str());
    // Nothing is attempted: not even the folder is made.
    EXPECT_TRUE(privateFoldersIn(longTemp).empty());

    field = fits.c_str();
    EXPECT_TRUE(writeResourceToTempFolder("LANG1036", field));
    EXPECT_EQ(field.size(), 259u);
    std::string written = field.c_str();
    EXPECT_TRUE(isPrivateFolderIn(folderOf(written), longTemp)) << written;
    EXPECT_EQ(written.substr(written.size() - fits.size()), fits);
    EXPECT_TRUE(sameBytes(readFile(written), expectedTransform()));
    EXPECT_TRUE(watcher.stop().empty());

    removeFile(written);
    deleteExtractedFiles();
    EXPECT_FALSE(folderExists(folderOf(written)));
    RemoveDirectoryA(longTemp.c_str());
}

TEST_F(Extraction, MissingOrEmptyResourceWritesNothingAndShowsNothing) {
    MessageBoxWatcher watcher;
    for (const char* resource : {"LANG1040", "ZEROSIZE"}) {
        Text field("1040.MST");
        EXPECT_FALSE(writeResourceToTempFolder(resource, field)) << resource;
        EXPECT_STREQ(field.c_str(), "1040.MST");
        EXPECT_FALSE(fileExists(temp + "1040.MST")) << resource;
    }
    EXPECT_TRUE(watcher.stop().empty());
    // A resource that is not there needs no folder.
    EXPECT_TRUE(privateFoldersIn(temp).empty());
}

// The resource is written in pieces; the last one is short. Both sizes are
// odd, so no power-of-two piece divides them.
TEST_F(Extraction, ResourceEndingInAShortPieceIsWrittenExactly) {
    struct Case {
        const char* resource;
        const char* file;
        size_t size;
    };
    const Case cases[] = {{"PIECESPLUSONE", "pieces-plus-one.bin", 16777217},
                          {"PIECESMINUSONE", "pieces-minus-one.bin", 8388607}};
    MessageBoxWatcher watcher;
    for (const Case& c : cases) {
        const std::string expected = readFile(moduleFolder() + c.file);
        ASSERT_EQ(expected.size(), c.size) << c.file;
        Text field(c.file);
        ASSERT_TRUE(writeResourceToTempFolder(c.resource, field)) << c.resource;
        // The file goes into a folder of the run's own inside the temporary folder.
        const std::string path = field.c_str();
        EXPECT_TRUE(isPrivateFolderIn(folderOf(path), temp)) << path;
        EXPECT_EQ(path.substr(path.size() - std::string(c.file).size()), c.file);
        EXPECT_TRUE(sameBytes(readFile(path), expected)) << c.resource;
        removeFile(path);
        deleteExtractedFiles();
        EXPECT_FALSE(folderExists(folderOf(path)));
    }
    EXPECT_TRUE(watcher.stop().empty());
}

} // namespace
