#include "msi_transform/generate.h"

#include <map>
#include <memory>
#include <optional>

#include "compound_file/compound_file.h"
#include "msi_database/code_page.h"
#include "msi_database/stream_name.h"
#include "msi_database/summary.h"
#include "msi_database/system_tables.h"
#include "msi_transform/apply.h"
#include "msi_transform/transform_streams.h"

namespace msi_transform {

namespace {

using Input = TransformError::Input;
using msi_database::Summary;
using msi_database::SummaryProperty;
using namespace msi_database::summary_ids;

// The compound file in `bytes`; `what` names what it should have been.
std::unique_ptr<compound_file::Reader> openFile(common::ByteView bytes, Input input,
                                                const std::string& what) {
    if (!compound_file::hasSignature(bytes))
        throw TransformError(input, what + " (no compound file)");
    return TransformError::wrap(input, "is a broken compound file: ", [&] {
        auto file = std::make_unique<compound_file::Reader>(bytes, msi_database::streamNameText);
        // Streams that are not read must be whole too: a package or transform
        // with a piece missing never installs.
        file->checkStreams();
        return file;
    });
}

struct Package {
    Database database;
    Summary summary;
};

Package readPackage(common::ByteView bytes, Input input) {
    std::unique_ptr<compound_file::Reader> file =
        openFile(bytes, input, "is no installer database");
    if (msi_database::fileKind(*file) != msi_database::FileKind::Package)
        throw TransformError(input, "is no installer database (wrong class id)");
    Package package;
    package.database = TransformError::wrap(input, "is a broken installer database: ", [&] {
        return msi_database::readDatabase(*file);
    });
    TransformError::wrap(input, "has a broken summary: ", [&] {
        if (std::optional<compound_file::Entry> entry = file->find(msi_database::summaryStreamName))
            package.summary = msi_database::readSummary(file->read(*entry));
    });
    return package;
}

uint32_t lcidOf(const std::u16string& digits) {
    uint32_t value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9' || value > 0xFFFFFF)
            return 0;
        value = value * 10 + static_cast<uint32_t>(c - u'0');
    }
    return value;
}

const SummaryProperty* find(const Summary& summary, uint32_t pid) {
    auto found = summary.find(pid);
    return found == summary.end() ? nullptr : &found->second;
}

uint32_t summaryCodePage(const Summary& summary) {
    const SummaryProperty* codePage = find(summary, pidCodePage);
    return codePage ? static_cast<uint32_t>(codePage->number) & 0xFFFF : 0;
}

// A text property as UTF-16; empty when absent. Bytes that are no text of
// the set's code page are read as 1252, which takes any byte.
std::u16string summaryText(const Summary& summary, uint32_t pid) {
    const std::string* bytes = msi_database::summaryString(summary, pid);
    std::u16string text;
    if (bytes && !msi_database::decodeText(summaryCodePage(summary), *bytes, text))
        msi_database::decodeText(1252, *bytes, text);
    return text;
}

// The summary of the transform, from both packages' summaries. A neutral
// summary that needs a code page gets `fallbackCodePage`.
common::Bytes transformSummary(const Package& base, const Package& localized,
                               uint32_t fallbackCodePage) {
    const Summary& loc = localized.summary;
    Summary properties;
    const SummaryProperty* locCodePage = find(loc, pidCodePage);
    if (locCodePage)
        properties[pidCodePage] = {SummaryProperty::I2, locCodePage->number, "", 0};
    uint32_t codePage = summaryCodePage(loc);
    if (codePage == 0 && fallbackCodePage != 0) {
        static const uint32_t texts[] = {pidTitle,    pidSubject,  pidAuthor,      pidKeywords,
                                         pidComments, pidTemplate, pidLastSavedBy, pidAppName};
        bool wide = false;
        for (uint32_t pid : texts)
            for (const Summary* summary : {&base.summary, &loc})
                for (char16_t c : summaryText(*summary, pid))
                    wide = wide || c >= 0x80;
        if (wide) {
            codePage = fallbackCodePage;
            properties[pidCodePage] = {SummaryProperty::I2, static_cast<int32_t>(codePage), "", 0};
        }
    }
    auto putText = [&](uint32_t pid, const std::u16string& text) {
        properties[pid] = {SummaryProperty::String, 0,
                           msi_database::encodeTextReplacing(codePage, text), 0};
    };
    static const uint32_t copied[] = {pidTitle,    pidSubject,  pidAuthor,
                                      pidKeywords, pidComments, pidAppName};
    for (uint32_t pid : copied) {
        if (msi_database::summaryString(loc, pid))
            putText(pid, summaryText(loc, pid));
    }
    putText(pidTemplate, summaryText(base.summary, pidTemplate));
    putText(pidLastSavedBy, summaryText(loc, pidTemplate));
    const Database &baseData = base.database, &locData = localized.database;
    putText(pidRevision,
            property(baseData, u"ProductCode") + property(baseData, u"ProductVersion") + u";" +
                property(locData, u"ProductCode") + property(locData, u"ProductVersion") + u";" +
                property(locData, u"UpgradeCode"));
    const SummaryProperty* created = find(loc, pidCreated);
    if (created && created->kind == SummaryProperty::FileTime)
        properties[pidCreated] = *created;
    const SummaryProperty* schema = find(loc, pidPageCount);
    properties[pidPageCount] = {SummaryProperty::I4, schema ? schema->number : 200, "", 0};
    // No validation, no error suppressed.
    properties[pidCharCount] = {SummaryProperty::I4, 0, "", 0};
    properties[pidSecurity] = {SummaryProperty::I4, 1, "", 0};
    return msi_database::summaryStream(properties);
}

common::Bytes transformBetween(const Package& base, const Package& localized) {
    uint32_t fallbackCodePage =
        msi_database::ansiCodePage(lcidOf(property(localized.database, u"ProductLanguage")));
    std::vector<compound_file::StreamData> streams;
    try {
        std::vector<TableChange> changes = diffDatabases(base.database, localized.database);
        uint32_t codePage = localized.database.codePage;
        if (codePage == 0 && needsCodePage(changes))
            codePage = fallbackCodePage;
        std::vector<Stream> tables = transformStreams(
            changes, codePage, [codePage](const std::u16string& text, std::string& bytes) {
                return msi_database::encodeText(codePage, text, bytes);
            });
        streams.push_back(
            {msi_database::summaryStreamName, transformSummary(base, localized, fallbackCodePage)});
        for (Stream& stream : tables)
            streams.push_back({std::move(stream.name), std::move(stream.bytes)});
    } catch (const Refusal& refusal) {
        throw TransformError(Input::Localized, refusal.what());
    }
    static const compound_file::Guid transformClass =
        compound_file::Guid::parse("{000C1082-0000-0000-C000-000000000046}");
    return TransformError::wrap(Input::Localized, "cannot be written as a transform: ", [&] {
        return compound_file::write(transformClass, streams);
    });
}

} // namespace

