// The end-to-end test driver: runs a setup program under test, looks at the
// windows it shows, answers them like a user and prints a transcript that
// the scenario scripts compare with what they expect.
//
//   driver STEP [-- STEP]...
//
// Steps:
//   run [--cwd DIR] PROGRAM [ARGS...]  starts the program; ARGS are joined
//                                      with blanks into its command line
//   window TITLE                       waits for a new shown window of the
//                                      program with this title, prints it
//   again TITLE                        makes a window seen before and still
//                                      shown with this title the one to act
//                                      on again
//   still                              prints the last window again after a
//                                      second, when it is still shown and no
//                                      other window has appeared
//   shown                              prints the titles of all shown windows
//   choose LCID                        selects the combo entry whose item
//                                      data is LCID in the last window
//   press LABEL                        clicks the button with this label
//   key enter|escape                   sends the key to the last window
//   close                              clicks the last window's close box
//   exit                               waits for the program to end and
//                                      prints its full exit code; a window
//                                      that appears meanwhile fails the run
//   temp-folder                        prints the temporary folder
//   temp-files                         prints the .msi and .mst files in it
//                                      and in the setup's own folders there
//                                      (shown as setup-*\\NAME)
//   product CODE                       prints the installed version of a
//                                      product as the Windows Installer
//                                      reports it
//   product-name CODE                  prints the installed product's name
//   registry KEY NAME                  prints a value under HKEY_CURRENT_USER
//   environment                        prints the UI language and code page
//
// Texts are read through the ANSI functions and printed in UTF-8; the
// driver's exit code is 0 when every step could be carried out.
#include <windows.h>

#include <msi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const DWORD timeoutMs = 60000;
const DWORD pollMs = 50;

struct Failure {
    std::string message;
};

std::string utf8(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    int wideLength = static_cast<int>(wide.size());
    int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &text[0], length, nullptr, nullptr);
    return text;
}

// Text that the driver got in its ANSI code page, in UTF-8 for the
// transcript.
std::string utf8(const std::string& ansi) {
    if (ansi.empty())
        return ansi;
    int ansiLength = static_cast<int>(ansi.size());
    int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), ansiLength, &wide[0], wideLength);
    return utf8(wide);
}

std::string quoted(const std::string& text) {
    return "\"" + utf8(text) + "\"";
}

// A combo entry of another process. Read in Unicode: Wine hands an ANSI
// request from another process the entry's UTF-16 text unconverted.
std::string comboEntry(HWND combo, LRESULT index) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return "?";
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    entry.resize(static_cast<size_t>(
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&entry[0]))));
    return "\"" + utf8(entry) + "\"";
}

std::string windowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], length + 1)));
    return text;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectShownWindow(HWND window, LPARAM context) {
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window))
        search.windows.push_back(window);
    return TRUE;
}

std::string comboLine(HWND combo) {
    std::string line = "  combo";
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendMessageA(combo, CB_GETITEMDATA, i, 0);
        line += (i ? ", " : " ") + comboEntry(combo, i) + " " + std::to_string(data);
    }
    LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    line +=
        "; selected " + (selected == CB_ERR ? std::string("none") : comboEntry(combo, selected));
    return line;
}

// One line per shown control, in the window's own order: buttons, texts,
// icons and the combo box with its entries and selection.
void printWindow(HWND window) {
    std::printf("window %s\n", quoted(windowText(window)).c_str());
    for (HWND child : childWindows(window)) {
        if (!IsWindowVisible(child) || GetParent(child) != window)
            continue;
        std::string kind = className(child);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(kind.c_str(), "Button") == 0) {
            std::printf("  button %s\n", quoted(windowText(child)).c_str());
        } else if (lstrcmpiA(kind.c_str(), "ComboBox") == 0) {
            std::printf("%s\n", comboLine(child).c_str());
        } else if (lstrcmpiA(kind.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            if (SendMessageA(child, STM_GETICON, 0, 0))
                std::printf("  icon\n");
        } else if (lstrcmpiA(kind.c_str(), "Static") == 0) {
            std::printf("  text %s\n", quoted(windowText(child)).c_str());
        } else {
            std::printf("  %s %s\n", kind.c_str(), quoted(windowText(child)).c_str());
        }
    }
    std::fflush(stdout);
}

class Driver {
  public:
    ~Driver() { endProcess(); }

