#pragma once
// Helpers of the Windows tests: files, folders, the environment and the
// message boxes that the code under test shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The user's temporary folder as the system reports it, with its backslash.
std::string tempFolder();

// The folder of the running test program, with a trailing backslash.
std::string moduleFolder();

bool fileExists(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
void removeFile(const std::string& path);

// Compares two byte strings without printing them: names the first
// difference.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected);

// Opens a file for writing and shares it with nobody, so that nobody else
// can open, replace or delete it until it is closed again.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path);
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// Sets an environment variable of this process for the life of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

  private:
    std::string name_;
    std::string previous_;
    bool hadValue_;
};

// Changes the current directory of this process for the life of the object.
class ScopedCurrentDirectory {
  public:
    explicit ScopedCurrentDirectory(const std::string& directory);
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;
    ~ScopedCurrentDirectory();

  private:
    std::string previous_;
};

// What a message box of this process looked like when it was dismissed.
struct SeenMessageBox {
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    bool hasCancel = false;
    bool hasIcon = false;
};

// Watches, from a thread of its own, for message boxes of this process,
// records each and dismisses it with OK, so that code showing one does not
// block the test.
class MessageBoxWatcher {
  public:
    MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher();

    // Stops the watch and gives what was seen.
    std::vector<SeenMessageBox> stop();

  private:
    static DWORD WINAPI watch(void* self);
    static BOOL CALLBACK inspect(HWND window, LPARAM self);
    static BOOL CALLBACK findIcon(HWND control, LPARAM found);

    HANDLE thread_ = nullptr;
    HANDLE stopEvent_ = nullptr;
    std::vector<SeenMessageBox> seen_;
    std::vector<HWND> dismissed_;
};
