#include "setup_pack/package_info.h"

#include "base/setup_format.h"
#include "common/utf8.h"
#include "compound_file/compound_file.h"
#include "msi_database/database.h"
#include "msi_database/stream_name.h"
#include "setup_pack/pack_error.h"

namespace {

// Refusals that say what the file is instead.
class WrongKind : public common::FormatError {
  public:
    using common::FormatError::FormatError;
};

PackageInfo readProperties(common::ByteView package) {
    compound_file::Reader file(package, msi_database::streamNameText);
    switch (msi_database::fileKind(file)) {
    case msi_database::FileKind::Package:
        break;
    case msi_database::FileKind::Transform:
        throw WrongKind("is an installer transform, not a package");
    case msi_database::FileKind::Patch:
        throw WrongKind("is a patch, not a package");
    case msi_database::FileKind::Other:
        throw WrongKind("is not an installer database (wrong class id)");
    }
    // Only the Property table is read here, but a setup whose package lacks
    // a piece of any stream can never install.
    file.checkStreams();
    msi_database::Database database = msi_database::readTables(file, {u"Property"});
    if (database.tables.empty())
        throw WrongKind("the package has no Property table");
    PackageInfo info;
    const std::pair<const char16_t*, std::string*> wanted[] = {
        {u"ProductCode", &info.productCode},
        {u"ProductName", &info.productName},
        {u"ProductVersion", &info.productVersion}};
    for (const auto& item : wanted) {
        *item.second = common::toUtf8(msi_database::property(database, item.first));
        if (item.second->empty())
            throw WrongKind("the package has no " + common::toUtf8(item.first) + " property");
    }
    return info;
}

} // namespace

std::unique_ptr<common::MappedFile> mapInput(const std::string& path) {
    static const std::string limit = std::to_string(setup_format::maxPayloadBytes >> 30) +
                                     " GiB, more than a 32-bit setup can map";
    return mapInput(path, setup_format::maxPayloadBytes, limit.c_str());
}

std::unique_ptr<common::MappedFile> mapInput(const std::string& path, uint64_t limit,
                                             const char* limitText) {
    try {
        return std::make_unique<common::MappedFile>(path, limit);
    } catch (const common::FileTooLarge& error) {
        throw PackError(packBadInput, path,
                        std::string("is larger than ") + limitText + " (" +
                            std::to_string(error.size()) + " bytes)");
    } catch (const common::SystemError& error) {
        throw PackError(packBadInput, path, error.what());
    }
}

PackageInfo readPackageInfo(common::ByteView package) {
    if (!compound_file::hasSignature(package))
        throw common::FormatError("is not an installer database (no compound file signature)");
    try {
        return readProperties(package);
    } catch (const WrongKind&) {
        throw;
    } catch (const common::FormatError& error) {
        throw common::FormatError(std::string("is a broken installer database: ") + error.what());
    }
}
