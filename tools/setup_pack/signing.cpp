#include "setup_pack/signing.h"

#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "common/file_io.h"
#include "common/process.h"
#include "common/work_folder.h"

namespace {

const char passwordVariable[] = "SETUP_PACK_SIGN_PASSWORD";

// The lines of a tool's output that say what went wrong, joined into one.
std::string summary(const std::string& output, bool onlyFailures) {
    std::vector<std::string> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        line.erase(line.find_last_not_of("\r ") + 1);
        if (line.empty())
            continue;
        std::string lower;
        for (char c : line)
            lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (!onlyFailures || lower.find("fail") != std::string::npos ||
            lower.find("error") != std::string::npos)
            lines.push_back(line);
    }
    // The first failures say what went wrong; of a whole log, the end.
    size_t first = onlyFailures || lines.size() <= 3 ? 0 : lines.size() - 3;
    std::string text;
    for (size_t i = first; i < lines.size() && i < first + 3; ++i)
        text += (text.empty() ? "" : " ") + lines[i];
    return text;
}

common::ProcessResult run(const std::string& program, const std::vector<std::string>& arguments) {
    common::ProcessResult result = common::runProcess(program, arguments);
    if (!result.started)
        throw PackError(packWriteFailed, program,
                        "cannot be started (" + result.output +
                            "); signing needs it installed (Debian: apt install " + program + ")");
    return result;
}

class Signer {
  public:
    Signer(const SigningOptions& options, const common::WorkFolder& work) : options_(options) {
        // Missing tools are named before anything is done.
        run("osslsigncode", {"--version"});
        std::optional<std::string> password = common::environmentVariable(passwordVariable);
        if (!options.pkcs12Path.empty() && password && !password->empty()) {
            passwordPath_ = work.file("password");
            writingTo(options.pkcs12Path,
                      [&] { common::writeWholeFile(passwordPath_, *password); });
        }
        caPath_ = options.caPath;
        if (!caPath_.empty())
            return;
        if (options.pkcs12Path.empty()) {
            caPath_ = options.certPath;
            return;
        }
        caPath_ = work.file("signer.pem");
        std::vector<std::string> extract = {
            "pkcs12", "-in", options.pkcs12Path, "-nokeys", "-clcerts", "-out", caPath_, "-passin"};
        // openssl reads the password from the variable itself; an unset one
        // is an empty password, as for osslsigncode.
        extract.push_back(common::environmentVariable(passwordVariable)
                              ? std::string("env:") + passwordVariable
                              : std::string("pass:"));
        if (run("openssl", extract).exitCode != 0)
            throw PackError(packWriteFailed, options.pkcs12Path,
                            std::string("cannot read the certificate (password in ") +
                                passwordVariable + ")");
    }

    // `shownAs` names the file in a message: the input, not its copy.
    void sign(const std::string& description, const std::string& in, const std::string& out,
              const std::string& shownAs) {
        std::vector<std::string> arguments = {"sign"};
        if (!options_.pkcs12Path.empty()) {
            arguments.insert(arguments.end(), {"-pkcs12", options_.pkcs12Path});
            // From the work folder, never on a command line that every user
            // of the machine can list.
            if (!passwordPath_.empty())
                arguments.insert(arguments.end(), {"-readpass", passwordPath_});
        } else {
            arguments.insert(arguments.end(),
                             {"-certs", options_.certPath, "-key", options_.keyPath});
        }
        if (!options_.timestampUrl.empty())
            arguments.insert(arguments.end(), {"-ts", options_.timestampUrl});
        arguments.insert(arguments.end(), {"-n", description, "-in", in, "-out", out});
        common::ProcessResult result = run("osslsigncode", arguments);
        if (result.exitCode != 0)
            throw PackError(packWriteFailed, shownAs,
                            "signing failed" +
                                (options_.timestampUrl.empty()
                                     ? std::string()
                                     : " (time stamp from " + options_.timestampUrl + ")") +
                                ": " + summary(result.output, false));
    }

    void verify(const std::string& path, const std::string& shownAs) {
        common::ProcessResult result =
            run("osslsigncode", {"verify", "-CAfile", caPath_, "-in", path});
        if (result.exitCode != 0)
            throw PackError(packWriteFailed, shownAs,
                            "the signature does not verify against " + caPath_ + ": " +
                                summary(result.output, true));
    }

  private:
    const SigningOptions& options_;
    std::string caPath_;
    std::string passwordPath_; // empty: no password
};

} // namespace

void packSigned(const SigningOptions& options, const std::string& description,
                const std::string& msiPath, const std::string& outPath, const PackStep& pack) {
    std::unique_ptr<common::WorkFolder> work;
    writingTo(outPath, [&] {
        work.reset(new common::WorkFolder(outPath));
        work->makeFolder("package");
    });
    Signer signer(options, *work);
    // The setup writes the package out under its own file name: the signed
    // copy keeps it.
    std::string signedMsi = work->file("package/" + common::baseName(msiPath));
    signer.sign(description, msiPath, signedMsi, msiPath);
    signer.verify(signedMsi, msiPath + " (signed)");

    std::string packed = work->file(common::baseName(outPath));
    pack(signedMsi, packed);
    std::string signedSetup = packed + ".signed";
    signer.sign(description, packed, signedSetup, outPath);
    signer.verify(signedSetup, outPath);
    writingTo(outPath, [&] { common::replaceFile(signedSetup, outPath); });
}
