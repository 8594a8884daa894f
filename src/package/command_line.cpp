#include "package/command_line.h"

namespace {
Text& appendQuoted(Text& text, const Text& value) {
    return text.append('"').append(value).append('"');
}
} // namespace

Text installerCommandLine(const InstallerCommandInput& input) {
    Text line("msiexec.exe");
    if (input.silent)
        line.append(input.progressOnly ? " /passive" : " /qn");
    appendQuoted(line.append(" /i "), input.packagePath);
    if (!input.transformPath.empty())
        appendQuoted(line.append(" TRANSFORMS="), input.transformPath);
    appendQuoted(line.append(" SETUPEXEDIR="), input.currentDirectory);
    if (input.silent && !input.rebootGiven)
        line.append(" REBOOT=ReallySuppress");
    if (!input.properties.empty())
        line.append(' ').append(input.properties);
    if (input.check == InstallCheck::Upgrade)
        line.append(" REINSTALL=ALL REINSTALLMODE=vomus");
    if (!input.logPath.empty())
        appendQuoted(line.append(" /l*vx "), input.logPath);
    return line;
}
