#include "win_test_support.h"

#include <fstream>
#include <sstream>

std::string tempFolder() {
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return std::string(folder, length);
}

std::string moduleFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void removeFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    size_t common = actual.size() < expected.size() ? actual.size() : expected.size();
    for (size_t i = 0; i < common; ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << "the bytes differ first at offset " << i;
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << actual.size() << " bytes where " << expected.size() << " were expected";
    return ::testing::AssertionSuccess();
}

HeldFile::HeldFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldFile::~HeldFile() {
    if (held())
        CloseHandle(handle_);
}

namespace {
bool readEnvironment(const char* name, std::string& value) {
    DWORD length = GetEnvironmentVariableA(name, nullptr, 0);
    if (length == 0)
        return false;
    value.resize(length);
    length = GetEnvironmentVariableA(name, &value[0], length);
    value.resize(length);
    return true;
}
} // namespace

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value)
    : name_(name), hadValue_(readEnvironment(name, previous_)) {
    SetEnvironmentVariableA(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableA(name_.c_str(), hadValue_ ? previous_.c_str() : nullptr);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& directory) {
    char previous[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, previous);
    previous_.assign(previous, length < MAX_PATH ? length : 0);
    CreateDirectoryA(directory.c_str(), nullptr);
    SetCurrentDirectoryA(directory.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    SetCurrentDirectoryA(previous_.c_str());
    // Removed only when the test left it empty.
    if (length > 0 && length < MAX_PATH)
        RemoveDirectoryA(directory);
}

MessageBoxWatcher::MessageBoxWatcher() : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop();
    CloseHandle(stopEvent_);
}

std::vector<SeenMessageBox> MessageBoxWatcher::stop() {
    if (thread_) {
        SetEvent(stopEvent_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return seen_;
}

DWORD WINAPI MessageBoxWatcher::watch(void* self) {
    MessageBoxWatcher* watcher = static_cast<MessageBoxWatcher*>(self);
    // One more look after the stop, for a box that came up just before it.
    bool stopping = false;
    do {
        stopping = WaitForSingleObject(watcher->stopEvent_, 10) == WAIT_OBJECT_0;
        EnumWindows(inspect, reinterpret_cast<LPARAM>(watcher));
    } while (!stopping);
    return 0;
}

BOOL CALLBACK MessageBoxWatcher::findIcon(HWND control, LPARAM found) {
    char className[64] = {};
    GetClassNameA(control, className, sizeof(className));
    if (lstrcmpiA(className, "Static") == 0 && IsWindowVisible(control) &&
        SendMessageA(control, STM_GETICON, 0, 0) != 0)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

BOOL CALLBACK MessageBoxWatcher::inspect(HWND window, LPARAM self) {
    MessageBoxWatcher* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (process != GetCurrentProcessId() || std::string(className) != "#32770" ||
        !IsWindowVisible(window))
        return TRUE;
    for (HWND dismissed : watcher->dismissed_)
        if (dismissed == window)
            return TRUE;

    SeenMessageBox box;
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    box.caption = caption;
    // The text of a message box is the static control 0xFFFF.
    HWND textControl = GetDlgItem(window, 0xFFFF);
    int length = textControl ? GetWindowTextLengthA(textControl) : 0;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    if (textControl)
        GetWindowTextA(textControl, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    box.text = text;
    box.owner = GetWindow(window, GW_OWNER);
    box.hasCancel = GetDlgItem(window, IDCANCEL) != nullptr;
    // An icon, if any, is a visible static control that holds it.
    EnumChildWindows(window, findIcon, reinterpret_cast<LPARAM>(&box.hasIcon));
    watcher->seen_.push_back(box);
    watcher->dismissed_.push_back(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}
