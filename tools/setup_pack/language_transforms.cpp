#include "setup_pack/language_transforms.h"

#include <windows.h>

#include "msi_transform/generate.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/utf8.h"

namespace {

using Input = msi_transform::TransformError::Input;

// The transform from `msiPath` to `localizedPath`; a refusal names the file at fault.
std::vector<unsigned char> madeTransform(const std::string& msiPath,
                                         const std::string& localizedPath) {
    std::vector<unsigned char> base = readInputFile(msiPath);
    std::vector<unsigned char> localized = readInputFile(localizedPath);
    try {
        return msi_transform::makeTransform(base, localized);
    } catch (const msi_transform::TransformError& error) {
        throw PackError(packBadInput, error.input() == Input::Base ? msiPath : localizedPath,
                        error.what());
    }
}

} // namespace

std::vector<unsigned char> languageTransform(const TransformInput& transform,
                                             const std::string& msiPath) {
    if (transform.localized)
        return madeTransform(msiPath, transform.path);
    std::vector<unsigned char> bytes = readInputFile(transform.path);
    checkCompoundFile(bytes, transform.path, "an installer transform");
    std::vector<unsigned char> base = readInputFile(msiPath);
    try {
        msi_transform::checkTransform(bytes, base);
    } catch (const msi_transform::TransformError& error) {
        throw PackError(packBadInput, error.input() == Input::Base ? msiPath : transform.path,
                        error.what());
    }
    return bytes;
}

void writeTransformFile(const PackOptions& options) {
    if (samePath(options.outPath, options.msiPath))
        throw PackError(packBadInput, options.outPath, "the output would overwrite the package");
    if (samePath(options.outPath, options.localizedPath))
        throw PackError(packBadInput, options.outPath,
                        "the output would overwrite the localized package");
    std::vector<unsigned char> bytes = madeTransform(options.msiPath, options.localizedPath);
    // Through a temporary file beside the output, renamed at the end.
    std::wstring out = widen(options.outPath);
    std::wstring temporary = out + L".tmp" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw PackError(packWriteFailed, options.outPath, "cannot create the transform");
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = CloseHandle(file) && ok;
    if (!ok || !MoveFileExW(temporary.c_str(), out.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        throw PackError(packWriteFailed, options.outPath, "cannot write the transform");
    }
}
