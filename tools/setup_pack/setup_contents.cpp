#include "setup_pack/setup_contents.h"

#include <algorithm>

#include "base/setup_format.h"
#include "common/file_io.h"
#include "common/utf8.h"
#include "setup_pack/options.h"

namespace {

const pe::Resource* findResource(const pe::Image& setup, const char* name) {
    return setup.find(pe::resourceId(setup_format::resourceType), pe::resourceName(name),
                      setup_format::resourceLanguage);
}

// A UTF-16LE text resource up to its terminator.
std::optional<std::string> resourceText(const pe::Image& setup, const char* name) {
    const pe::Resource* resource = findResource(setup, name);
    if (!resource)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < resource->data.size; i += 2) {
        char16_t unit = common::readLe16(resource->data.data + i);
        if (unit == u'\0')
            break;
        text += unit;
    }
    return common::toUtf8(text);
}

bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

} // namespace

SetupContents readSetupContents(const pe::Image& setup) {
    SetupContents contents;
    contents.certificateSize = setup.certificateSize();
    contents.packageName = resourceText(setup, setup_format::packageNameResource);
    contents.productCode = resourceText(setup, setup_format::productCodeResource);
    contents.productName = resourceText(setup, setup_format::productNameResource);
    contents.version = resourceText(setup, setup_format::versionResource);
    contents.languages = resourceText(setup, setup_format::languagesResource);
    contents.logPath = resourceText(setup, setup_format::logPathResource);
    if (const pe::Resource* package = findResource(setup, setup_format::packageResource))
        contents.package = package->data;
    for (const pe::Resource& resource : setup.resources()) {
        if (resource.type != pe::resourceId(setup_format::resourceType) ||
            resource.language != setup_format::resourceLanguage || !resource.name.isName() ||
            resource.name.name.size() > setup_format::maxResourceNameLength)
            continue;
        std::string name(resource.name.name.begin(), resource.name.name.end());
        int32_t lcid = setup_format::transformResourceLcid(name.c_str(), name.size());
        if (lcid != 0)
            contents.transforms.push_back({lcid, resource.data});
    }
    std::sort(contents.transforms.begin(), contents.transforms.end(),
              [](const SetupTransform& a, const SetupTransform& b) { return a.lcid < b.lcid; });
    return contents;
}

std::string transformFileName(int32_t lcid) {
    char name[setup_format::transformNameCapacity];
    setup_format::transformFileName(lcid, name);
    return name;
}

std::vector<std::string> extractSetup(const SetupContents& contents, const std::string& setupPath,
                                      const std::string& folder) {
    if (!contents.package)
        throw PackError(packBadInput, setupPath, "carries no package");
    if (!contents.packageName || !plainFileName(*contents.packageName))
        throw PackError(packBadInput, setupPath,
                        std::string("its ") + setup_format::packageNameResource + " \"" +
                            contents.packageName.value_or("") + "\" is not a plain file name");
    try {
        common::createFolder(folder);
    } catch (const common::SystemError& error) {
        throw PackError(packWriteFailed, folder, error.what());
    }
    std::vector<std::pair<std::string, common::ByteView>> files = {
        {common::joinPath(folder, *contents.packageName), *contents.package}};
    for (const SetupTransform& transform : contents.transforms)
        files.emplace_back(common::joinPath(folder, transformFileName(transform.lcid)),
                           transform.bytes);
    std::vector<std::string> written;
    for (const auto& file : files) {
        try {
            common::writeWholeFile(file.first, file.second);
        } catch (const common::SystemError& error) {
            throw PackError(packWriteFailed, file.first, error.what());
        }
        written.push_back(file.first);
    }
    return written;
}
