// The Windows side of the fault tests: what the end-to-end driver does not
// do, because it needs a process of its own or more than one setup at once.
//
//   fault_tool hold PATH PROGRAM [ARGS...]
//       opens PATH (which must exist) for writing and shares it with nobody,
//       runs PROGRAM with ARGS, waits for it, closes PATH and ends with the
//       program's exit code
//   fault_tool await NAME
//       waits until a process whose program file is NAME runs; prints
//       "running NAME"
//   fault_tool kill NAME CODE
//       ends every process whose program file is NAME with exit code CODE
//       (decimal, full 32 bits); prints "killed NAME CODE"
//   fault_tool send NAME close|close-box|cancel
//       sends to every dialog (shown or not) of every process whose program
//       file is NAME a close request (WM_CLOSE), a click on its close box
//       (SC_CLOSE) or a Cancel (IDCANCEL), as another program or the user
//       would; prints "sent MESSAGE to NAME"
//   fault_tool load PATH
//       loads the library PATH; prints "loaded" or "not loaded"
//   fault_tool together PROGRAM [ARGS...] [-- PROGRAM [ARGS...]]...
//       starts the programs at the same moment, answers every message box
//       that one of them shows with OK, and prints, program by program, the
//       boxes it showed and its full exit code
//
// The exit code is 0 when the command could be carried out (for hold: the
// program's), 2 otherwise.
#include <windows.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD timeoutMs = 60000;
const DWORD pollMs = 50;

// Quotes an argument the way the C runtime splits a command line.
std::string quoted(const std::string& argument) {
    std::string text = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

bool start(const std::vector<std::string>& words, PROCESS_INFORMATION& process) {
    std::string commandLine;
    for (size_t i = 0; i < words.size(); ++i)
        commandLine += (i ? " " : "") + quoted(words[i]);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process))
        return true;
    std::printf("cannot start %s: error %lu\n", words[0].c_str(), GetLastError());
    return false;
}

long exitCode(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<long>(code);
}

int hold(const std::string& path, const std::vector<std::string>& program) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot hold %s: error %lu\n", path.c_str(), GetLastError());
        return 2;
    }
    PROCESS_INFORMATION process = {};
    if (!start(program, process)) {
        CloseHandle(file);
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    long code = exitCode(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(file);
    return static_cast<int>(code);
}

// Identifiers of the running processes whose program file is NAME.
std::vector<DWORD> processesNamed(const std::string& name) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

int await(const std::string& name) {
    for (DWORD waited = 0; waited < timeoutMs; waited += pollMs) {
        if (!processesNamed(name).empty()) {
            std::printf("running %s\n", name.c_str());
            return 0;
        }
        Sleep(pollMs);
    }
    std::printf("no process %s\n", name.c_str());
    return 2;
}

int kill(const std::string& name, DWORD code) {
    std::vector<DWORD> targets = processesNamed(name);
    if (targets.empty()) {
        std::printf("no process %s\n", name.c_str());
        return 2;
    }
    for (DWORD id : targets) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process || !TerminateProcess(process, code) ||
            WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
            std::printf("cannot end %s (%lu): error %lu\n", name.c_str(), id, GetLastError());
            return 2;
        }
        CloseHandle(process);
    }
    std::printf("killed %s %lu\n", name.c_str(), code);
    return 0;
}

int usage();

