// setup-pack.exe as a user runs it: what it writes into the setup, how it
// refuses bad input, and that the setup it writes installs the product.
#include <windows.h>

#include <imagehlp.h>
#include <msi.h>
#include <wincrypt.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Built by CMake: the tool, the stub, the input files and a scratch folder.
const std::string tool = PACK_TOOL;
const std::string stub = PACK_STUB;
const std::string inputs = std::string(PACK_INPUT_DIR) + "/";
const std::string work = std::string(PACK_WORK_DIR) + "/";

const char* const testProductCode = "{C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A14}";

// Paths and arguments are UTF-8 here, UTF-16 to the system.
std::wstring wide(const std::string& utf8) {
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring text(units > 0 ? units : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], units);
    text.resize(text.size() - 1);
    return text;
}

struct RunResult {
    DWORD exitCode = 0;
    std::string output; // stdout and stderr
};

std::string quoted(const std::string& argument) {
    return "\"" + argument + "\""; // the test's arguments hold no quotes
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    std::string narrowLine = quoted(program);
    for (const std::string& argument : arguments)
        narrowLine += " " + quoted(argument);
    std::wstring commandLine = wide(narrowLine);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    RunResult result;
    result.exitCode = 0xFFFFFFFF;
    // Wine, loaded by the other tests, once failed to start a program it
    // started a moment later: a start is tried three times.
    bool started = false;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0)
            Sleep(1000);
        started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process) != 0;
        error = started ? 0 : GetLastError();
    }
    if (!started) {
        ADD_FAILURE() << "cannot start " << narrowLine << " (error " << error << ")";
    } else {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
            result.output.append(buffer, read);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (writeEnd)
        CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return result;
}