common::Bytes makeTransform(common::ByteView base, common::ByteView localized) {
    return transformBetween(readPackage(base, Input::Base),
                            readPackage(localized, Input::Localized));
}

common::Bytes makeTransform(common::ByteView baseBytes,
                            const std::function<void(msi_database::Database&)>& localize) {
    Package base = readPackage(baseBytes, Input::Base);
    Package localized = base;
    localize(localized.database);
    return transformBetween(base, localized);
}

msi_database::Database readPackageDatabase(common::ByteView bytes, TransformError::Input input) {
    return readPackage(bytes, input).database;
}

void checkTransform(common::ByteView transform, common::ByteView base) {
    std::unique_ptr<compound_file::Reader> file =
        openFile(transform, Input::Transform, "is not an installer transform");
    switch (msi_database::fileKind(*file)) {
    case msi_database::FileKind::Transform:
        break;
    case msi_database::FileKind::Package:
        throw TransformError(Input::Transform, "is an installer database, not a transform");
    case msi_database::FileKind::Patch:
        throw TransformError(Input::Transform, "is a patch, not a transform");
    default:
        throw TransformError(Input::Transform, "is not an installer transform (wrong class id)");
    }
    std::vector<Stream> streams = TransformError::wrap(
        Input::Transform, "is a broken compound file: ", [&] { return rootStreams(*file); });
    Database database = readPackage(base, Input::Base).database;
    TransformError::wrap(Input::Transform, "does not apply to the package: ", [&] {
        applyTransform(streams, database);
    });
}

} // namespace msi_transform