struct DialogSearch {
    std::vector<DWORD> owners;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK findDialog(HWND window, LPARAM context) {
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(context);
    char kind[16] = {};
    GetClassNameA(window, kind, sizeof(kind));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    for (DWORD id : search.owners)
        if (id == owner && std::strcmp(kind, "#32770") == 0)
            search.dialogs.push_back(window);
    return TRUE;
}

int send(const std::string& name, const std::string& message) {
    DialogSearch search{processesNamed(name), {}};
    EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
    if (search.dialogs.empty()) {
        std::printf("no dialog of %s\n", name.c_str());
        return 2;
    }
    UINT code = message == "close" ? WM_CLOSE : message == "close-box" ? WM_SYSCOMMAND : WM_COMMAND;
    WPARAM parameter = message == "close-box" ? SC_CLOSE : message == "cancel" ? IDCANCEL : 0;
    if (message != "close" && !parameter)
        return usage();
    for (HWND dialog : search.dialogs) {
        DWORD_PTR answer = 0;
        // Handled in the other program's message loop; it must not hang us.
        if (!SendMessageTimeoutA(dialog, code, parameter, 0, SMTO_NORMAL, 5000, &answer)) {
            std::printf("%s did not take %s\n", name.c_str(), message.c_str());
            return 2;
        }
    }
    std::printf("sent %s to %s\n", message.c_str(), name.c_str());
    return 0;
}

int load(const std::string& path) {
    HMODULE library = LoadLibraryA(path.c_str());
    std::printf(library ? "loaded\n" : "not loaded\n");
    if (library)
        FreeLibrary(library);
    return 0;
}

struct Started {
    PROCESS_INFORMATION process;
    std::vector<std::string> boxes;
};

struct BoxSearch {
    std::vector<Started>* started;
    std::vector<std::pair<size_t, HWND>> boxes;
};

BOOL CALLBACK findBox(HWND window, LPARAM context) {
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(context);
    char kind[16] = {};
    GetClassNameA(window, kind, sizeof(kind));
    // A message box is a dialog with the static text control 0xFFFF; the
    // setup's own dialog has one too, but also its language list (1000).
    if (!IsWindowVisible(window) || std::strcmp(kind, "#32770") != 0 ||
        !GetDlgItem(window, 0xFFFF) || GetDlgItem(window, 1000))
        return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    for (size_t i = 0; i < search.started->size(); ++i)
        if ((*search.started)[i].process.dwProcessId == owner)
            search.boxes.push_back({i, window});
    return TRUE;
}

std::string windowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

int together(const std::vector<std::vector<std::string>>& programs) {
    std::vector<Started> started(programs.size());
    for (size_t i = 0; i < programs.size(); ++i)
        if (!start(programs[i], started[i].process))
            return 2;
    std::vector<HWND> answered;
    for (DWORD waited = 0;; waited += pollMs) {
        BoxSearch search{&started, {}};
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
        for (const auto& box : search.boxes) {
            bool seen = false;
            for (HWND old : answered)
                seen = seen || old == box.second;
            if (seen)
                continue;
            Sleep(200); // let the box finish filling itself in
            started[box.first].boxes.push_back("box \"" + windowText(box.second) + "\" \"" +
                                               windowText(GetDlgItem(box.second, 0xFFFF)) + "\"");
            answered.push_back(box.second);
            PostMessageA(box.second, WM_COMMAND, IDOK, 0);
        }
        bool allEnded = true;
        for (const Started& each : started)
            allEnded = allEnded && WaitForSingleObject(each.process.hProcess, 0) == WAIT_OBJECT_0;
        if (allEnded)
            break;
        if (waited >= 3 * timeoutMs) {
            std::printf("the programs did not end\n");
            return 2;
        }
        Sleep(pollMs);
    }
    for (size_t i = 0; i < started.size(); ++i) {
        for (const std::string& box : started[i].boxes)
            std::printf("program %u: %s\n", static_cast<unsigned>(i + 1), box.c_str());
        std::printf("program %u: exit %ld\n", static_cast<unsigned>(i + 1),
                    exitCode(started[i].process.hProcess));
        CloseHandle(started[i].process.hThread);
        CloseHandle(started[i].process.hProcess);
    }
    return 0;
}

int usage() {
    std::fprintf(stderr, "usage: fault_tool hold PATH PROGRAM [ARGS...] | await NAME | kill NAME "
                         "CODE | send NAME close|close-box|cancel | load PATH | together PROGRAM "
                         "[ARGS...] [-- PROGRAM...]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Lines end in \n alone, as the scripts that read them expect.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage();
    const std::string& command = args[0];
    int result = 2;
    if (command == "hold" && args.size() >= 3)
        result = hold(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    else if (command == "await" && args.size() == 2)
        result = await(args[1]);
    else if (command == "kill" && args.size() == 3)
        result = kill(args[1], std::strtoul(args[2].c_str(), nullptr, 10));
    else if (command == "send" && args.size() == 3)
        result = send(args[1], args[2]);
    else if (command == "load" && args.size() == 2)
        result = load(args[1]);
    else if (command == "together" && args.size() >= 2) {
        std::vector<std::vector<std::string>> programs(1);
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--")
                programs.emplace_back();
            else
                programs.back().push_back(args[i]);
        }
        for (const auto& program : programs)
            if (program.empty())
                return usage();
        result = together(programs);
    } else
        return usage();
    std::fflush(stdout);
    return result;
}
