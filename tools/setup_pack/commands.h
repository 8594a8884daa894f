#pragma once
// setup-pack's command line: what it asks for, one command with only its
// own options, read through one table of options that also makes --help.
#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "setup_pack/options.h"
#include "setup_pack/signing.h"

// --arch: the stub filled when --stub names none, setup.exe for 32-bit
// Windows or setup-x64.exe for 64-bit Windows without 32-bit support.
enum class StubArch { x86, x64 };

// "setup.exe" or "setup-x64.exe".
const char* stubFileName(StubArch arch);

// Writing a setup (--out), the package with its transforms stored in it
// (--out-msi), or both.
struct PackCommand {
    std::string msiPath;
    std::vector<TransformInput> transforms; // --transform and --language, in command-line order
    std::optional<std::string> languages, productName, productCode, version, logPath, stubPath;
    std::optional<StubArch> arch; // never with stubPath
    std::string outPath;          // empty with --out-msi alone
    SigningOptions signing;
    std::optional<std::string> outMsiPath;
    // --winget FOLDER: the winget manifests of the setup of --out, with
    // --package-id, --installer-url and --license (required there) and
    // --publisher.
    std::optional<std::string> wingetFolder, packageId, installerUrl, publisher, license;
};

// The stub that `command` fills: --stub, else the default stub of --arch
// (x86 without it), found as defaultStubPath (setup_file.h) finds it.
std::string stubPathOf(const PackCommand& command);

// --make-transform: one transform file, no setup, from a localized package
// (--localized) or a translation (--translation).
struct MakeTransformCommand {
    std::string msiPath;
    TransformInput source;
    std::string outPath;
};

// --export-texts: the package's texts as a PO file, translated from a
// localized package (--localized) where one is given.
struct ExportTextsCommand {
    std::string msiPath;
    std::optional<std::string> localizedPath;
    std::string outPath;
};

// --inspect SETUP|PACKAGE.
struct InspectCommand {
    std::string path;
};

// --extract SETUP|PACKAGE --out FOLDER.
struct ExtractCommand {
    std::string path, folder;
};

struct HelpCommand {};
struct VersionCommand {}; // "--version" as the only argument

using Command = std::variant<PackCommand, MakeTransformCommand, ExportTextsCommand, InspectCommand,
                             ExtractCommand, HelpCommand, VersionCommand>;

// Reads the arguments after the program name. Throws PackError with
// packUsage for a malformed command line and packBadInput for a value that
// cannot be used; file contents are not looked at here.
Command parseCommand(const std::vector<std::string>& arguments);

// The usage text printed by --help.
const std::string& packUsageText();

// The commands an option goes with.
enum CommandMask : unsigned {
    forPack = 1,
    forMakeTransform = 2,
    forInspect = 4,
    forExtract = 8,
    forHelp = 16,
    forVersion = 32, // alone on the command line
    forExportTexts = 64,
};

struct ParsedLine; // the command line as far as it is read (commands.cpp)

// One option: its name, whether a value follows it, the commands it goes
// with, its lines in --help's list (in the order of the list; empty when
// only the synopsis names it) and what reading it does: setting `text`
// once, then `check`ing the value, or else `read` (none for --help and the
// program's --version).
struct OptionSpec {
    const char* name;
    bool takesValue;
    unsigned commands;
    const char* help;
    std::optional<std::string> PackCommand::*text = nullptr;
    void (*check)(const std::string& value, const std::string& option) = nullptr;
    void (*read)(ParsedLine& line, const std::string& option, const std::string& value) = nullptr;
};

// Every option, in the order of --help's list.
const std::vector<OptionSpec>& optionTable();
