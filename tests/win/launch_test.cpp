// Starting the installer: the process that really starts is the system's
// msiexec.exe, and it receives the installer command line and the current
// directory. These tests replace msiexec.exe of the system folder by
// fake_msiexec.exe, which records how it was started; they run in a Wine
// prefix of their own and put the original back when done.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "package/command_line.h"
#include "package/launch.h"
#include "state/setup_state.h"
#include "win_test_support.h"

namespace {

const DWORD fakeExitCode = 1641;

std::string systemFolder() {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length < MAX_PATH ? length : 0);
}

bool samePath(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A 32-bit program of a 64-bit system that is started from the system
// folder reports the folder where it really lies, SysWOW64.
bool isSystemMsiexec(const std::string& program) {
    if (samePath(program, systemFolder() + "\\msiexec.exe"))
        return true;
    char wow64[MAX_PATH];
    UINT length = GetSystemWow64DirectoryA(wow64, MAX_PATH);
    return length > 0 && length < MAX_PATH &&
           samePath(program, std::string(wow64, length) + "\\msiexec.exe");
}

struct Record {
    std::string commandLine;
    std::string currentDirectory;
    std::string program;
};

class Launch : public ::testing::Test {
  protected:
    void SetUp() override {
        temp = tempFolder();
        ASSERT_FALSE(temp.empty());
        systemMsiexec = systemFolder() + "\\msiexec.exe";
        original = temp + "msiexec.exe.original";
        recordFile = temp + "fake_msiexec_record.txt";
        // An earlier run that did not finish left its copy of the original.
        if (!fileExists(original)) {
            ASSERT_TRUE(CopyFileA(systemMsiexec.c_str(), original.c_str(), TRUE));
        }
        ASSERT_TRUE(CopyFileA(fake().c_str(), systemMsiexec.c_str(), FALSE));
        removeFile(recordFile);

        setupState.silent = false;
        setupState.logPath.clear();
        setupState.installerProperties.clear();
        setupState.rebootProperty = false;
    }

    void TearDown() override {
        EXPECT_TRUE(CopyFileA(original.c_str(), systemMsiexec.c_str(), FALSE));
        removeFile(original);
        removeFile(recordFile);
    }

    static std::string fake() { return moduleFolder() + "fake_msiexec.exe"; }

    // Launches, waits for the started program and reads what it recorded.
    bool launchAndRecord(const char* package, const char* transform, InstallCheck check,
                         Record& record) {
        OSHandle process = launchInstaller(package, transform, check);
        if (!process.isOpen()) {
            ADD_FAILURE() << "nothing was started";
            return false;
        }
        bool ended = WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0;
        DWORD exitCode = 0;
        GetExitCodeProcess(process.get(), &exitCode);
        process.close();
        if (!ended || exitCode != fakeExitCode) {
            ADD_FAILURE() << "the started program ended with " << exitCode;
            return false;
        }
        std::string content = readFile(recordFile);
        size_t first = content.find('\n');
        size_t second = content.find('\n', first + 1);
        size_t third = content.find('\n', second + 1);
        if (third == std::string::npos) {
            ADD_FAILURE() << "no record of the start";
            return false;
        }
        record.commandLine = content.substr(0, first);
        record.currentDirectory = content.substr(first + 1, second - first - 1);
        record.program = content.substr(second + 1, third - second - 1);
        return true;
    }

    std::string temp;
    std::string systemMsiexec;
    std::string original;
    std::string recordFile;
};

TEST_F(Launch, InstallerReceivesTheWholeCommandLineAndTheCurrentDirectory) {
    std::string directory = temp + "launch current directory";
    ScopedCurrentDirectory current(directory);
    setupState.silent = true;
    setupState.logPath = "C:\\logs\\setup log.txt";
    setupState.installerProperties = "MYPROP=\"a b\"";

    Record record;
    ASSERT_TRUE(launchAndRecord("C:\\Temp dir\\Example.msi", "C:\\Temp dir\\1036.MST",
                                InstallCheck::Upgrade, record));
    EXPECT_EQ(record.commandLine,
              "msiexec.exe /qn /i \"C:\\Temp dir\\Example.msi\" TRANSFORMS=\"C:\\Temp "
              "dir\\1036.MST\" SETUPEXEDIR=\"" +
                  directory +
                  "\" REBOOT=ReallySuppress MYPROP=\"a b\" REINSTALL=ALL REINSTALLMODE=vomus /l*vx "
                  "\"C:\\logs\\setup log.txt\"");
    InstallerCommandInput input{
        "C:\\Temp dir\\Example.msi", "C:\\Temp dir\\1036.MST", InstallCheck::Upgrade, true,
        "C:\\logs\\setup log.txt",   directory.c_str(),        "MYPROP=\"a b\"",      false};
    EXPECT_EQ(record.commandLine, installerCommandLine(input).c_str());
    EXPECT_TRUE(samePath(record.currentDirectory, directory)) << record.currentDirectory;
    EXPECT_TRUE(isSystemMsiexec(record.program)) << record.program;
}

TEST_F(Launch, FirstEnglishInstallationFromTheRootOfADrive) {
    ScopedCurrentDirectory current("C:\\");

    Record record;
    ASSERT_TRUE(launchAndRecord("Example.msi", "", InstallCheck::Proceed, record));
    EXPECT_EQ(record.commandLine, "msiexec.exe /i \"Example.msi\" SETUPEXEDIR=\"C:\\\"");
    EXPECT_EQ(record.currentDirectory, "C:\\");
}

TEST_F(Launch, MsiexecInTheCurrentDirectoryIsNotTheOneStarted) {
    std::string directory = temp + "planted";
    ScopedCurrentDirectory current(directory);
    ASSERT_TRUE(CopyFileA(fake().c_str(), "msiexec.exe", FALSE));

    Record record;
    EXPECT_TRUE(launchAndRecord("Example.msi", "", InstallCheck::Proceed, record));
    EXPECT_TRUE(isSystemMsiexec(record.program)) << record.program;
    removeFile("msiexec.exe");
}

TEST_F(Launch, WithoutTheSystemMsiexecNothingStarts) {
    std::string directory = temp + "planted";
    ScopedCurrentDirectory current(directory);
    ASSERT_TRUE(CopyFileA(fake().c_str(), "msiexec.exe", FALSE));
    ASSERT_TRUE(DeleteFileA(systemMsiexec.c_str()));

    MessageBoxWatcher watcher;
    EXPECT_FALSE(launchInstaller("Example.msi", "", InstallCheck::Proceed).isOpen());
    Sleep(1000);
    EXPECT_FALSE(fileExists(recordFile)) << "the planted msiexec.exe ran";
    EXPECT_TRUE(watcher.stop().empty());
    removeFile("msiexec.exe");
}

} // namespace
