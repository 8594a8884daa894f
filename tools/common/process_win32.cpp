// runProcess on Windows: CreateProcessW with one inheritable pipe for
// standard output and error, the NUL device as standard input.
#include "common/process.h"

#include <windows.h>

#include <stdexcept>

#include "common/win32_text.h"

namespace common {

using namespace win32;

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherited, 0))
        throw std::runtime_error("CreatePipe: " + systemMessage(GetLastError()));
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    std::wstring line = wide(windowsCommandLine(program, arguments));
    PROCESS_INFORMATION process = {};
    ProcessResult result;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        result.output = systemMessage(GetLastError());
        return result;
    }
    result.started = true;
    Handle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.reset(); // the child holds the only writing end now

    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
        result.output.append(buffer, count);
    DWORD exitCode = 0;
    if (WaitForSingleObject(processHandle.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(processHandle.get(), &exitCode))
        throw std::runtime_error("waiting for " + program + ": " + systemMessage(GetLastError()));
    result.exitCode = static_cast<int>(exitCode);
    return result;
}

std::optional<std::string> environmentVariable(const std::string& name) {
    std::wstring wideName = wide(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                        : std::optional<std::string>("");
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
    return narrow(value.data(), length);
}

} // namespace common
