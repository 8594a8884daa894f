#include "msi_transform/embedded.h"

#include <algorithm>
#include <map>
#include <memory>

#include "common/utf8.h"
#include "msi_database/database.h"
#include "msi_database/summary.h"
#include "msi_database/system_tables.h"

namespace msi_transform {

namespace {

using compound_file::EntryType;
using compound_file::TreeEntry;
using Input = TransformError::Input;
using msi_database::FileKind;
using msi_database::SummaryProperty;

using namespace msi_database::summary_ids;

std::unique_ptr<compound_file::Reader> open(common::ByteView bytes, Input input) {
    if (!compound_file::hasSignature(bytes))
        throw TransformError(input, "is no compound file");
    return TransformError::wrap(input, "is a broken compound file: ", [&] {
        return std::make_unique<compound_file::Reader>(bytes);
    });
}

std::vector<TreeEntry> treeOf(const compound_file::Reader& file, Input input) {
    return TransformError::wrap(
        input, "is a broken compound file: ", [&] { return compound_file::readTree(file); });
}

// The LCID a storage name spells in decimal, without a leading zero; 0 for
// any other name.
int32_t lcidOf(const std::u16string& name) {
    if (name.empty() || name.size() > 9 || name[0] == u'0')
        return 0;
    int32_t value = 0;
    for (char16_t c : name) {
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The Template ("platform;languages") with the storages' languages after
// its own.
std::string templateWith(const std::string& text, const std::vector<LanguageStorage>& storages) {
    size_t semicolon = text.find(';');
    if (semicolon == std::string::npos)
        throw TransformError(Input::Base,
                             "its summary's Template \"" + text + "\" lists no languages");
    std::string languages = text.substr(semicolon + 1);
    std::vector<std::string> listed;
    for (size_t start = 0; start <= languages.size();) {
        size_t comma = std::min(languages.find(',', start), languages.size());
        listed.push_back(languages.substr(start, comma - start));
        start = comma + 1;
    }
    for (const LanguageStorage& storage : storages) {
        std::string lcid = std::to_string(storage.lcid);
        if (std::find(listed.begin(), listed.end(), lcid) != listed.end())
            throw TransformError(Input::Base, "its summary's Template \"" + text +
                                                  "\" lists language " + lcid + " already");
        languages += (languages.empty() ? "" : ",") + lcid;
    }
    return text.substr(0, semicolon + 1) + languages;
}

common::Bytes summaryWith(const common::Bytes& stream, const std::vector<LanguageStorage>& storages,
                          const std::string& packageCode) {
    msi_database::Summary properties = TransformError::wrap(
        Input::Base, "has a broken summary: ", [&] { return msi_database::readSummary(stream); });
    const std::string* found = msi_database::summaryString(properties, pidTemplate);
    if (!found)
        throw TransformError(Input::Base, "its summary has no Template");
    properties[pidTemplate].text = templateWith(*found, storages);
    properties[pidRevision] = {SummaryProperty::String, 0, packageCode, 0};
    return msi_database::summaryStream(properties);
}

} // namespace

std::vector<TreeEntry> transformTree(common::ByteView transform) {
    std::unique_ptr<compound_file::Reader> file = open(transform, Input::Transform);
    if (msi_database::fileKind(*file) != FileKind::Transform)
        throw TransformError(Input::Transform, "is not an installer transform (wrong class id)");
    return treeOf(*file, Input::Transform);
}

common::Bytes embedTransforms(common::ByteView base, const std::vector<LanguageStorage>& storages,
                              const std::string& packageCode) {
    std::unique_ptr<compound_file::Reader> file = open(base, Input::Base);
    switch (msi_database::fileKind(*file)) {
    case FileKind::Package:
        break;
    case FileKind::Transform:
        throw TransformError(Input::Base, "is an installer transform, not a package");
    case FileKind::Patch:
        throw TransformError(Input::Base, "is a patch, not a package");
    case FileKind::Other:
        throw TransformError(Input::Base, "is not an installer database (wrong class id)");
    }
    std::vector<TreeEntry> tree = treeOf(*file, Input::Base);
    TreeEntry* summary = nullptr;
    for (TreeEntry& entry : tree) {
        if (entry.parent != 0 || &entry == &tree[0])
            continue;
        for (const char16_t* name : msi_database::signatureStreamNames)
            if (entry.name == name)
                throw TransformError(Input::Base,
                                     "is signed, and its signature would not match a package "
                                     "with transforms in it; sign the output instead");
        for (const LanguageStorage& storage : storages)
            if (compound_file::compareNames(entry.name,
                                            common::toUtf16(std::to_string(storage.lcid))) == 0)
                throw TransformError(Input::Base, "already holds an entry named \"" +
                                                      std::to_string(storage.lcid) +
                                                      "\", the name of a language's transform");
        if (entry.type == EntryType::Stream && entry.name == msi_database::summaryStreamName)
            summary = &entry;
    }
    if (!summary)
        throw TransformError(Input::Base, "has no summary information");
    summary->bytes = summaryWith(summary->bytes, storages, packageCode);

    for (const LanguageStorage& storage : storages) {
        // The transform's root becomes a storage of the package's root; its
        // entries keep their places below it.
        const size_t offset = tree.size();
        for (size_t i = 0; i < storage.tree.size(); ++i) {
            TreeEntry entry = storage.tree[i];
            if (i == 0) {
                entry.name = common::toUtf16(std::to_string(storage.lcid));
                entry.type = EntryType::Storage;
                entry.parent = 0;
            } else {
                entry.parent += offset;
            }
            tree.push_back(std::move(entry));
        }
    }
    return TransformError::wrap(Input::Base, "cannot be written with its transforms: ", [&] {
        return compound_file::writeTree(tree);
    });
}

std::vector<StoredTransform> storedTransforms(const compound_file::Reader& package) {
    static const compound_file::Guid transformClass =
        compound_file::Guid::parse("{000C1082-0000-0000-C000-000000000046}");
    std::vector<StoredTransform> found;
    for (const compound_file::Entry& entry : package.children()) {
        int32_t lcid = lcidOf(entry.name);
        if (entry.type != EntryType::Storage || lcid == 0 || entry.clsid != transformClass)
            continue;
        found.push_back({lcid, compound_file::writeTree(compound_file::readTree(package, &entry))});
    }
    std::sort(found.begin(), found.end(),
              [](const StoredTransform& a, const StoredTransform& b) { return a.lcid < b.lcid; });
    return found;
}

} // namespace msi_transform
