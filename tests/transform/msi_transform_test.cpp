// The diff and the transform's streams, checked against fixed byte vectors
// and by applying the transform onto the base; what the strict application
// refuses.
#include <gtest/gtest.h>

#include "common/utf8.h"
#include "msi_database/stream_name.h"
#include "msi_transform/apply.h"
#include "transform_reader.h"

namespace {

using namespace msi_transform;
using namespace msi_database;
using common::Bytes;
using common::toUtf8;

Cell str(const std::u16string& text) {
    Cell cell;
    cell.setText(text);
    return cell;
}
Cell num(int32_t value) {
    Cell cell;
    cell.kind = Cell::Integer;
    cell.number = value;
    return cell;
}
Cell bin(const std::string& bytes) {
    Cell cell;
    cell.kind = Cell::Binary;
    cell.data.assign(bytes.begin(), bytes.end());
    return cell;
}
const Cell null;

const int keyName = typeKey | typeString | 0x0400 | typeValid | 72;  // s72 key
const int text0 = typeString | 0x0400 | typeValid | typeLocalizable; // l0
const int nullableText = text0 | typeNullable;
const int short2 = 0x0400 | typeValid | 2 | typeNullable; // I2
const int long4 = typeValid | 4 | typeNullable;           // I4
const int binary = typeString | typeValid | typeNullable; // V0

Table propertyTable(std::vector<std::pair<std::u16string, std::u16string>> values) {
    Table table{u"Property", {{u"Property", keyName}, {u"Value", text0}}, {}};
    for (auto& value : values)
        table.rows.push_back({str(value.first), str(value.second)});
    return table;
}

const std::pair<std::u16string, std::u16string> productCode{
    u"ProductCode", u"{3F1B6C2E-8D4A-4E7B-9C05-1A2B3C4D5E6F}"};

std::vector<Stream> streamsOf(const Database& base, const Database& localized,
                              uint32_t codePage = 1252) {
    return transformStreams(diffDatabases(base, localized), codePage, transform_reader::latin1);
}

const Bytes& streamNamed(const std::vector<Stream>& streams, const std::u16string& name,
                         bool table = true) {
    const Bytes* found = transform_reader::findStream(streams, name, table);
    static const Bytes none;
    EXPECT_TRUE(found) << toUtf8(name);
    return found ? *found : none;
}

TEST(TransformDiff, RowsAreUpdatedInsertedAndDeletedWithExactMasks) {
    Database base, localized;
    base.tables.push_back(propertyTable({productCode, {u"A", u"1"}, {u"B", u"2"}, {u"C", u"3"}}));
    localized.tables.push_back(
        propertyTable({productCode, {u"A", u"1"}, {u"B", u"zwei"}, {u"D", u"4"}}));
    std::vector<Stream> streams = streamsOf(base, localized);
    // Pool: B(1) zwei(2) D(3) 4(4) C(5); B is referenced once, by the update.
    EXPECT_EQ(
        streamNamed(streams, u"_StringPool"),
        (Bytes{0xE4, 0x04, 0, 0, 1, 0, 1, 0, 4, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(streamNamed(streams, u"_StringData"),
              (Bytes{'B', 'z', 'w', 'e', 'i', 'D', '4', 'C'}));
    EXPECT_EQ(streamNamed(streams, u"Property"), (Bytes{0x02, 0x00, 1, 0, 2, 0, // update
                                                        0x01, 0x02, 3, 0, 4, 0, // insert
                                                        0x00, 0x00, 5, 0}));    // delete
    // Only the changed table and the pool: no _Tables, _Columns or summary here.
    EXPECT_EQ(streams.size(), 3u);
}

TEST(TransformDiff, UpdatesCarryOnlyTheChangedColumns) {
    Table settings{
        u"Settings",
        {{u"Setting", keyName}, {u"Small", short2}, {u"Large", long4}, {u"Note", nullableText}},
        {}};
    Database base, localized;
    settings.rows = {{str(u"W"), num(10), num(100000), str(u"wide")}};
    base.tables.push_back(settings);
    settings.rows = {{str(u"W"), num(10), num(-7), null}};
    localized.tables.push_back(settings);
    std::vector<Stream> streams = streamsOf(base, localized);
    // Mask: bit 2 (Large) and bit 3 (Note); the key is written, Small is not.
    EXPECT_EQ(streamNamed(streams, u"Settings"),
              (Bytes{0x0C, 0x00, 1, 0, 0xF9, 0xFF, 0xFF, 0x7F, 0, 0}));
}

TEST(TransformDiff, BaseAndTransformGiveTheLocalizedDatabase) {
    Database base, localized;
    base.tables.push_back(propertyTable({productCode, {u"ProductName", u"Test"}, {u"Gone", u"x"}}));
    localized.tables.push_back(
        propertyTable({productCode, {u"ProductName", u"Test \u00E9t\u00E9"}, {u"New", u"y"}}));
    Table settings{
        u"Settings",
        {{u"Setting", keyName}, {u"Small", short2}, {u"Large", long4}, {u"Note", nullableText}},
        {}};
    settings.rows = {{str(u"A"), num(1), num(70000), str(u"x")}, {str(u"B"), null, null, null}};
    base.tables.push_back(settings);
    settings.rows = {{str(u"A"), num(-3), null, null},
                     {str(u"B"), num(32767), num(-70000), str(u"y")}};
    localized.tables.push_back(settings);
    Table pictures{u"Binary", {{u"Name", keyName}, {u"Data", binary}}, {}};
    pictures.rows = {{str(u"Logo"), bin("old")}, {str(u"Same"), bin("same")}};
    base.tables.push_back(pictures);
    pictures.rows = {{str(u"Logo"), bin(std::string(70000, 'n'))},
                     {str(u"Same"), bin("same")},
                     {str(u"Extra"), bin("")}};
    localized.tables.push_back(pictures);
    Table notes{u"Notes", {{u"Note", keyName}, {u"Text", nullableText}, {u"Rank", short2}}, {}};
    notes.rows = {{str(u"N1"), str(u"premi\u00E8re"), num(1)}, {str(u"N2"), null, num(2)}};
    localized.tables.push_back(notes);

    std::vector<Stream> streams = streamsOf(base, localized);
    Database applied = base;
    applyTransform(streams, applied);
    EXPECT_TRUE(transform_reader::sameDatabase(applied, localized));
    EXPECT_FALSE(transform_reader::sameDatabase(base, localized));
    transform_reader::Pool pool;
    ASSERT_TRUE(transform_reader::readPool(streams, pool));
    EXPECT_EQ(pool.codePage, 1252u);
    // Binary cells written: the changed Logo and the new Extra, not Same.
    EXPECT_EQ(streamNamed(streams, u"Binary.Logo", false).size(), 70000u);
    EXPECT_TRUE(transform_reader::findStream(streams, u"Binary.Extra", false));
    EXPECT_FALSE(transform_reader::findStream(streams, u"Binary.Same", false));
    // The new table is declared: one _Tables row, three _Columns rows.
    EXPECT_EQ(streamNamed(streams, u"_Tables").size(), 4u);
    EXPECT_EQ(streamNamed(streams, u"_Columns").size(), 3u * 10);
    // Every count is the number of references in the rows.
    std::map<std::u16string, uint32_t> seen;
    for (size_t id = 1; id < pool.strings.size(); ++id)
        seen[pool.strings[id]] = pool.counts[id];
    EXPECT_EQ(seen[u"Notes"], 4u); // _Tables once, _Columns three times
    EXPECT_EQ(seen[u"A"], 1u);
    EXPECT_EQ(seen.count(u"Same"), 0u);
}

TEST(TransformDiff, RefusesWhatALanguageTransformCannotCarry) {
    auto refusal = [](const Database& base, const Database& localized) -> std::string {
        try {
            streamsOf(base, localized);
        } catch (const Refusal& refusal) {
            return refusal.what();
        }
        return "no refusal";
    };
    Database base;
    base.tables.push_back(
        propertyTable({productCode, {u"UpgradeCode", u"{U}"}, {u"ProductVersion", u"1.0"}}));
    const char16_t* properties[] = {u"ProductCode", u"UpgradeCode", u"ProductVersion"};
    for (const char16_t* name : properties) {
        Database other = base;
        for (auto& row : other.tables[0].rows)
            if (row[0].text() == name)
                row[1] = str(u"{other}");
        EXPECT_NE(refusal(base, other).find("another " + toUtf8(name)), std::string::npos);
    }
    // GUIDs that differ in case alone are one, as the Windows Installer
    // compares them.
    Database lower = base;
    for (auto& row : lower.tables[0].rows) {
        std::u16string text = row[1].text();
        for (char16_t& c : text)
            c = c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
        row[1] = str(text);
    }
    EXPECT_EQ(refusal(base, lower), "no refusal");

    Table wide{u"Wide", {{u"Key", keyName}}, {}};
    for (int i = 2; i <= 17; ++i)
        wide.columns.push_back({u"C" + std::u16string(1, char16_t(u'a' + i)), short2});
    wide.rows = {std::vector<Cell>(17, num(1))};
    wide.rows[0][0] = str(u"k");
    Database withWide = base;
    withWide.tables.push_back(wide);

    Database dropped = base;
    EXPECT_EQ(refusal(withWide, dropped), "the localized package drops table `Wide`");
    Database narrower = withWide;
    narrower.tables[1].columns.pop_back();
    for (auto& row : narrower.tables[1].rows)
        row.pop_back();
    EXPECT_NE(refusal(withWide, narrower).find("drops column `Cr`"), std::string::npos);
    Database retyped = withWide;
    retyped.tables[1].columns[3].type = long4;
    EXPECT_NE(refusal(withWide, retyped).find("changes the type of column `Ce`"),
              std::string::npos);
    Database column16 = withWide, column17 = withWide;
    column16.tables[1].rows[0][15] = num(2);
    EXPECT_EQ(refusal(withWide, column16), "no refusal");
    column17.tables[1].rows[0][16] = num(2);
    EXPECT_NE(refusal(withWide, column17).find("past column 16"), std::string::npos);

    Database longName = base;
    longName.tables.push_back({u"Binary", {{u"Name", keyName}, {u"Data", binary}}, {}});
    longName.tables[1].rows = {{str(std::u16string(60, u'k')), bin("x")}};
    EXPECT_NE(refusal(base, longName).find("too long"), std::string::npos);

    Database outsideLatin1 = base;
    outsideLatin1.tables[0].rows.push_back({str(u"Text"), str(u"\u0142")});
    EXPECT_NE(refusal(base, outsideLatin1).find("cannot hold"), std::string::npos);

    Database cabinet = base, storage = base;
    cabinet.streams.push_back({u"product.cab", Bytes{1, 2}});
    EXPECT_NE(refusal(base, cabinet).find("`_Streams`"), std::string::npos);
    storage.storages.push_back(u"1036");
    EXPECT_NE(refusal(base, storage).find("`_Storages`"), std::string::npos);
}

// Each change must meet the database as the transform expects it.
TEST(TransformApply, RefusesWhatDoesNotMeetTheDatabase) {
    auto refusal = [](const std::vector<Stream>& streams, Database database) -> std::string {
        try {
            applyTransform(streams, database);
        } catch (const common::FormatError& error) {
            return error.what();
        }
        return "no refusal";
    };
    auto withProperties = [](std::vector<std::pair<std::u16string, std::u16string>> values) {
        Database database;
        database.tables.push_back(propertyTable(values));
        return database;
    };
    Database one = withProperties({productCode, {u"A", u"1"}});
    Database two = withProperties({productCode, {u"A", u"2"}, {u"B", u"2"}});
    std::vector<Stream> grow = streamsOf(one, two), shrink = streamsOf(two, one);
    EXPECT_EQ(refusal(grow, one), "no refusal");
    EXPECT_EQ(refusal(grow, two), "the transform inserts row `Property.B`, which exists");
    Database withoutA = withProperties({productCode});
    EXPECT_EQ(refusal(grow, withoutA),
              "the transform updates row `Property.A`, which does not exist");
    EXPECT_EQ(refusal(shrink, withProperties({productCode, {u"A", u"2"}})),
              "the transform deletes row `Property.B`, which does not exist");
    EXPECT_EQ(refusal(grow, Database()),
              "the transform changes table `Property`, which neither exists nor is added");

    std::vector<Stream> truncated = grow, pastPool = grow;
    for (Stream& stream : truncated)
        if (&stream.bytes == transform_reader::findStream(truncated, u"Property", true))
            stream.bytes.pop_back();
    EXPECT_EQ(refusal(truncated, one), "the stream of table `Property` ends inside a row");
    for (Stream& stream : pastPool)
        if (&stream.bytes == transform_reader::findStream(pastPool, u"_StringPool", true))
            stream.bytes.resize(4 + 4 * 2); // A and its new value only
    EXPECT_NE(refusal(pastPool, one).find("refers to string 3, past the pool's 2"),
              std::string::npos);
    EXPECT_EQ(refusal({grow.begin() + 1, grow.end()}, one), "the transform has no string pool");
    Database otherCodePage = one;
    otherCodePage.codePage = 1250;
    EXPECT_EQ(refusal(grow, otherCodePage),
              "the transform changes the code page from 1250 to 1252");

    // Embedded files changed beside the rows (a cabinet and its `_Streams`
    // row) are the Installer's to apply: they are not refused.
    std::vector<Stream> withCabinet = grow;
    std::u16string streamsTable;
    ASSERT_TRUE(packStreamName(u"_Streams", true, streamsTable));
    withCabinet.push_back({streamsTable, Bytes{1, 0, 0, 0}});
    withCabinet.push_back({u"product.cab", Bytes{'M', 'S', 'C', 'F'}});
    EXPECT_EQ(refusal(withCabinet, one), "no refusal");

    // A new table whose `_Tables` row is gone, and one that exists already.
    Database withNotes = one;
    withNotes.tables.push_back({u"Notes", {{u"Note", keyName}, {u"Data", binary}}, {}});
    withNotes.tables[1].rows.push_back({str(u"N"), bin("data")});
    std::vector<Stream> addNotes = streamsOf(one, withNotes);
    EXPECT_EQ(refusal(addNotes, withNotes), "the transform adds table `Notes`, which exists");
    std::vector<Stream> columnsOnly, noCell;
    for (const Stream& stream : addNotes) {
        if (&stream.bytes != transform_reader::findStream(addNotes, u"_Tables", true))
            columnsOnly.push_back(stream);
        if (&stream.bytes != transform_reader::findStream(addNotes, u"Notes.N", false))
            noCell.push_back(stream);
    }
    EXPECT_EQ(refusal(columnsOnly, withNotes),
              "the transform adds column `Note` to table `Notes`, which exists");
    EXPECT_EQ(refusal(noCell, one), "the binary cell `Notes.N` of the transform has no stream");

    // Rows of 6 bytes, each a cell for each of 4,096 columns: refused once
    // the cells pass what any database holds, before they are made
    // (unchecked, a transform of 24 MB would ask for 800 GB).
    Database wide;
    wide.tables.push_back({u"Wide", {{u"Key", typeKey | typeValid | 4}}, {}});
    wide.tables[0].columns.resize(4096, {u"Value", short2});
    std::vector<Stream> inserts; // grow's pool, its rows for Wide instead
    for (const Stream& stream : grow)
        if (&stream.bytes != transform_reader::findStream(grow, u"Property", true))
            inserts.push_back(stream);
    inserts.emplace_back();
    packStreamName(u"Wide", true, inserts.back().name);
    // An update of the second column first: the mask has 16 bits, the
    // table 4,096 columns.
    Bytes& rows = inserts.back().bytes = {2, 0, 1, 0, 0, 0x80, 1, 0x80};
    for (uint32_t key = 1; key <= maxCells / 4096 + 1; ++key) {
        rows.insert(rows.end(), {1, 1}); // an insert of the key column alone
        common::appendLe32(rows, key ^ 0x80000000u);
    }
    EXPECT_EQ(refusal(inserts, wide), "table `Wide` asks for more cells than any database holds");
}

} // namespace
