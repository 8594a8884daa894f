#include "setup_pack/setup_contents.h"

#include <algorithm>
#include <cstdio>

#include "base/setup_format.h"
#include "common/ascii.h"
#include "common/file_io.h"
#include "common/utf8.h"
#include "setup_pack/pack_error.h"
#include "setup_pack/package_info.h"
#include "setup_pack/setup_file.h"

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

// The setup's resources (RT_RCDATA, language 1033) as the setup reads them.
SetupContents readSetupContents(const pe::Image& setup) {
    SetupContents contents;
    contents.certificateSize = setup.certificateSize();
    contents.machine = setup.headers().machine;
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

} // namespace

std::string architectureName(uint16_t machine) {
    if (machine == pe::machineI386)
        return "x86";
    if (machine == pe::machineAmd64)
        return "x64";
    char number[sizeof "machine 0xFFFF"];
    std::snprintf(number, sizeof number, "machine 0x%04X", static_cast<unsigned>(machine));
    return number;
}

bool sameFileName(const std::string& a, const std::string& b) {
    return common::equalIgnoringAsciiCase(a, b);
}

SetupFile readSetupFile(const std::string& path) {
    SetupFile setup;
    // A setup holds one payload of at most 1 GiB and its transforms; no PE
    // image can pass 4 GiB.
    setup.file = mapInput(path, uint64_t(0xFFFFFFFF), "4 GiB, more than any setup");
    setup.contents = readSetupContents(readProgram(setup.file->bytes(), path));
    return setup;
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
    std::vector<std::pair<std::string, common::ByteView>> names = {
        {*contents.packageName, *contents.package}};
    for (const SetupTransform& transform : contents.transforms)
        names.emplace_back(transformFileName(transform.lcid), transform.bytes);
    // One file must not overwrite another (a PACKAGENAME of "1036.MST").
    for (size_t i = 0; i < names.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (sameFileName(names[i].first, names[j].first))
                throw PackError(packBadInput, setupPath,
                                "carries two files named \"" + names[i].first + "\"");
    writingTo(folder, [&] { common::createFolder(folder); });
    std::vector<std::string> written;
    for (const auto& name : names) {
        const std::string path = common::joinPath(folder, name.first);
        writingTo(path, [&] { common::writeWholeFile(path, name.second); });
        written.push_back(path);
    }
    return written;
}