RunResult runPack(const std::vector<std::string>& arguments) {
    return runProgram(tool, arguments);
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Files that a run left in the scratch folder besides the expected ones.
std::vector<std::string> leftovers(const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((work + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The transform from the package to its localized copy, made by the tool
// once per test program.
std::string transformFile(const std::string& lcid) {
    std::string path = work + "transform_" + lcid + ".mst";
    if (!exists(path)) {
        CreateDirectoryA(PACK_WORK_DIR, nullptr);
        RunResult run =
            runPack({"--make-transform", "--msi", inputs + "pack_test.msi", "--localized",
                     inputs + "localized_" + lcid + ".msi", "--out", path});
        EXPECT_EQ(run.exitCode, 0u) << run.output;
    }
    return path;
}

// The ProductName of the package with the transform applied by the system.
std::string transformedName(const std::string& transform) {
    std::string copy = work + "transformed.msi";
    EXPECT_TRUE(CopyFileA((inputs + "pack_test.msi").c_str(), copy.c_str(), FALSE));
    MSIHANDLE database = 0, view = 0, record = 0;
    std::string name = "(none)";
    if (MsiOpenDatabaseA(copy.c_str(), MSIDBOPEN_TRANSACT, &database) == ERROR_SUCCESS) {
        EXPECT_EQ(MsiDatabaseApplyTransformA(database, transform.c_str(), 0), 0u);
        if (MsiDatabaseOpenViewA(database,
                                 "SELECT `Value` FROM `Property` WHERE `Property`='ProductName'",
                                 &view) == ERROR_SUCCESS &&
            MsiViewExecute(view, 0) == ERROR_SUCCESS && MsiViewFetch(view, &record) == 0) {
            char value[100];
            DWORD size = sizeof value;
            MsiRecordGetStringA(record, 1, value, &size);
            name = value;
            MsiCloseHandle(record);
        }
        MsiCloseHandle(view);
        MsiCloseHandle(database);
    }
    DeleteFileA(copy.c_str());
    return name;
}

// The resources of a written setup, read as the setup reads its own.
class SetupResources {
  public:
    explicit SetupResources(const std::string& path)
        : module_(LoadLibraryExW(wide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        EXPECT_NE(module_, nullptr) << path;
    }
    ~SetupResources() {
        if (module_)
            FreeLibrary(module_);
    }
    bool has(const char* type, const char* name) const {
        return module_ && FindResourceExA(module_, type, name, 1033) != nullptr;
    }
    std::vector<unsigned char> bytes(const char* name) const {
        HRSRC found = module_ ? FindResourceExA(module_, RT_RCDATA, name, 1033) : nullptr;
        if (!found) {
            ADD_FAILURE() << "no resource " << name;
            return {};
        }
        const unsigned char* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(module_, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(module_, found));
    }

  private:
    HMODULE module_;
};

// UTF-16LE bytes of an ASCII text, with the terminator.
std::vector<unsigned char> wideBytes(const std::string& ascii) {
    std::vector<unsigned char> bytes;
    for (char c : ascii) {
        bytes.push_back(static_cast<unsigned char>(c));
        bytes.push_back(0);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

class PackTool : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateDirectoryA(PACK_WORK_DIR, nullptr);
        // A broken earlier build may have left temporary files behind.
        for (const std::string& name : leftovers("spk*.tmp"))
            DeleteFileA((work + name).c_str());
        out = work + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".exe";
        DeleteFileA(out.c_str());
    }
    std::string out;
};

TEST_F(PackTool, SetupCarriesEveryInputByteForByte) {
    RunResult run =
        runPack({"--msi", inputs + "pack_test.msi", "--transform", "1036=" + transformFile("1036"),
                 "--transform", "1031=" + transformFile("1031"), "--log-path",
                 "C:\\Logs\\pack test.log", "--stub", stub, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    SetupResources setup(out);
    EXPECT_EQ(setup.bytes("PACKAGEFILE"), fileBytes(inputs + "pack_test.msi"));
    EXPECT_EQ(setup.bytes("LANG1036"), fileBytes(transformFile("1036")));
    EXPECT_EQ(setup.bytes("LANG1031"), fileBytes(transformFile("1031")));
    EXPECT_FALSE(setup.has(RT_RCDATA, "LANG1033"));
    // Defaults: from the package's Property table and the transforms' order.
    EXPECT_EQ(setup.bytes("PACKAGENAME"), wideBytes("pack_test.msi"));
    EXPECT_EQ(setup.bytes("PRODUCTCODE"), wideBytes(testProductCode));
    EXPECT_EQ(setup.bytes("PRODUCTNAME"), wideBytes("Pack Test Product"));
    EXPECT_EQ(setup.bytes("VERSION").size(), 12u); // "2.3.4" and its terminator
    EXPECT_EQ(setup.bytes("VERSION"), wideBytes("2.3.4"));
    EXPECT_EQ(setup.bytes("LANGUAGES"), wideBytes("1033;1036;1031"));
    EXPECT_EQ(setup.bytes("LOGPATH"), wideBytes("C:\\Logs\\pack test.log"));
    // The stub's own resources are still there.
    EXPECT_TRUE(setup.has(RT_DIALOG, MAKEINTRESOURCEA(129)));
    EXPECT_NE(run.output.find("Pack Test Product 2.3.4"), std::string::npos) << run.output;
}

// UTF-16LE bytes of a text, with the terminator.
std::vector<unsigned char> utf16Bytes(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST_F(PackTool, LanguagesGetTheirTransformMadeAndMixWithReadyMadeOnes) {
    RunResult run = runPack({"--msi", inputs + "pack_test.msi", "--language",
                             "1036=" + inputs + "localized_1036.msi", "--transform",
                             "1031=" + transformFile("1031"), "--stub", stub, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    SetupResources setup(out);
    EXPECT_EQ(setup.bytes("LANGUAGES"), wideBytes("1033;1036;1031"));
    EXPECT_EQ(setup.bytes("LANG1031"), fileBytes(transformFile("1031")));
    std::vector<unsigned char> french = setup.bytes("LANG1036");
    std::string embedded = work + "embedded_1036.mst";
    writeFile(embedded, std::string(french.begin(), french.end()));
    EXPECT_EQ(transformedName(embedded), "Produit de test");
    EXPECT_EQ(transformedName(transformFile("1031")), "Testprodukt");
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "mst*.tmp*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName; // the made transform is gone
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

TEST_F(PackTool, MakeTransformWritesOneFileOrNothing) {
    std::string mst = work + "made.mst";
    DeleteFileA(mst.c_str());
    RunResult refused = runPack({"--make-transform", "--msi", inputs + "pack_test.msi",
                                 "--localized", inputs + "other_code.msi", "--out", mst});
    EXPECT_EQ(refused.exitCode, 2u) << refused.output;
    EXPECT_NE(refused.output.find(inputs + "other_code.msi: the localized package has another "
                                           "ProductCode"),
              std::string::npos)
        << refused.output;
    EXPECT_FALSE(exists(mst));
    RunResult made = runPack({"--make-transform", "--msi", inputs + "pack_test.msi", "--localized",
                              inputs + "localized_1036.msi", "--out", mst});
    ASSERT_EQ(made.exitCode, 0u) << made.output;
    EXPECT_EQ(transformedName(mst), "Produit de test");
    RunResult onto = runPack({"--make-transform", "--msi", inputs + "pack_test.msi", "--localized",
                              inputs + "localized_1036.msi", "--out", inputs + "pack_test.msi"});
    EXPECT_EQ(onto.exitCode, 2u);
    EXPECT_NE(onto.output.find("would overwrite the package"), std::string::npos) << onto.output;
    EXPECT_TRUE(leftovers("*.tmp*").empty());
}

TEST_F(PackTool, OptionsOverrideThePackageAndLogPathIsOnlyWrittenWhenGiven) {
    RunResult run =
        runPack({"--msi", inputs + "pack_test.msi", "--transform", "1036=" + transformFile("1036"),
                 "--languages", "1036;1033;1046", "--product-name", "Caf\xC3\xA9 Suite",
                 "--product-code", "{01234567-89ab-cdef-0123-456789abcdef}", "--version",
                 "10.20.30.40", "--stub", stub, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    SetupResources setup(out);
    EXPECT_EQ(setup.bytes("PRODUCTCODE"), wideBytes("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
    EXPECT_EQ(setup.bytes("VERSION"), wideBytes("10.20.30.40"));
    EXPECT_EQ(setup.bytes("LANGUAGES"), wideBytes("1036;1033;1046"));
    EXPECT_FALSE(setup.has(RT_RCDATA, "LOGPATH"));
    EXPECT_EQ(setup.bytes("PRODUCTNAME"), utf16Bytes(u"Caf\u00E9 Suite"));
}

// A package's ProductCode in lower case is taken, as the Windows Installer
// takes it: the setup carries it in upper case, and --inspect finds the two
// agree.
TEST_F(PackTool, LowerCaseProductCodeIsCarriedInUpperCase) {
    RunResult run = runPack({"--msi", inputs + "lower_code.msi", "--stub", stub, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(SetupResources(out).bytes("PRODUCTCODE"), wideBytes(testProductCode));
    RunResult inspect = runPack({"--inspect", out});
    EXPECT_EQ(inspect.exitCode, 0u) << inspect.output;
    EXPECT_NE(inspect.output.find(std::string("product code: ") + testProductCode + "\r\n"),
              std::string::npos)
        << inspect.output;
}

// Texts and file names in scripts that no single ANSI code page holds go
// into the setup as exactly their UTF-16, and the tool reports them intact.
TEST_F(PackTool, TextsAndFileNamesInAnyScriptStayWhole) {
    const std::string package = work + u8"パッケージ Δ.msi";
    const std::string output = work + u8"Εγκατάσταση.exe";
    const std::string name = u8"Łódź Zażółć";
    const std::string logPath = u8"C:\\Αρχεία\\καταγραφή.log";
    ASSERT_TRUE(CopyFileW(wide(inputs + "pack_test.msi").c_str(), wide(package).c_str(), FALSE));
    DeleteFileW(wide(output).c_str());
    RunResult run = runPack({"--msi", package, "--product-name", name, "--log-path", logPath,
                             "--stub", stub, "--out", output});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    SetupResources setup(output);
    EXPECT_EQ(setup.bytes("PRODUCTNAME"),
              utf16Bytes(u"\u0141\u00F3d\u017A Za\u017C\u00F3\u0142\u0107"));
    EXPECT_EQ(setup.bytes("LOGPATH"),
              utf16Bytes(u"C:"
                         u"\\\u0391\u03C1\u03C7\u03B5\u03AF\u03B1\\\u03BA\u03B1\u03C4\u03B1\u03B3"
                         u"\u03C1\u03B1\u03C6\u03AE.log"));
    EXPECT_EQ(setup.bytes("PACKAGENAME"), utf16Bytes(u"\u30D1\u30C3\u30B1\u30FC\u30B8 \u0394.msi"));
    EXPECT_EQ(setup.bytes("PACKAGEFILE"), fileBytes(inputs + "pack_test.msi"));
    EXPECT_NE(run.output.find("wrote " + output + ": " + name + " 2.3.4"), std::string::npos)
        << run.output;
    DeleteFileW(wide(package).c_str());
}

// A stub kept read-only gives a writable setup and stays as it was. On
// Windows the copy inherits the read-only attribute and the resource update
// is refused; Wine running as root writes it either way, so there this only
// guards the outcome.
TEST_F(PackTool, ReadOnlyStubPacks) {
    const std::string readOnly = work + "read-only stub.exe";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(CopyFileA(stub.c_str(), readOnly.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    RunResult run = runPack({"--msi", inputs + "pack_test.msi", "--stub", readOnly, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(SetupResources(out).bytes("PACKAGEFILE"), fileBytes(inputs + "pack_test.msi"));
    EXPECT_EQ(GetFileAttributesA(out.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_NE(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(fileBytes(readOnly), fileBytes(stub));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A package that a 32-bit setup could not map is refused by name before
// it is read (a sparse file: its size costs no disk).
TEST_F(PackTool, PackageOverOneGiBIsRefusedBeforeAnythingIsWritten) {
    const std::string huge = work + "huge.msi";
    HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (1LL << 30) + 1;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    RunResult run = runPack({"--msi", huge, "--stub", stub, "--out", out});
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find(huge + ": is larger than 1 GiB"), std::string::npos) << run.output;
    EXPECT_FALSE(exists(out));
    EXPECT_TRUE(leftovers("spk*.tmp").empty());
    DeleteFileA(huge.c_str());
}

// The checksum in the headers, read back, is the one imagehlp computes over
// the file: for the stub, the tool and what the tool writes.
TEST_F(PackTool, EveryProgramCarriesItsTrueChecksum) {
    ASSERT_EQ(runPack({"--msi", inputs + "pack_test.msi", "--transform",
                       "1036=" + transformFile("1036"), "--stub", stub, "--out", out})
                  .exitCode,
              0u);
    for (const std::string& program : {stub, tool, out}) {
        SCOPED_TRACE(program);
        DWORD stored = 0, computed = 0;
        ASSERT_EQ(MapFileAndCheckSumW(wide(program).c_str(), &stored, &computed),
                  static_cast<DWORD>(CHECKSUM_SUCCESS));
        EXPECT_NE(computed, 0u);
        EXPECT_EQ(stored, computed);
    }
}

// The same inputs give the same bytes, whenever they are packed.
TEST_F(PackTool, SameInputsGiveTheSameBytes) {
    const std::string second = work + "second-of-two.exe";
    std::vector<std::string> arguments = {
        "--msi",      inputs + "pack_test.msi", "--transform", "1036=" + transformFile("1036"),
        "--log-path", "C:\\Logs\\x.log",        "--stub",      stub};
    std::vector<std::string> first = arguments, later = arguments;
    first.insert(first.end(), {"--out", out});
    later.insert(later.end(), {"--out", second});
    ASSERT_EQ(runPack(first).exitCode, 0u);
    Sleep(2100); // a timestamp in seconds, or in the two seconds of a FAT time, would differ
    ASSERT_EQ(runPack(later).exitCode, 0u);
    std::vector<unsigned char> a = fileBytes(out), b = fileBytes(second);
    EXPECT_GT(a.size(), fileBytes(stub).size());
    EXPECT_TRUE(a == b) << "the two setups differ";
}

// SHA-256 through the system's CryptoAPI, independent of the tool's own.
std::string systemSha256(const std::vector<unsigned char>& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    unsigned char digest[32];
    DWORD size = sizeof digest;
    bool ok =
        CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash) &&
        CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0) &&
        CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
    EXPECT_TRUE(ok) << "CryptoAPI SHA-256";
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return ok ? hex : std::string();
}

std::string describe(const std::string& path) {
    std::vector<unsigned char> bytes = fileBytes(path);
    return std::to_string(bytes.size()) + " bytes, SHA-256 " + systemSha256(bytes);
}

// A three-language setup: --inspect prints every figure of its inputs and
// --extract gives their bytes back under the names the setup uses.
TEST_F(PackTool, InspectAndExtractShowWhatTheSetupCarries) {
    ASSERT_EQ(
        runPack({"--msi", inputs + "pack_test.msi", "--transform", "1036=" + transformFile("1036"),
                 "--transform", "1034=" + transformFile("1034"), "--transform",
                 "1031=" + transformFile("1031"), "--log-path", "C:\\Logs\\pack.log", "--stub",
                 stub, "--out", out})
            .exitCode,
        0u);
    RunResult inspect = runPack({"--inspect", out});
    EXPECT_EQ(inspect.exitCode, 0u) << inspect.output;
    std::string expected =
        "product name: Pack Test Product\r\n"
        "product code: " +
        std::string(testProductCode) +
        "\r\n"
        "version: 2.3.4\r\n"
        "architecture: " +
        std::string(sizeof(void*) == 8 ? "x64" : "x86") + // the stub of this build's machine
        "\r\n"
        "package: pack_test.msi, " +
        describe(inputs + "pack_test.msi") + "\r\nlanguage 1031: 1031.MST, " +
        describe(transformFile("1031")) + "\r\nlanguage 1034: 1034.MST, " +
        describe(transformFile("1034")) + "\r\nlanguage 1036: 1036.MST, " +
        describe(transformFile("1036")) +
        "\r\n"
        "LANGUAGES: 1033;1036;1034;1031\r\n"
        "LOGPATH: C:\\Logs\\pack.log\r\n"
        "signed: no\r\n";
    EXPECT_EQ(inspect.output, expected);

    const std::string folder = work + "extracted";
    for (const char* name : {"pack_test.msi", "1031.MST", "1034.MST", "1036.MST"})
        DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
    RunResult extract = runPack({"--extract", out, "--out", folder});
    ASSERT_EQ(extract.exitCode, 0u) << extract.output;
    EXPECT_EQ(fileBytes(folder + "\\pack_test.msi"), fileBytes(inputs + "pack_test.msi"));
    EXPECT_EQ(fileBytes(folder + "\\1031.MST"), fileBytes(transformFile("1031")));
    EXPECT_EQ(fileBytes(folder + "\\1034.MST"), fileBytes(transformFile("1034")));
    EXPECT_EQ(fileBytes(folder + "\\1036.MST"), fileBytes(transformFile("1036")));
    EXPECT_EQ(std::count(extract.output.begin(), extract.output.end(), '\n'), 4) << extract.output;
}

// Texts that disagree with the package's own properties are each named.
TEST_F(PackTool, InspectNamesTextsThatDisagreeWithThePackage) {
    ASSERT_EQ(runPack({"--msi", inputs + "pack_test.msi", "--product-code",
                       "{01234567-89AB-CDEF-0123-456789ABCDEF}", "--version", "2.3.5", "--stub",
                       stub, "--out", out})
                  .exitCode,
              0u);
    RunResult inspect = runPack({"--inspect", out});
    EXPECT_EQ(inspect.exitCode, 2u) << inspect.output;
    EXPECT_NE(inspect.output.find(out +
                                  ": PRODUCTCODE \"{01234567-89AB-CDEF-0123-456789ABCDEF}\" "
                                  "differs from the package's ProductCode \"" +
                                  std::string(testProductCode) + "\""),
              std::string::npos)
        << inspect.output;
    EXPECT_NE(inspect.output.find(
                  "VERSION \"2.3.5\" differs from the package's ProductVersion \"2.3.4\""),
              std::string::npos)
        << inspect.output;
    EXPECT_EQ(inspect.output.find("PRODUCTNAME"), std::string::npos) << inspect.output;
    // A program that is no setup: nothing to look at.
    RunResult empty = runPack({"--inspect", stub});
    EXPECT_EQ(empty.exitCode, 2u);
    EXPECT_NE(empty.output.find(stub + ": carries no package"), std::string::npos) << empty.output;
}

// A PACKAGENAME that is no plain file name could lead --extract out of its
// folder: refused before the folder is made.
TEST_F(PackTool, ExtractRefusesAPackageNameThatIsNoPlainFileName) {
    const std::string folder = work + "bad-name-extract";
    RemoveDirectoryA(folder.c_str());
    RunResult run = runPack({"--extract", PACK_BAD_NAME_SETUP, "--out", folder});
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("PACKAGENAME \"setup|test.msi\" is not a plain file name"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(exists(folder));
}

TEST_F(PackTool, ReplacesAnEarlierSetupAndLeavesNoTemporaryFile) {
    writeFile(out, "an earlier setup");
    RunResult run = runPack({"--msi", inputs + "pack_test.msi", "--stub", stub, "--out", out});
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(SetupResources(out).bytes("LANGUAGES"), wideBytes("1033"));
    EXPECT_TRUE(leftovers("spk*.tmp").empty());
}

TEST_F(PackTool, HelpAndUsage) {
    RunResult help = runPack({"--help"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.output.find("usage: setup-pack --msi PATH"), std::string::npos);
    RunResult bogus = runPack({"--msi", inputs + "pack_test.msi", "--frobnicate", "--out", out});
    EXPECT_EQ(bogus.exitCode, 1u);
    EXPECT_EQ(bogus.output, "setup-pack: --frobnicate: unknown option (see --help)\r\n");
    EXPECT_FALSE(exists(out));
}

// A bad input: the arguments besides --out, what the message must hold, and
// the exit code.
struct BadInput {
    const char* what;
    std::vector<std::string> arguments;
    std::vector<std::string> message;
    DWORD exitCode;
};

std::vector<BadInput> badInputs() {
    const std::string msi = inputs + "pack_test.msi";
    const std::string packed = work + "already-packed.exe";
    return {
        {"missing package",
         {"--msi", inputs + "absent.msi"},
         {inputs + "absent.msi", "cannot open"},
         2},
        {"package no compound file",
         {"--msi", inputs + "not_compound.msi"},
         {inputs + "not_compound.msi", "is not an installer database"},
         2},
        {"missing transform",
         {"--msi", msi, "--transform", "1036=" + inputs + "absent.mst"},
         {inputs + "absent.mst", "cannot open"},
         2},
        {"transform no compound file",
         {"--msi", msi, "--transform", "1036=" + inputs + "not_compound.msi"},
         {inputs + "not_compound.msi", "is not an installer transform"},
         2},
        {"no ProductVersion",
         {"--msi", inputs + "no_version.msi"},
         {inputs + "no_version.msi", "no ProductVersion property"},
         2},
        {"no ProductCode",
         {"--msi", inputs + "no_code.msi"},
         {inputs + "no_code.msi", "no ProductCode property"},
         2},
        {"no ProductName",
         {"--msi", inputs + "no_name.msi"},
         {inputs + "no_name.msi", "no ProductName property"},
         2},
        {"package version spills",
         {"--msi", inputs + "wide_version.msi"},
         {inputs + "wide_version.msi (ProductVersion)", "\"1.70000.0\""},
         2},
        {"product code option",
         {"--msi", msi, "--product-code", "{C5A1E0F2-4B7D-4E19-A3C8}"},
         {"--product-code", "not a GUID"},
         2},
        {"empty version", {"--msi", msi, "--version", ""}, {"--version", "empty"}, 2},
        {"version with gap", {"--msi", msi, "--version", "1..3"}, {"--version", "\"1..3\""}, 2},
        {"unknown transform language",
         {"--msi", msi, "--transform", "2057=" + transformFile("1036")},
         {"--transform 2057=", "not a language the setup knows"},
         2},
        {"transform for 1033",
         {"--msi", msi, "--transform", "1033=" + transformFile("1036")},
         {"1033 is served by the package itself"},
         2},
        {"two transforms for one language",
         {"--msi", msi, "--transform", "1036=" + transformFile("1036"), "--transform",
          "1036=" + transformFile("1031")},
         {"a second transform for language 1036"},
         2},
        {"transform that is a package",
         {"--msi", msi, "--transform", "1036=" + inputs + "localized_1036.msi"},
         {inputs + "localized_1036.msi", "is an installer database, not a transform"},
         2},
        {"language of another product",
         {"--msi", msi, "--language", "1036=" + inputs + "other_code.msi"},
         {inputs + "other_code.msi", "another ProductCode"},
         2},
        {"language no database",
         {"--msi", msi, "--language", "1036=" + inputs + "not_compound.msi"},
         {inputs + "not_compound.msi", "is no installer database"},
         2},
        {"language for 1033",
         {"--msi", msi, "--language", "1033=" + inputs + "localized_1036.msi"},
         {"--language 1033=", "1033 is served by the package itself"},
         2},
        {"language and transform for one language",
         {"--msi", msi, "--language", "1036=" + inputs + "localized_1036.msi", "--transform",
          "1036=" + transformFile("1036")},
         {"a second transform for language 1036"},
         2},
        {"unknown offered language",
         {"--msi", msi, "--languages", "1033;2057"},
         {"--languages", "\"2057\" is not a language"},
         2},
        {"stub no program",
         {"--msi", msi, "--stub", inputs + "not_program.exe"},
         {inputs + "not_program.exe", "is not a Windows program"},
         2},
        {"stub another program",
         {"--msi", msi, "--stub", tool},
         {tool, "is not the setup stub"},
         2},
        {"stub already packed",
         {"--msi", msi, "--stub", packed},
         {packed, "already carries a package"},
         2},
        {"missing stub",
         {"--msi", msi, "--stub", inputs + "absent.exe"},
         {inputs + "absent.exe", "cannot open the stub"},
         2},
    };
}

TEST_F(PackTool, BadInputIsNamedAndWritesNothing) {
    // A setup that already carries a package is no stub.
    ASSERT_EQ(runPack({"--msi", inputs + "pack_test.msi", "--stub", stub, "--out",
                       work + "already-packed.exe"})
                  .exitCode,
              0u);
    for (const BadInput& bad : badInputs()) {
        SCOPED_TRACE(bad.what);
        for (bool earlierOutput : {false, true}) {
            const std::string earlierText = "an earlier setup";
            if (earlierOutput)
                writeFile(out, earlierText);
            else
                DeleteFileA(out.c_str());
            std::vector<std::string> arguments = bad.arguments;
            if (std::find(arguments.begin(), arguments.end(), "--stub") == arguments.end())
                arguments.insert(arguments.end(), {"--stub", stub});
            arguments.insert(arguments.end(), {"--out", out});
            RunResult run = runPack(arguments);
            EXPECT_EQ(run.exitCode, bad.exitCode) << run.output;
            EXPECT_EQ(run.output.compare(0, 12, "setup-pack: "), 0) << run.output;
            EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
            for (const std::string& part : bad.message)
                EXPECT_NE(run.output.find(part), std::string::npos)
                    << "\"" << part << "\" not in: " << run.output;
            if (earlierOutput)
                EXPECT_EQ(fileBytes(out),
                          std::vector<unsigned char>(earlierText.begin(), earlierText.end()));
            else
                EXPECT_FALSE(exists(out));
        }
    }
    EXPECT_TRUE(leftovers("spk*.tmp").empty());
}

TEST_F(PackTool, OutputMayNotOverwriteAnInput) {
    const std::string msiCopy = work + "copy.msi", stubCopy = work + "copy-stub.exe",
                      mstCopy = work + "copy.mst";
    ASSERT_TRUE(CopyFileA((inputs + "pack_test.msi").c_str(), msiCopy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(stub.c_str(), stubCopy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((transformFile("1036")).c_str(), mstCopy.c_str(), FALSE));
    struct Case {
        std::string out;
        const char* reason;
    } cases[] = {{stubCopy, "would overwrite the stub"},
                 {msiCopy, "would overwrite the package"},
                 {work + "COPY.MSI", "would overwrite the package"}, // same file, other case
                 {work + "sub\\..\\copy.mst", "would overwrite a transform"}};
    for (const Case& c : cases) {
        RunResult run = runPack({"--msi", msiCopy, "--transform", "1036=" + mstCopy, "--stub",
                                 stubCopy, "--out", c.out});
        EXPECT_EQ(run.exitCode, 2u) << run.output;
        EXPECT_NE(run.output.find(c.out + ": the output " + c.reason), std::string::npos)
            << run.output;
    }
    EXPECT_EQ(fileBytes(msiCopy), fileBytes(inputs + "pack_test.msi"));
    EXPECT_EQ(fileBytes(stubCopy), fileBytes(stub));
    EXPECT_EQ(fileBytes(mstCopy), fileBytes(transformFile("1036")));
}

TEST_F(PackTool, UnwritableOutputFailsWithItsOwnCode) {
    const std::string nowhere = work + "no such folder\\setup.exe";
    RunResult run = runPack({"--msi", inputs + "pack_test.msi", "--stub", stub, "--out", nowhere});
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_NE(run.output.find(nowhere + ": cannot create a file in its folder"), std::string::npos)
        << run.output;
}

TEST_F(PackTool, FailedReplacementKeepsTheEarlierSetupAndLeavesNoTemporaryFile) {
    // The earlier setup is still running: held open without sharing.
    writeFile(out, "an earlier setup");
    HANDLE held = CreateFileA(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RunResult run = runPack({"--msi", inputs + "pack_test.msi", "--stub", stub, "--out", out});
    CloseHandle(held);
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_NE(run.output.find(out + ": cannot replace it"), std::string::npos) << run.output;
    const std::string earlierText = "an earlier setup";
    EXPECT_EQ(fileBytes(out), std::vector<unsigned char>(earlierText.begin(), earlierText.end()));
    EXPECT_TRUE(leftovers("spk*.tmp").empty());
}

TEST_F(PackTool, PackedSetupInstallsTheProductSilently) {
    ASSERT_EQ(runPack({"--msi", inputs + "pack_test.msi", "--stub", stub, "--out", out}).exitCode,
              0u);
    RunResult setup = runProgram(out, {"/S"});
    EXPECT_EQ(setup.exitCode, 0u);
    char version[64];
    DWORD length = sizeof version;
    ASSERT_EQ(MsiGetProductInfoA(testProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &length),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_STREQ(version, "2.3.4");
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    EXPECT_FALSE(exists(std::string(temp) + "pack_test.msi")); // the setup cleaned up
    // Leave the prefix as it was for the other tests.
    RunResult removal = runProgram("msiexec.exe", {"/x", testProductCode, "/qn"});
    EXPECT_EQ(removal.exitCode, 0u);
    length = sizeof version;
    EXPECT_EQ(MsiGetProductInfoA(testProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &length),
              static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
}

} // namespace
