#include "setup_pack/language_transforms.h"

#include <windows.h>

#include "msi_transform/generate.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/utf8.h"

namespace {

// A failure about the output is a write failure, any other a bad input.
PackError packError(const msi_transform::TransformError& error, const std::string& outPath) {
    return PackError(error.input() == outPath ? packWriteFailed : packBadInput, error.input(),
                     error.what());
}

} // namespace

std::vector<unsigned char> languageTransform(const TransformInput& transform,
                                             const std::string& msiPath) {
    if (!transform.localized) {
        std::vector<unsigned char> bytes = readInputFile(transform.path);
        checkCompoundFile(bytes, transform.path, "an installer transform");
        try {
            msi_transform::checkTransform(transform.path, msiPath);
        } catch (const msi_transform::TransformError& error) {
            throw PackError(packBadInput, error.input(), error.what());
        }
        return bytes;
    }
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (!length || length > MAX_PATH || !GetTempFileNameW(folder, L"mst", 0, name))
        throw PackError(packWriteFailed, "the temporary folder",
                        "cannot create the transform for language " +
                            std::to_string(transform.lcid));
    std::string temporary = narrow(name);
    std::vector<unsigned char> bytes;
    try {
        msi_transform::makeTransform(msiPath, transform.path, temporary);
        bytes = readInputFile(temporary);
    } catch (const msi_transform::TransformError& error) {
        DeleteFileW(name);
        throw packError(error, temporary);
    } catch (...) {
        DeleteFileW(name);
        throw;
    }
    DeleteFileW(name);
    return bytes;
}

void writeTransformFile(const PackOptions& options) {
    if (samePath(options.outPath, options.msiPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the package");
    if (samePath(options.outPath, options.localizedPath))
        throw PackError(packBadInput, options.outPath,
                        "the output would overwrite the localized package");
    try {
        msi_transform::makeTransform(options.msiPath, options.localizedPath, options.outPath);
    } catch (const msi_transform::TransformError& error) {
        throw packError(error, options.outPath);
    }
}
