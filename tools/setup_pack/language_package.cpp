#include "setup_pack/language_package.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "common/ascii.h"
#include "common/file_io.h"
#include "compound_file/compound_file.h"
#include "msi_database/summary.h"
#include "msi_database/system_tables.h"
#include "msi_transform/embedded.h"
#include "setup_pack/language_transforms.h"
#include "setup_pack/package_info.h"
#include "setup_pack/sha256.h"

namespace {

using common::Output;

// A setup or package larger than this is none of ours.
const uint64_t maxFileBytes = uint64_t(0xFFFFFFFF);

void checkOverwrites(const PackCommand& options) {
    const std::string& out = *options.outMsiPath;
    std::vector<std::pair<std::string, const char*>> inputs = {{options.msiPath, "the package"}};
    for (const TransformInput& transform : options.transforms)
        inputs.emplace_back(transform.path,
                            transform.source == TransformInput::Localized ? "a localized package"
                            : transform.source == TransformInput::Translation ? "a translation"
                                                                              : "a transform");
    if (options.stubPath)
        inputs.emplace_back(*options.stubPath, "the stub");
    for (const auto& input : inputs)
        if (common::sameFile(out, input.first))
            throw PackError(packBadInput, out,
                            std::string("the output would overwrite ") + input.second);
    if (!options.outPath.empty() && (common::fullPath(out) == common::fullPath(options.outPath) ||
                                     common::sameFile(out, options.outPath)))
        throw PackError(packBadInput, out, "the package would overwrite the setup of --out");
}

std::optional<std::string> summaryText(const compound_file::Reader& file, uint32_t pid) {
    std::optional<compound_file::Entry> entry = file.find(msi_database::summaryStreamName);
    if (!entry)
        return std::nullopt;
    const msi_database::Summary properties = msi_database::readSummary(file.read(*entry));
    const std::string* text = msi_database::summaryString(properties, pid);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::string lcidFileName(int32_t lcid) {
    return std::to_string(lcid) + ".mst";
}

struct Opened {
    std::unique_ptr<common::MappedFile> file;
    std::unique_ptr<compound_file::Reader> reader;
    PackageInfo info;
    std::vector<msi_transform::StoredTransform> transforms;
};

Opened openPackage(const std::string& path) {
    Opened opened;
    opened.file = mapInput(path, maxFileBytes, "4 GiB");
    try {
        opened.info = readPackageInfo(opened.file->bytes());
        opened.reader = std::make_unique<compound_file::Reader>(opened.file->bytes());
        opened.transforms = msi_transform::storedTransforms(*opened.reader);
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, path, error.what());
    }
    return opened;
}

// The package code of makeLanguagePackage, for `base` and its transforms.
std::string
derivedPackageCode(common::ByteView base,
                   const std::vector<std::pair<int32_t, common::ByteView>>& transforms) {
    std::string inputs = "setup-pack package with transforms\n" + sha256Hex(base.data, base.size);
    for (const auto& transform : transforms)
        inputs += "\n" + std::to_string(transform.first) + " " +
                  sha256Hex(transform.second.data, transform.second.size);
    std::string digits =
        sha256Hex(reinterpret_cast<const unsigned char*>(inputs.data()), inputs.size())
            .substr(0, 32);
    std::transform(digits.begin(), digits.end(), digits.begin(), common::upperAscii<char>);
    static const char hex[] = "0123456789ABCDEF";
    digits[12] = '8'; // version 8: a name-based GUID of our own hash
    digits[16] = hex[8 | (common::hexDigit(digits[16]) & 3)]; // the variant of RFC 9562
    return "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) +
           "-" + digits.substr(16, 4) + "-" + digits.substr(20) + "}";
}

} // namespace

LanguagePackage makeLanguagePackage(const PackCommand& options) {
    checkOverwrites(options);
    std::unique_ptr<common::MappedFile> package = mapInput(options.msiPath);
    try {
        readPackageInfo(package->bytes());
    } catch (const common::FormatError& error) {
        throw PackError(packBadInput, options.msiPath, error.what());
    }
    std::vector<LanguageTransform> transforms;
    std::vector<msi_transform::LanguageStorage> storages;
    std::vector<std::pair<int32_t, common::ByteView>> hashed;
    transforms.reserve(options.transforms.size());
    for (const TransformInput& input : options.transforms) {
        transforms.push_back(languageTransform(input, package->bytes(), options.msiPath));
        try {
            storages.push_back(
                {input.lcid, msi_transform::transformTree(transforms.back().bytes())});
        } catch (const msi_transform::TransformError& error) {
            throw PackError(packBadInput, input.path, error.what());
        }
        hashed.emplace_back(input.lcid, transforms.back().bytes());
    }
    LanguagePackage made;
    const std::string packageCode = derivedPackageCode(package->bytes(), hashed);
    try {
        made.bytes = msi_transform::embedTransforms(package->bytes(), storages, packageCode);
    } catch (const msi_transform::TransformError& error) {
        throw PackError(packBadInput, options.msiPath, error.what());
    }
    std::string languages;
    for (const TransformInput& input : options.transforms)
        languages += (languages.empty() ? "" : ", ") + std::to_string(input.lcid);
    made.summary = "transforms " + (languages.empty() ? std::string("none") : languages) +
                   " stored, package code " + packageCode;
    return made;
}

bool isCompoundFile(const std::string& path) {
    std::unique_ptr<common::MappedFile> file = mapInput(path, maxFileBytes, "4 GiB");
    return compound_file::hasSignature(file->bytes());
}

int inspectPackage(const std::string& path) {
    Opened package = openPackage(path);
    auto text = [&](uint32_t pid) {
        try {
            return summaryText(*package.reader, pid).value_or("(none)");
        } catch (const common::FormatError& error) {
            throw PackError(packBadInput, path, std::string("its summary: ") + error.what());
        }
    };
    std::string report = "product name: " + package.info.productName + "\n" +
                         "product code: " + package.info.productCode + "\n" +
                         "version: " + package.info.productVersion + "\n" +
                         "package code: " + text(msi_database::pidRevision) + "\n" +
                         "template: " + text(msi_database::pidTemplate) + "\n";
    for (const msi_transform::StoredTransform& transform : package.transforms)
        report += "language " + std::to_string(transform.lcid) + ": " +
                  lcidFileName(transform.lcid) + ", " + std::to_string(transform.file.size()) +
                  " bytes, SHA-256 " + sha256Hex(transform.file.data(), transform.file.size()) +
                  "\n";
    if (package.transforms.empty())
        report += "languages: no transform stored\n";
    common::print(Output::Standard, report);
    int failures = 0;
    for (const msi_transform::StoredTransform& transform : package.transforms) {
        try {
            msi_transform::checkTransform(transform.file, package.file->bytes());
        } catch (const msi_transform::TransformError& error) {
            ++failures;
            common::print(Output::Error, "setup-pack: " + path + ": the transform of language " +
                                             std::to_string(transform.lcid) + " " + error.what() +
                                             "\n");
        }
    }
    return failures ? packBadInput : packSuccess;
}

int extractPackage(const std::string& path, const std::string& folder) {
    Opened package = openPackage(path);
    if (package.transforms.empty())
        throw PackError(packBadInput, path, "carries no language transforms");
    writingTo(folder, [&] { common::createFolder(folder); });
    for (const msi_transform::StoredTransform& transform : package.transforms) {
        std::string file = common::joinPath(folder, lcidFileName(transform.lcid));
        writingTo(file, [&] { common::writeWholeFile(file, transform.file); });
        common::print(Output::Standard, "setup-pack: wrote " + file + "\n");
    }
    return packSuccess;
}
