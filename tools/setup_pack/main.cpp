// setup-pack: turns a product's installer package and its language
// transforms into the product's setup.exe.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "os/handle.h"
#include "setup_pack/language_transforms.h"
#include "setup_pack/options.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_contents.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/sha256.h"
#include "setup_pack/system_message.h"
#include "setup_pack/utf8.h"

namespace {

// Writes UTF-8 text with Windows line ends: as UTF-16 to a console, as the
// UTF-8 bytes to a file or pipe, never through a code page.
void print(DWORD stream, const std::string& text) {
    std::string lines;
    for (char c : text) {
        if (c == '\n')
            lines += '\r';
        lines += c;
    }
    HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        std::wstring wide = widen(lines);
        WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
}

// The arguments after the program name, as UTF-8, from the UTF-16 command
// line (main's argv would have passed through the ANSI code page).
std::vector<std::string> commandLineArguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string fileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every input is read and checked before anything is written.
int pack(const PackOptions& options) {
    std::string stubPath = options.stubPath ? *options.stubPath : defaultStubPath();
    if (samePath(options.outPath, stubPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the stub");
    if (samePath(options.outPath, options.msiPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the package");
    for (const TransformInput& transform : options.transforms)
        if (samePath(options.outPath, transform.path))
            throw PackError(packBadInput, options.outPath,
                            "the output would overwrite a transform");

    std::vector<PackResource> resources;
    std::vector<unsigned char> package = readInputFile(options.msiPath);
    checkCompoundFile(package, options.msiPath, "an installer database");
    PackageInfo info = readPackageInfo(options.msiPath);
    resources.push_back({"PACKAGEFILE", std::move(package)});

    for (const TransformInput& transform : options.transforms)
        resources.push_back({"LANG" + std::to_string(transform.lcid),
                             languageTransform(transform, options.msiPath)});

    // The package's own values must satisfy the same rules as the options.
    std::string productCode = options.productCode ? *options.productCode : info.productCode;
    if (!options.productCode)
        checkProductCode(productCode, options.msiPath + " (ProductCode)");
    std::string version = options.version ? *options.version : info.productVersion;
    if (!options.version)
        checkVersion(version, options.msiPath + " (ProductVersion)");
    std::string productName = options.productName ? *options.productName : info.productName;
    std::string languages =
        options.languages ? *options.languages : defaultLanguageList(options.transforms);

    checkStub(stubPath);

    std::string packageName = fileName(options.msiPath);
    struct Named {
        const char* name;
        const std::string& text;
    } texts[] = {{"PACKAGENAME", packageName},
                 {"PRODUCTCODE", productCode},
                 {"PRODUCTNAME", productName},
                 {"VERSION", version},
                 {"LANGUAGES", languages}};
    for (const Named& text : texts)
        resources.push_back({text.name, wideTextResource(text.text)});
    if (options.logPath)
        resources.push_back({"LOGPATH", wideTextResource(*options.logPath)});

    writeSetup(stubPath, options.outPath, resources);
    print(STD_OUTPUT_HANDLE, "setup-pack: wrote " + options.outPath + ": " + productName + " " +
                                 version + " " + productCode + ", languages " + languages + "\n");
    return packSuccess;
}

std::string describe(const std::vector<unsigned char>& bytes) {
    return std::to_string(bytes.size()) + " bytes, SHA-256 " +
           sha256Hex(bytes.data(), bytes.size());
}

// The package's own properties, read from a temporary copy (the database
// functions open files only).
PackageInfo embeddedPackageInfo(const std::vector<unsigned char>& package,
                                const std::string& setupPath) {
    wchar_t folder[MAX_PATH], temporary[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || !GetTempFileNameW(folder, L"spk", 0, temporary))
        throw PackError(packWriteFailed, setupPath,
                        "cannot create a temporary file: " + systemMessage(GetLastError()));
    std::string copy = narrow(temporary);
    try {
        OSHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        bool ok = file.isOpen() &&
                  WriteFile(file.get(), package.data(), static_cast<DWORD>(package.size()),
                            &written, nullptr) &&
                  written == package.size();
        ok = file.close() && ok;
        if (!ok)
            throw PackError(packWriteFailed, copy, "cannot write the package's copy");
        PackageInfo info = readPackageInfo(copy);
        DeleteFileW(temporary);
        return info;
    } catch (const PackError& error) {
        DeleteFileW(temporary);
        throw PackError(error.exitCode(), setupPath, std::string("its package: ") + error.what());
    }
}

// Prints what the setup carries; exit 2 naming each text that disagrees
// with the package's own property.
int inspect(const std::string& path) {
    SetupContents setup = readSetupContents(path);
    auto text = [](const std::optional<std::string>& value) {
        return value ? *value : std::string("(none)");
    };
    std::string report = "product name: " + text(setup.productName) + "\n" +
                         "product code: " + text(setup.productCode) + "\n" +
                         "version: " + text(setup.version) + "\n";
    report += "package: " + text(setup.packageName) +
              (setup.package ? ", " + describe(*setup.package) : ", (no package)") + "\n";
    for (const SetupTransform& transform : setup.transforms)
        report += "language " + std::to_string(transform.lcid) + ": " +
                  transformFileName(transform.lcid) + ", " + describe(transform.bytes) + "\n";
    report += "LANGUAGES: " + text(setup.languages) + "\n";
    report += "LOGPATH: " + text(setup.logPath) + "\n";
    report += "signed: " +
              (setup.certificateSize
                   ? "yes (" + std::to_string(setup.certificateSize) + " bytes of certificates)"
                   : std::string("no")) +
              "\n";
    print(STD_OUTPUT_HANDLE, report);
    if (!setup.package)
        throw PackError(packBadInput, path, "carries no package");

    PackageInfo info = embeddedPackageInfo(*setup.package, path);
    struct Pair {
        const char* resource;
        const std::optional<std::string>& text;
        const char* property;
        const std::string& value;
    } pairs[] = {{"PRODUCTCODE", setup.productCode, "ProductCode", info.productCode},
                 {"PRODUCTNAME", setup.productName, "ProductName", info.productName},
                 {"VERSION", setup.version, "ProductVersion", info.productVersion}};
    int mismatches = 0;
    for (const Pair& pair : pairs) {
        if (pair.text && *pair.text == pair.value)
            continue;
        ++mismatches;
        print(STD_ERROR_HANDLE, "setup-pack: " + path + ": " + pair.resource + " \"" +
                                    text(pair.text) + "\" differs from the package's " +
                                    pair.property + " \"" + pair.value + "\"\n");
    }
    return mismatches ? packBadInput : packSuccess;
}

int extract(const std::string& path, const std::string& folder) {
    SetupContents setup = readSetupContents(path);
    for (const std::string& written : extractSetup(setup, path, folder))
        print(STD_OUTPUT_HANDLE, "setup-pack: wrote " + written + "\n");
    return packSuccess;
}

} // namespace

int main() {
    try {
        PackOptions options = parsePackOptions(commandLineArguments());
        if (options.help) {
            print(STD_OUTPUT_HANDLE, packUsageText());
            return packSuccess;
        }
        if (options.inspectPath)
            return inspect(*options.inspectPath);
        if (options.extractPath)
            return extract(*options.extractPath, options.outPath);
        if (options.makeTransform) {
            writeTransformFile(options);
            print(STD_OUTPUT_HANDLE, "setup-pack: wrote " + options.outPath +
                                         ": the transform from " + options.msiPath + " to " +
                                         options.localizedPath + "\n");
            return packSuccess;
        }
        return pack(options);
    } catch (const PackError& error) {
        print(STD_ERROR_HANDLE, "setup-pack: " + error.input() + ": " + error.what() + "\n");
        return error.exitCode();
    } catch (const std::exception& error) {
        print(STD_ERROR_HANDLE, std::string("setup-pack: ") + error.what() + "\n");
        return packWriteFailed;
    }
}
