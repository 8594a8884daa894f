#include "package/launch.h"

#include <utility>

#include "os/system_folder.h"
#include "package/command_line.h"
#include "state/setup_state.h"

OSHandle launchInstaller(Text packagePath, Text transformPath, InstallCheck check) {
    InstallerCommandInput input{std::move(packagePath),
                                std::move(transformPath),
                                check,
                                setupState.silent,
                                setupState.logPath,
                                currentDirectory(),
                                setupState.installerProperties,
                                setupState.rebootProperty,
                                setupState.progressOnly};
    // Without a current directory there is neither a SETUPEXEDIR nor a place
    // to run the installer in.
    if (input.currentDirectory.empty())
        return OSHandle();
    // The program comes from the system folder by full path: the search order
    // would start in the setup's own folder, where a planted msiexec.exe
    // would run, possibly elevated.
    Text application = systemFilePath("msiexec.exe");
    if (application.empty())
        return OSHandle();
    Text commandLine = installerCommandLine(input);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application.c_str(), commandLine.reserve(commandLine.size()), nullptr,
                        nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        input.currentDirectory.c_str(), &startup, &process))
        return OSHandle();
    // The installer's first thread is of no use to the setup.
    OSHandle(process.hThread).close();
    return OSHandle(process.hProcess);
}
