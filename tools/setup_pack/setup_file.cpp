#include "setup_pack/setup_file.h"

#include "base/setup_format.h"
#include "common/file_io.h"
#include "common/utf8.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_writer.h"
#include "setup_pack/options.h"

namespace {

// True when the manifest's <assemblyIdentity> names the setup's assembly.
bool manifestNamesSetup(const pe::Image& stub) {
    const std::string name = std::string(" name=\"") + setup_format::manifestAssemblyName + "\"";
    for (const pe::Resource& resource : stub.resources()) {
        if (resource.type != pe::resourceId(setup_format::manifestType) ||
            resource.name != pe::resourceId(setup_format::manifestId))
            continue;
        std::string manifest(reinterpret_cast<const char*>(resource.data.data), resource.data.size);
        size_t identity = manifest.find("<assemblyIdentity");
        size_t end = manifest.find('>', identity);
        if (identity != std::string::npos && end != std::string::npos &&
            manifest.substr(identity, end - identity).find(name) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

common::Bytes wideTextResource(const std::string& text) {
    std::u16string wide = common::toUtf16(text);
    wide.push_back(u'\0');
    common::Bytes bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t unit : wide)
        common::appendLe16(bytes, unit);
    return bytes;
}

std::string defaultStubPath(const std::string& name) {
    const std::string folder = common::programFolder();
    const std::string beside = folder + name;
    const std::string installed = common::joinPath(
        folder, std::string("..") + common::pathSeparator + "share" + common::pathSeparator +
                    "setup-pack" + common::pathSeparator + name);
    return !common::isFile(beside) && common::isFile(installed) ? installed : beside;
}

pe::Image readProgram(common::ByteView bytes, const std::string& path) {
    try {
        return pe::Image(bytes);
    } catch (const pe::NotAProgram&) {
        throw PackError(packBadInput, path, "is not a Windows program (no PE headers)");
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, path,
                        std::string("is a broken Windows program: ") + error.what());
    }
}

void checkStub(const pe::Image& stub, const std::string& path) {
    bool hasDialog = stub.find(pe::resourceId(setup_format::dialogType),
                               pe::resourceId(setup_format::setupDialogId),
                               setup_format::resourceLanguage) != nullptr;
    if (!hasDialog || !manifestNamesSetup(stub))
        throw PackError(packBadInput, path,
                        "is not the setup stub (no language dialog or \"Setup\" manifest)");
    if (stub.find(pe::resourceId(setup_format::resourceType),
                  pe::resourceName(setup_format::packageResource), setup_format::resourceLanguage))
        throw PackError(packBadInput, path,
                        "already carries a package; give the empty stub setup.exe");
    if (stub.certificateSize() != 0)
        throw PackError(packBadInput, path,
                        "is signed; packing would break its signature: give the unsigned stub "
                        "and sign the packed setup");
}

void writeSetup(const pe::Image& stub, const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources,
                const std::vector<const common::MappedFile*>& sources) {
    std::vector<pe::ImageWriter::Piece> pieces;
    try {
        pe::ImageWriter writer(stub);
        for (const PackResource& resource : resources)
            writer.setResource(pe::resourceId(setup_format::resourceType),
                               pe::resourceName(resource.name.c_str()),
                               setup_format::resourceLanguage, resource.data);
        pieces = writer.buildWithoutChecksum();
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, stubPath, std::string("cannot be filled: ") + error.what());
    }
    std::vector<common::ByteView> parts;
    for (const pe::ImageWriter::Piece& piece : pieces)
        parts.emplace_back(piece.data(), piece.size());
    pe::PeLayout layout;
    pe::readPeLayout(parts.front().data, parts.front().size, layout);
    try {
        common::OutputFile out(outPath);
        // The checksum is summed on a second thread while the system copies
        // the package: the setup takes the time of one pass over it.
        uint32_t checksum = 0;
        common::runAlongside(
            [&] { checksum = pe::peChecksum(parts.data(), parts.size(), layout.checksumOffset); },
            [&] {
                for (size_t i = 0; i < pieces.size(); ++i) {
                    const common::MappedFile* source = nullptr;
                    for (const common::MappedFile* file : sources)
                        if (pieces[i].isView && parts[i].data >= file->bytes().begin() &&
                            parts[i].end() <= file->bytes().end())
                            source = file;
                    if (source)
                        out.copy(*source, parts[i]);
                    else
                        out.write(parts[i]);
                }
            });
        uint8_t field[4];
        common::putLe32(field, checksum);
        out.writeAt(layout.checksumOffset, common::ByteView(field, sizeof field));
        out.commit();
    } catch (const common::SystemError& error) {
        throw PackError(packWriteFailed, outPath, error.what());
    }
}
