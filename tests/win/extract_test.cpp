// Writing the package and the transform of the selected language to the
// temporary folder, and deleting them again (see package_resources.rc).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/extract.h"
#include "startup/setup_state.h"
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

std::string createFailureText(const std::string& path) {
    return "Could not create a file named: " + path +
           ". Please make sure that file doesn't already exist and you have write permission "
           "to the directory.";
}

class Extraction : public ::testing::Test {
  protected:
    void SetUp() override {
        temp = tempFolder();
        ASSERT_FALSE(temp.empty());
        packageFile = temp + packageName;
        transformFile = temp + "1036.MST";
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

    // Extracts while a watcher dismisses and records any message box.
    bool extract() {
        MessageBoxWatcher watcher;
        bool written = extractPackageFiles();
        boxes = watcher.stop();
        return written;
    }

    void expectOneCreateFailureBox(const std::string& path) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, createFailureText(path));
        EXPECT_EQ(boxes[0].caption, productName);
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_FALSE(boxes[0].hasCancel);
        EXPECT_FALSE(boxes[0].hasIcon);
    }

    std::string temp;
    std::string packageFile;
    std::string transformFile;
    std::vector<SeenMessageBox> boxes;
};

TEST_F(Extraction, WritesPackageAndTransformByteForByteUnderFullPaths) {
    ASSERT_GE(expectedPackage().size(), 64u * 1024 * 1024);

    ASSERT_TRUE(extract());
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(setupState.packagePath.c_str(), packageFile.c_str());
    EXPECT_STREQ(setupState.transformPath.c_str(), transformFile.c_str());
    EXPECT_TRUE(sameBytes(readFile(packageFile), expectedPackage()));
    EXPECT_TRUE(sameBytes(readFile(transformFile), expectedTransform()));
}

TEST_F(Extraction, ReplacesAnOlderLongerFileWhole) {
    const std::string transform = expectedTransform();
    writeFile(transformFile, std::string(transform.size() + 4096, 'x'));
    writeFile(packageFile, std::string(1000, 'y'));

    ASSERT_TRUE(extract());
    EXPECT_TRUE(sameBytes(readFile(transformFile), transform));
    EXPECT_TRUE(sameBytes(readFile(packageFile), expectedPackage()));
}

TEST_F(Extraction, EnglishWritesOnlyThePackage) {
    // The program carries a LANG1033 resource; it must still not be used.
    setupState.languageId = 1033;
    setupState.transformPath = "1033.MST";

    ASSERT_TRUE(extract());
    EXPECT_TRUE(setupState.transformPath.empty());
    EXPECT_TRUE(fileExists(packageFile));
    EXPECT_FALSE(fileExists(temp + "1033.MST"));
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
        EXPECT_FALSE(fileExists(temp + name)) << language;
        EXPECT_TRUE(boxes.empty());
        deleteExtractedFiles();
    }
}

TEST_F(Extraction, PackageThatCannotBeReplacedIsReportedAndNothingIsWritten) {
    writeFile(packageFile, "the user's own file");
    {
        HeldFile held(packageFile);
        ASSERT_TRUE(held.held());
        EXPECT_FALSE(extract());
    }
    expectOneCreateFailureBox(packageFile);
    EXPECT_STREQ(setupState.packagePath.c_str(), packageName);
    EXPECT_STREQ(setupState.transformPath.c_str(), "1036.MST");
    EXPECT_EQ(readFile(packageFile), "the user's own file");
    EXPECT_FALSE(fileExists(transformFile));
}

TEST_F(Extraction, TransformThatCannotBeReplacedRemovesThePackage) {
    {
        HeldFile held(transformFile);
        ASSERT_TRUE(held.held());
        EXPECT_FALSE(extract());
    }
    expectOneCreateFailureBox(transformFile);
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_STREQ(setupState.packagePath.c_str(), packageFile.c_str());
    EXPECT_STREQ(setupState.transformPath.c_str(), "1036.MST");
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
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    removeFile(packageName);
    removeFile("1036.MST");
}

// Another setup of the same package writes the same paths. Until the
// clean-up it can neither replace nor delete what this run wrote (its
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
    EXPECT_TRUE(sameBytes(readFile(transformFile), expectedTransform()));
    deleteExtractedFiles();
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_FALSE(fileExists(transformFile));
}

TEST_F(Extraction, CleanUpAfterAFailedExtractionSparesFilesOfTheBareNames) {
    ScopedCurrentDirectory directory(temp + "clean-up current directory");
    writeFile(packageName, "package in the current directory");
    writeFile("1036.MST", "transform in the current directory");

    // The package cannot be written: both paths stay bare names.
    {
        HeldFile held(packageFile);
        EXPECT_FALSE(extract());
    }
    deleteExtractedFiles();
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));

    // The transform cannot be written: its path stays a bare name.
    setupState.packagePath = packageName;
    setupState.transformPath = "1036.MST";
    {
        HeldFile held(transformFile);
        EXPECT_FALSE(extract());
    }
    deleteExtractedFiles();
    EXPECT_TRUE(fileExists(packageName));
    EXPECT_TRUE(fileExists("1036.MST"));
    EXPECT_EQ(boxes.size(), 1u);
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
    writeFile(transformFile, "not written by the setup");

    deleteExtractedFiles();
    EXPECT_FALSE(fileExists(packageFile));
    EXPECT_TRUE(fileExists(transformFile));
}

TEST_F(Extraction, TemporaryFolderLongerThanItsBufferFailsQuietly) {
    std::string longFolder = "C:\\" + std::string(300, 'a');
    ScopedEnvironment tmp("TMP", longFolder);
    ScopedEnvironment tempVariable("TEMP", longFolder);

    EXPECT_FALSE(extract());
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(setupState.packagePath.c_str(), packageName);
    EXPECT_STREQ(setupState.transformPath.c_str(), "1036.MST");
}

TEST_F(Extraction, FullPathMustFitInMaxPath) {
    // A folder of 140 characters with its backslash, and file names that
    // bring the full path to 259 characters (fits) and 260 (does not).
    std::string folder = temp + "long folder ";
    folder.append(139 - folder.size(), 'f');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    folder += '\\';
    ScopedEnvironment tmp("TMP", folder);
    ScopedEnvironment tempVariable("TEMP", folder);
    ASSERT_EQ(tempFolder(), folder);

    std::string fits = std::string(259 - folder.size() - 4, 'n') + ".MST";
    std::string tooLong = "n" + fits;

    Text field(tooLong.c_str());
    MessageBoxWatcher watcher;
    EXPECT_FALSE(writeResourceToTempFolder("LANG1036", field));
    EXPECT_STREQ(field.c_str(), tooLong.c_str());
    EXPECT_FALSE(fileExists(folder + tooLong));

    field = fits.c_str();
    EXPECT_TRUE(writeResourceToTempFolder("LANG1036", field));
    EXPECT_EQ(field.size(), 259u);
    EXPECT_STREQ(field.c_str(), (folder + fits).c_str());
    EXPECT_TRUE(sameBytes(readFile(folder + fits), expectedTransform()));
    EXPECT_TRUE(watcher.stop().empty());

    removeFile(folder + fits);
    RemoveDirectoryA(folder.c_str());
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
        EXPECT_STREQ(field.c_str(), (temp + c.file).c_str());
        EXPECT_TRUE(sameBytes(readFile(temp + c.file), expected)) << c.resource;
        removeFile(temp + c.file);
    }
    EXPECT_TRUE(watcher.stop().empty());
}

} // namespace
