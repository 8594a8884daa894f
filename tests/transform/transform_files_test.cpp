// Transforms made from wixl-built packages (tests/transform/make_pairs,
// samples/build), checked and applied in memory: base + transform must be
// exactly the localized database as msi_database reads it; each kind of
// file checkTransform and makeTransform refuse names its input; a base that
// cannot take stored transforms is named.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "compound_file/compound_file.h"
#include "compound_file/tree.h"
#include "msi_database/summary.h"
#include "msi_transform/apply.h"
#include "msi_transform/embedded.h"
#include "msi_transform/generate.h"
#include "transform_reader.h"

namespace {

using namespace msi_transform;
using common::Bytes;
using Input = TransformError::Input;

const std::string inputs = TRANSFORM_FILES_DIR "/";

Bytes fileBytes(const std::string& name) {
    std::ifstream in(inputs + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Database databaseOf(const Bytes& bytes) {
    return msi_database::readDatabase(compound_file::Reader(bytes));
}

class GeneratedTransform : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(GeneratedTransform, AppliedToTheBaseGivesTheLocalizedDatabase) {
    Bytes base = fileBytes(GetParam().first), localized = fileBytes(GetParam().second);
    Bytes transform = makeTransform(base, localized);
    EXPECT_NO_THROW(checkTransform(transform, base));
    compound_file::Reader file(transform);
    EXPECT_EQ(msi_database::fileKind(file), msi_database::FileKind::Transform);
    Database applied = databaseOf(base), expected = databaseOf(localized);
    EXPECT_FALSE(transform_reader::sameDatabase(applied, expected));
    applyTransform(rootStreams(file), applied);
    EXPECT_TRUE(transform_reader::sameDatabase(applied, expected));
    EXPECT_EQ(makeTransform(base, localized), transform); // the same bytes every time
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, GeneratedTransform,
    ::testing::Values(std::make_pair("base.msi", "localized_1036.msi"),
                      std::make_pair("base.msi", "localized_1031.msi"),
                      std::make_pair("sample_1033.msi", "sample_1036.msi"),
                      std::make_pair("sample_1033.msi", "sample_1031.msi")),
    [](const ::testing::TestParamInfo<std::pair<const char*, const char*>>& info) {
        std::string name = info.param.second;
        return name.substr(0, name.find('.'));
    });

struct Outcome {
    Input input = Input::Base;
    std::string message = "no refusal";
};

template <class Call> Outcome outcome(Call call) {
    Outcome out;
    try {
        call();
    } catch (const TransformError& error) {
        out.input = error.input();
        out.message = error.what();
    }
    return out;
}

Bytes fileOfClass(const char* classId) {
    return compound_file::write(compound_file::Guid::parse(classId), {{u"x", Bytes{1}}});
}

TEST(TransformFiles, EachRefusalNamesItsInput) {
    Bytes base = fileBytes("base.msi"), localized = fileBytes("localized_1036.msi");
    Bytes text = fileBytes("not_database.msi"), transform = makeTransform(base, localized);
    Bytes truncated(transform.begin(), transform.begin() + transform.size() / 2);
    struct Case {
        Outcome got;
        Input input;
        std::string message;
    } cases[] = {
        {outcome([&] { checkTransform(localized, base); }), Input::Transform,
         "is an installer database, not a transform"},
        {outcome(
             [&] { checkTransform(fileOfClass("{000C1086-0000-0000-C000-000000000046}"), base); }),
         Input::Transform, "is a patch, not a transform"},
        {outcome(
             [&] { checkTransform(fileOfClass("{000C1083-0000-0000-C000-000000000046}"), base); }),
         Input::Transform, "is not an installer transform (wrong class id)"},
        {outcome([&] { checkTransform(text, base); }), Input::Transform,
         "is not an installer transform (no compound file)"},
        {outcome([&] { checkTransform(truncated, base); }), Input::Transform,
         "is a broken compound file: "},
        {outcome([&] { checkTransform(transform, localized); }), Input::Transform,
         "does not apply to the package: the transform adds table `LocalNotes`, which exists"},
        {outcome([&] { checkTransform(transform, text); }), Input::Base,
         "is no installer database (no compound file)"},
        {outcome([&] { makeTransform(text, localized); }), Input::Base,
         "is no installer database (no compound file)"},
        {outcome([&] { makeTransform(base, transform); }), Input::Localized,
         "is no installer database (wrong class id)"},
        {outcome([&] { makeTransform(base, fileBytes("other_code.msi")); }), Input::Localized,
         "the localized package has another ProductCode"},
        {outcome([&] { makeTransform(base, fileBytes("polish_ae.msi")); }), Input::Localized,
         "the code page of the transform cannot hold the text"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.message.substr(0, c.message.size()), c.message);
        EXPECT_EQ(c.got.input, c.input) << c.message;
    }
}

// A summary text its code page cannot hold (here `®` from a tool that wrote
// it in 1252 under code page 936) is written with `?`, not refused.
TEST(TransformFiles, SummaryTextOutsideItsCodePageBecomesQuestionMarks) {
    Bytes base = fileBytes("base.msi"), localized = fileBytes("localized_1036.msi");
    compound_file::Reader package(localized);
    const std::u16string summaryName = u"\x0005SummaryInformation";
    std::vector<compound_file::StreamData> streams;
    std::map<uint32_t, msi_database::SummaryProperty> summary;
    for (const Stream& stream : rootStreams(package)) {
        Bytes bytes = stream.bytes;
        if (stream.name == summaryName) {
            summary = msi_database::readSummary(bytes);
            summary[1] = {msi_database::SummaryProperty::I2, 936, "", 0};
            summary[18] = {msi_database::SummaryProperty::String, 0, "Packager\xAE 3", 0};
            bytes = msi_database::summaryStream(summary);
        }
        streams.push_back({stream.name, bytes});
    }
    Bytes chinese = compound_file::write(package.rootClass(), streams);

    Bytes transformBytes = makeTransform(base, chinese);
    compound_file::Reader transform(transformBytes);
    auto made = msi_database::readSummary(transform.read(*transform.find(summaryName)));
    EXPECT_EQ(made[1].number & 0xFFFF, 936);
    EXPECT_EQ(made[18].text, "Packager? 3");
    EXPECT_EQ(made[3].text, summary[3].text); // the localized package's subject
    EXPECT_EQ(made[8].text, summary[7].text); // and its template
}

// `package` with its tree changed by `change`.
template <class Change> Bytes changed(const Bytes& package, Change change) {
    std::vector<compound_file::TreeEntry> tree =
        compound_file::readTree(compound_file::Reader(package));
    change(tree);
    return compound_file::writeTree(tree);
}

// What the command-line test of --out-msi cannot make: a signed base, and
// one whose Template lists a language already.
TEST(TransformFiles, StoredInABaseThatCannotTakeThem) {
    Bytes base = fileBytes("base.msi");
    const std::vector<LanguageStorage> storages = {
        {1036, transformTree(makeTransform(base, fileBytes("localized_1036.msi")))},
        {1031, transformTree(makeTransform(base, fileBytes("localized_1031.msi")))}};
    const std::string code = "{0D1E2F30-4152-8364-9576-A8B9CADBECFD}";
    EXPECT_NO_THROW(embedTransforms(base, storages, code));
    const std::u16string summaryName = u"\x0005SummaryInformation";
    const std::u16string signature = std::u16string(1, u'\x05') + u"DigitalSignature";
    auto addStream = [&](const std::u16string& name) {
        return changed(base, [&](std::vector<compound_file::TreeEntry>& tree) {
            tree.push_back({name, compound_file::EntryType::Stream, {}, {1, 2, 3}, 0});
        });
    };
    Bytes listed = changed(base, [&](std::vector<compound_file::TreeEntry>& tree) {
        for (compound_file::TreeEntry& entry : tree)
            if (entry.name == summaryName) {
                auto summary = msi_database::readSummary(entry.bytes);
                summary[7].text = "Intel;1033,1031";
                entry.bytes = msi_database::summaryStream(summary);
            }
    });
    struct Case {
        Outcome got;
        Input input;
        std::string message;
    } cases[] = {
        {outcome([&] { embedTransforms(addStream(u"1036"), {storages[0]}, code); }), Input::Base,
         "already holds an entry named \"1036\""},
        {outcome([&] { embedTransforms(addStream(signature), storages, code); }), Input::Base,
         "is signed"},
        {outcome([&] { embedTransforms(listed, storages, code); }), Input::Base,
         "its summary's Template \"Intel;1033,1031\" lists language 1031 already"},
        {outcome([&] { transformTree(base); }), Input::Transform,
         "is not an installer transform (wrong class id)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.message.substr(0, c.message.size()), c.message);
        EXPECT_EQ(c.got.input, c.input) << c.message;
    }
}

} // namespace
