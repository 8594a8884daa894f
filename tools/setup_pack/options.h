#pragma once
// The command line of setup-pack and the checks of its values that need no
// file: product code, version and language lists.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup_pack/pack_error.h"

struct TransformInput {
    int32_t lcid = 0;
    std::string path;
    bool localized = false; // --language: a localized package to make the transform from
};

// Authenticode signing of the package and the setup (setup_pack/signing.h).
struct SigningOptions {
    std::string certPath;     // --sign-cert: the certificate, PEM or DER
    std::string keyPath;      // --sign-key: its private key
    std::string pkcs12Path;   // --sign-pkcs12: both; password in SETUP_PACK_SIGN_PASSWORD
    std::string caPath;       // --sign-ca: what both signatures must verify against
    std::string timestampUrl; // --timestamp-url: an RFC 3161 service

    bool requested() const { return !certPath.empty() || !keyPath.empty() || !pkcs12Path.empty(); }
    bool given() const { return requested() || !caPath.empty() || !timestampUrl.empty(); }
};

// --arch: the stub filled when --stub names none, setup.exe for 32-bit
// Windows or setup-x64.exe for 64-bit Windows without 32-bit support.
enum class StubArch { x86, x64 };

// "setup.exe" or "setup-x64.exe".
const char* stubFileName(StubArch arch);

struct PackOptions {
    bool help = false;
    bool showVersion = false;   // "--version" as the only argument
    bool makeTransform = false; // --make-transform: write one transform, no setup
    std::string localizedPath;  // --localized, with --make-transform only
    std::string msiPath;
    std::vector<TransformInput> transforms; // --transform and --language, in command-line order
    std::optional<std::string> languages;
    std::optional<std::string> productName;
    std::optional<std::string> productCode;
    std::optional<std::string> version;
    std::optional<std::string> logPath;
    std::optional<std::string> stubPath;
    std::optional<StubArch> arch; // never with stubPath
    std::string outPath;          // with --extract: the folder to write into
    // Looking into a written setup instead of packing: --inspect SETUP, or
    // --extract SETUP --out DIR. Neither goes with any packing option.
    std::optional<std::string> inspectPath;
    std::optional<std::string> extractPath;
    SigningOptions signing; // with packing only
    // --out-msi: the package with the transforms stored in it, beside or
    // instead of the setup of --out.
    std::optional<std::string> outMsiPath;
    // --winget FOLDER: the winget manifests of the setup of --out, with
    // --package-id, --installer-url and --license (required there) and
    // --publisher.
    std::optional<std::string> wingetFolder, packageId, installerUrl, publisher, license;
};

// Reads the arguments after the program name (--msi and --out are required
// unless --inspect or --extract is given). Throws PackError with
// packUsage for a malformed command line and packBadInput for a transform
// LCID that cannot be used; file contents are not looked at here.
PackOptions parsePackOptions(const std::vector<std::string>& arguments);

// Throws PackError (packUsage) unless the signing options are either none
// or a certificate with its key, or a PKCS#12 file alone.
void checkSigningOptions(const SigningOptions& options);

// The usage text printed by --help.
const char* packUsageText();

// The product code as the setup carries it: `code`, a GUID in braces
// ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}) with hex digits in either case,
// given back with upper-case digits, the form the Windows Installer writes
// (it compares GUIDs without regard to case). Throws PackError
// (packBadInput) naming `input` for anything else.
std::string canonicalProductCode(const std::string& code, const std::string& input);

// Whether two product codes are one to the Windows Installer: the same text
// but for the case of its letters.
bool sameProductCode(const std::string& a, const std::string& b);

// One to four dot-separated decimal numbers, each 0 to 65535. The setup
// itself accepts any non-empty text, but reads a piece above 65535 into the
// neighbouring half of the version pair and stops at an empty piece, so such
// texts would compare wrongly against the installed version.
void checkVersion(const std::string& version, const std::string& input);

// The LCID of a language that the setup knows; throws otherwise.
int32_t checkLanguage(const std::string& lcidText, const std::string& input);

// A ";"-separated list of known LCIDs without empty entries or repetitions.
void checkLanguageList(const std::string& languages, const std::string& input);

// "1033" followed by the transforms' LCIDs in their order, joined by ";".
std::string defaultLanguageList(const std::vector<TransformInput>& transforms);
