#pragma once
// Language transforms made and checked through the system: the databases
// are read by the Windows Installer (msi.dll), the transform is written as a
// structured-storage file. Paths are UTF-8.
#include <stdexcept>
#include <string>
#include <utility>

namespace msi_transform {

// A failure naming the file it is about and why (UTF-8).
class TransformError : public std::runtime_error {
  public:
    TransformError(std::string input, const std::string& reason)
        : std::runtime_error(reason), input_(std::move(input)) {}
    const std::string& input() const { return input_; }

  private:
    std::string input_;
};

// Writes the transform from `basePath` to `localizedPath` as `outPath`
// (through a temporary file in the same folder, renamed at the end; nothing
// is left on failure). Throws TransformError naming the input at fault:
// a file that is no installer database, or any refusal of diffDatabases,
// or a text the pool's code page cannot hold. A system failure while
// writing names `outPath`.
void makeTransform(const std::string& basePath, const std::string& localizedPath,
                   const std::string& outPath);

// Throws TransformError naming `transformPath` unless it is a transform
// (root class id of a transform; a package or a patch is named as such)
// that the Windows Installer applies to `basePath` without error. The base
// is not changed: the transform is applied to a temporary copy.
void checkTransform(const std::string& transformPath, const std::string& basePath);

} // namespace msi_transform