    void step(const std::vector<std::string>& words) {
        const std::string& name = words[0];
        if (name == "run")
            run(words);
        else if (name == "window" && words.size() == 2)
            waitForWindow(words[1]);
        else if (name == "again" && words.size() == 2)
            again(words[1]);
        else if (name == "still" && words.size() == 1)
            still();
        else if (name == "shown" && words.size() == 1)
            shown();
        else if (name == "choose" && words.size() == 2)
            choose(std::atoi(words[1].c_str()));
        else if (name == "press" && words.size() == 2)
            press(words[1]);
        else if (name == "key" && words.size() == 2)
            key(words[1]);
        else if (name == "close" && words.size() == 1)
            closeWindow();
        else if (name == "exit" && words.size() == 1)
            waitForExit();
        else if (name == "temp-folder" && words.size() == 1)
            std::printf("temp-folder %s\n", utf8(tempFolder()).c_str());
        else if (name == "temp-files" && words.size() == 1)
            tempFiles();
        else if (name == "product" && words.size() == 2)
            product(words[1]);
        else if (name == "product-name" && words.size() == 2)
            productName(words[1]);
        else if (name == "registry" && words.size() == 3)
            registryValue(words[1], words[2]);
        else if (name == "environment" && words.size() == 1)
            environment();
        else
            throw Failure{"unknown step or wrong number of words: " + name};
    }

  private:
    // A program still running here has not got what a step expected: end
    // it, so that the scenario does not hang.
    void endProcess() {
        if (!process_.hProcess)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = PROCESS_INFORMATION();
        current_ = nullptr;
    }

