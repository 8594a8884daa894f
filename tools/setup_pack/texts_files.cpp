#include "setup_pack/texts_files.h"

#include <memory>

#include "common/file_io.h"
#include "msi_texts/texts.h"
#include "msi_transform/generate.h"
#include "setup_pack/pack_error.h"
#include "setup_pack/package_info.h"
#include "po/po_file.h"

namespace {

using Input = msi_transform::TransformError::Input;

msi_database::Database readDatabase(const std::string& path, Input input) {
    std::unique_ptr<common::MappedFile> file = mapInput(path);
    try {
        return msi_transform::readPackageDatabase(file->bytes(), input);
    } catch (const msi_transform::TransformError& error) {
        throw PackError(packBadInput, path, error.what());
    }
}

} // namespace

void writeTextsFile(const std::string& msiPath, const std::optional<std::string>& localizedPath,
                    const std::string& outPath) {
    if (common::sameFile(outPath, msiPath))
        throw PackError(packBadInput, outPath, "the output would overwrite the package");
    if (localizedPath && common::sameFile(outPath, *localizedPath))
        throw PackError(packBadInput, outPath, "the output would overwrite the localized package");
    msi_database::Database base = readDatabase(msiPath, Input::Base);
    std::optional<msi_database::Database> localized;
    if (localizedPath)
        localized = readDatabase(*localizedPath, Input::Localized);
    std::string text = po::writePo(msi_texts::exportTexts(base, localized ? &*localized : nullptr));
    writingTo(outPath, [&] { common::writeWholeFile(outPath, text); });
}

common::Bytes translationTransform(common::ByteView package, const std::string& msiPath,
                                   int32_t lcid, common::ByteView po, const std::string& poPath) {
    std::vector<po::Entry> entries;
    try {
        entries = po::readPo(std::string_view(reinterpret_cast<const char*>(po.data), po.size));
        return msi_transform::makeTransform(package, [&](msi_database::Database& database) {
            msi_texts::translate(database, entries, static_cast<uint32_t>(lcid));
        });
    } catch (const msi_transform::TransformError& error) {
        throw PackError(packBadInput, error.input() == Input::Base ? msiPath : poPath,
                        error.what());
    } catch (const common::FormatError& error) { // the PO file or a translation in it
        throw PackError(packBadInput, poPath, error.what());
    }
}