    void run(const std::vector<std::string>& words) {
        endProcess();
        size_t next = 1;
        std::string directory;
        if (next + 1 < words.size() && words[next] == "--cwd") {
            directory = words[next + 1];
            next += 2;
        }
        if (next >= words.size())
            throw Failure{"run: no program"};
        std::string commandLine = "\"" + words[next] + "\"";
        std::string arguments;
        for (size_t i = next + 1; i < words.size(); ++i)
            arguments += (i > next + 1 ? " " : "") + words[i];
        if (!arguments.empty())
            commandLine += " " + arguments;
        std::printf("run%s%s\n", arguments.empty() ? "" : " ", arguments.c_str());
        std::fflush(stdout);

        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        // Wine once failed a start (error 1359) that succeeded when run
        // again: a start is tried three times, a second apart.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0)
                Sleep(1000);
            started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     directory.empty() ? nullptr : directory.c_str(), &startup,
                                     &process_) != 0;
        }
        if (!started)
            throw Failure{"cannot start " + words[next] + ": error " +
                          std::to_string(GetLastError())};
    }

    void requireProcess() const {
        if (!process_.hProcess)
            throw Failure{"no program started"};
    }

    std::vector<HWND> shownWindows() const {
        WindowSearch search{process_.dwProcessId, {}};
        EnumWindows(collectShownWindow, reinterpret_cast<LPARAM>(&search));
        return search.windows;
    }

    bool ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

    void printShownWindows() const {
        for (HWND window : shownWindows())
            printWindow(window);
    }

    void waitForWindow(const std::string& title) {
        requireProcess();
        for (DWORD waited = 0; waited < timeoutMs; waited += pollMs) {
            for (HWND window : shownWindows()) {
                if (!seen_.count(window) && windowText(window) == title) {
                    // Let the program finish filling it in before reading it.
                    Sleep(200);
                    current_ = window;
                    seen_.insert(window);
                    printWindow(window);
                    return;
                }
            }
            if (ended())
                throw Failure{"the program ended before showing " + quoted(title)};
            Sleep(pollMs);
        }
        printShownWindows();
        throw Failure{"no window " + quoted(title)};
    }

    void again(const std::string& title) {
        requireProcess();
        for (HWND window : shownWindows()) {
            if (seen_.count(window) && windowText(window) == title) {
                current_ = window;
                std::printf("again %s\n", quoted(title).c_str());
                return;
            }
        }
        throw Failure{"again: no shown window " + quoted(title)};
    }

    void still() {
        HWND window = currentWindow();
        Sleep(1000);
        failOnNewWindow();
        if (!IsWindowVisible(window))
            throw Failure{"the window is no longer shown"};
        printWindow(window);
    }

    void failOnNewWindow() const {
        for (HWND window : shownWindows()) {
            if (!seen_.count(window)) {
                printWindow(window);
                throw Failure{"a window appeared"};
            }
        }
    }

    void shown() const {
        requireProcess();
        std::string line = "shown";
        for (HWND window : shownWindows())
            line += " " + quoted(windowText(window));
        std::printf("%s\n", line.c_str());
    }

    HWND currentWindow() const {
        if (!current_ || !IsWindow(current_))
            throw Failure{"no window to act on"};
        return current_;
    }

    void choose(int lcid) {
        HWND combo = nullptr;
        for (HWND child : childWindows(currentWindow()))
            if (lstrcmpiA(className(child).c_str(), "ComboBox") == 0)
                combo = child;
        if (!combo)
            throw Failure{"choose: no combo box"};
        LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            if (SendMessageA(combo, CB_GETITEMDATA, i, 0) == lcid) {
                SendMessageA(combo, CB_SETCURSEL, i, 0);
                std::printf("choose %d\n", lcid);
                return;
            }
        }
        throw Failure{"choose: no entry " + std::to_string(lcid)};
    }

    void press(const std::string& label) {
        HWND window = currentWindow();
        for (HWND child : childWindows(window)) {
            if (lstrcmpiA(className(child).c_str(), "Button") == 0 && IsWindowVisible(child) &&
                windowText(child) == label) {
                // What a click makes the button send to its dialog.
                int id = GetDlgCtrlID(child);
                PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(child));
                std::printf("press %s\n", quoted(label).c_str());
                std::fflush(stdout);
                return;
            }
        }
        throw Failure{"press: no button " + quoted(label)};
    }

    void key(const std::string& name) {
        WPARAM code = name == "enter" ? VK_RETURN : name == "escape" ? VK_ESCAPE : 0;
        if (!code)
            throw Failure{"key: unknown key " + name};
        HWND window = currentWindow();
        PostMessageA(window, WM_KEYDOWN, code, 1);
        PostMessageA(window, WM_KEYUP, code, 0xC0000001);
        std::printf("key %s\n", name.c_str());
        std::fflush(stdout);
    }

    void closeWindow() {
        PostMessageA(currentWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
        std::printf("close\n");
        std::fflush(stdout);
    }

    void waitForExit() {
        requireProcess();
        for (DWORD waited = 0; !ended(); waited += pollMs) {
            failOnNewWindow();
            if (waited >= 3 * timeoutMs)
                throw Failure{"the program did not end"};
            Sleep(pollMs);
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        std::printf("exit %ld\n", static_cast<long>(code));
    }

    static std::string tempFolder() {
        char folder[MAX_PATH];
        DWORD length = GetTempPathA(MAX_PATH, folder);
        if (length == 0 || length >= MAX_PATH)
            throw Failure{"no temporary folder"};
        return std::string(folder, length);
    }

    static bool isPackageFile(const char* name) {
        const char* extension = std::strrchr(name, '.');
        return extension &&
               (lstrcmpiA(extension, ".msi") == 0 || lstrcmpiA(extension, ".mst") == 0);
    }

    // The .msi and .mst files in `folder`, each with `shownAs` in front.
    static void listFolder(const std::string& folder, const std::string& shownAs,
                           std::vector<std::string>& names) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            if (isPackageFile(found.cFileName))
                names.push_back(shownAs + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    // The setup's own folders ("setup-" and a random part) are listed as
    // "setup-*\", with what they hold; an empty one left behind shows too.
    void tempFiles() {
        std::vector<std::string> names;
        const std::string temp = tempFolder();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((temp + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                if (folder && std::strncmp(found.cFileName, "setup-", 6) == 0) {
                    std::vector<std::string> inside;
                    listFolder(temp + found.cFileName + "\\", "setup-*\\", inside);
                    if (inside.empty())
                        inside.push_back("setup-*\\");
                    names.insert(names.end(), inside.begin(), inside.end());
                } else if (!folder && isPackageFile(found.cFileName)) {
                    names.push_back(found.cFileName);
                }
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        std::sort(names.begin(), names.end());
        std::printf("temp-files");
        for (const std::string& name : names)
            std::printf(" %s", name.c_str());
        std::printf("%s\n", names.empty() ? " none" : "");
    }

    void product(const std::string& code) {
        char version[64] = {};
        DWORD length = sizeof(version);
        UINT result =
            MsiGetProductInfoA(code.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length);
        if (result == ERROR_SUCCESS)
            std::printf("product %s\n", version);
        else
            std::printf("product error %u\n", result);
    }

    void productName(const std::string& code) {
        char name[256] = {};
        DWORD length = sizeof(name);
        UINT result =
            MsiGetProductInfoA(code.c_str(), INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &length);
        if (result == ERROR_SUCCESS)
            std::printf("product-name %s\n", quoted(name).c_str());
        else
            std::printf("product-name error %u\n", result);
    }

    void registryValue(const std::string& key, const std::string& name) {
        HKEY opened = nullptr;
        char value[512] = {};
        DWORD size = sizeof(value) - 1;
        DWORD type = 0;
        bool found =
            RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
        if (found) {
            found = RegQueryValueExA(opened, name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
                    type == REG_SZ;
            RegCloseKey(opened);
        }
        if (found)
            std::printf("registry %s %s\n", name.c_str(), quoted(value).c_str());
        else
            std::printf("registry %s absent\n", name.c_str());
    }

    void environment() {
        std::printf("ui-language %u code-page %u\n",
                    static_cast<unsigned>(GetUserDefaultUILanguage()), GetACP());
    }

    PROCESS_INFORMATION process_ = {};
    HWND current_ = nullptr;
    std::set<HWND> seen_;
};

} // namespace

int main(int argc, char** argv) {
    // Lines end in \n alone, as the scripts that read them expect.
    _setmode(_fileno(stdout), _O_BINARY);
    Driver driver;
    std::vector<std::string> words;
    try {
        for (int i = 1; i <= argc; ++i) {
            if (i < argc && std::strcmp(argv[i], "--") != 0) {
                words.push_back(argv[i]);
                continue;
            }
            if (!words.empty())
                driver.step(words);
            std::fflush(stdout);
            words.clear();
        }
    } catch (const Failure& failure) {
        std::printf("FAILED: %s\n", failure.message.c_str());
        return 2;
    }
    return 0;
}
