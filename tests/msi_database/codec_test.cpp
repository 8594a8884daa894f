// The codec of databases and transforms alike: stream names, the string
// pool written and read back (long strings, the multi-byte flag, code
// pages, 3-byte references), cells of each width and the summary property
// set, against fixed bytes.
#include <gtest/gtest.h>

#include <map>

#include "common/utf8.h"
#include "msi_database/cells.h"
#include "msi_database/stream_name.h"
#include "msi_database/string_pool.h"
#include "msi_database/summary.h"

namespace {

using namespace msi_database;
using common::Bytes;

std::vector<unsigned> units(const std::u16string& text) {
    return std::vector<unsigned>(text.begin(), text.end());
}

const int keyName = typeKey | typeString | 0x0400 | typeValid | 72; // s72 key
const int short2 = 0x0400 | typeValid | 2 | typeNullable;           // I2
const int long4 = typeValid | 4 | typeNullable;                     // I4
const int binary = typeString | typeValid | typeNullable;           // V0

TEST(Codec, StreamNamesPackAsTheInstallerDoes) {
    std::u16string packed;
    EXPECT_TRUE(packStreamName(u"_Tables", true, packed));
    EXPECT_EQ(units(packed), (std::vector<unsigned>{0x4840, 0x3F7F, 0x4164, 0x422F, 0x4836}));
    EXPECT_TRUE(packStreamName(u"Property", true, packed));
    EXPECT_EQ(units(packed), (std::vector<unsigned>{0x4840, 0x4559, 0x44F2, 0x4568, 0x4737}));
    EXPECT_TRUE(packStreamName(u"_StringPool", true, packed));
    EXPECT_EQ(units(packed),
              (std::vector<unsigned>{0x4840, 0x3F3F, 0x4577, 0x446C, 0x3E6A, 0x44B2, 0x482F}));
    EXPECT_TRUE(packStreamName(u"BINARY.1", false, packed));
    EXPECT_EQ(units(packed), (std::vector<unsigned>{0x3C8B, 0x3A97, 0x409B, 0x387E}));
    // Characters outside the alphabet stay and break the pairs.
    EXPECT_TRUE(packStreamName(u"a-b", false, packed));
    EXPECT_EQ(units(packed), (std::vector<unsigned>{0x4800 + 36, u'-', 0x4800 + 37}));
    // 31 units fit, 32 do not: 60 letters pack into 30 units plus the prefix.
    EXPECT_TRUE(packStreamName(std::u16string(60, u'A'), true, packed));
    EXPECT_FALSE(packStreamName(std::u16string(61, u'A'), true, packed));
    EXPECT_TRUE(packStreamName(std::u16string(62, u'A'), false, packed));
    EXPECT_FALSE(packStreamName(std::u16string(63, u'A'), false, packed));
    // Messages name streams unpacked, as the package's author knows them.
    for (const char16_t* name : {u"Disk2.CAB", u"Binary.Notice", u"a-b.\u00E9", u"_StringPool"}) {
        packStreamName(name, name[0] == u'_', packed);
        EXPECT_EQ(msi_database::streamNameText(packed), common::toUtf8(name));
    }
    EXPECT_EQ(msi_database::streamNameText(u"\x0005SummaryInformation"),
              "\\u0005SummaryInformation");
}

TEST(Codec, PoolCountsEveryReferenceAndFlagsMultiByteStrings) {
    StringPoolWriter pool(1252);
    EXPECT_EQ(pool.reference("Property"), 1u);
    EXPECT_EQ(pool.reference("Value"), 2u);
    EXPECT_EQ(pool.reference("Property"), 1u);
    EXPECT_EQ(pool.reference(""), 0u);
    EXPECT_EQ(pool.reference("\xE9t\xE9"), 3u);
    EXPECT_EQ(pool.poolStream(), (Bytes{0xE4, 0x04, 0, 0, 8, 0, 2, 0, 5, 0, 1, 0, 3, 0, 1, 0}));
    EXPECT_EQ(pool.dataStream(), (Bytes{'P', 'r', 'o', 'p', 'e', 'r', 't', 'y', 'V', 'a', 'l', 'u',
                                        'e', 0xE9, 't', 0xE9}));
    EXPECT_EQ(StringPool(pool.poolStream(), pool.dataStream()).text(3), u"\u00E9t\u00E9");

    StringPoolWriter utf8(65001);
    utf8.reference("plain");
    utf8.reference("\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(utf8.poolStream(), (Bytes{0xE9, 0xFD, 0, 0, 5, 0, 1, 0, 5, 0, 1, 0x80}));
    StringPool utf8Read(utf8.poolStream(), utf8.dataStream());
    EXPECT_EQ(utf8Read.codePage(), 65001u);
    EXPECT_EQ(utf8Read.text(2), u"\u00E9t\u00E9");

    // A string of 64 KiB or more: two entries, one id.
    StringPoolWriter big(0);
    big.reference(std::string(0x12345, 'x'));
    big.reference(std::string(0x12345, 'x'));
    big.reference("after");
    EXPECT_EQ(big.poolStream(), (Bytes{0, 0, 0, 0, 0, 0, 2, 0, 0x45, 0x23, 0x01, 0, 5, 0, 1, 0}));
    EXPECT_EQ(big.dataStream().size(), 0x12345u + 5);
    StringPool bigRead(big.poolStream(), big.dataStream());
    ASSERT_EQ(bigRead.size(), 3u);
    EXPECT_EQ(bigRead.text(1), std::u16string(0x12345, u'x'));
    EXPECT_EQ(bigRead.text(2), u"after");
    // A long string's entry cut before its length.
    Bytes cut = big.poolStream();
    cut.resize(8);
    EXPECT_THROW(StringPool(cut, big.dataStream()), common::FormatError);
}

TEST(Codec, ReferencesTakeThreeBytesPastSixtyFiveThousandStrings) {
    StringPoolWriter pool(0);
    for (int i = 0; i < 0xFFFF; ++i)
        pool.reference("s" + std::to_string(i));
    EXPECT_EQ(pool.referenceBytes(), 2);
    EXPECT_EQ(pool.poolStream()[3], 0);
    EXPECT_EQ(pool.reference("last"), 0x10000u);
    EXPECT_EQ(pool.referenceBytes(), 3);
    EXPECT_EQ(pool.poolStream()[3], 0x80);
    Bytes field;
    appendField(field, keyName, {Field::String, 0, 0x10000}, 3);
    EXPECT_EQ(field, (Bytes{0, 0, 1}));
    StringPool read(pool.poolStream(), pool.dataStream());
    EXPECT_EQ(read.refBytes(), 3);
    CellDecoder decoder(read);
    EXPECT_EQ(decoder.decode(keyName, readCellValue(field.data(), 3), u"T").text(), u"last");
    EXPECT_THROW(decoder.decode(keyName, 0x10001, u"T"), common::FormatError);
}

TEST(Codec, FieldsOfEachWidthAndNull) {
    Bytes out;
    appendField(out, short2, {Field::Integer, 5, 0}, 2);
    appendField(out, short2, {Field::Integer, -1, 0}, 2);
    appendField(out, short2, {Field::Null, 0, 0}, 2);
    appendField(out, long4, {Field::Integer, 100000, 0}, 2);
    appendField(out, long4, {Field::Integer, -2, 0}, 2);
    appendField(out, long4, {Field::Null, 0, 0}, 2);
    appendField(out, binary, {Field::Binary, 0, 0}, 2);
    appendField(out, binary, {Field::Null, 0, 0}, 2);
    appendField(out, keyName, {Field::String, 0, 0x0203}, 2);
    EXPECT_EQ(out, (Bytes{0x05, 0x80, 0xFF, 0x7F, 0,    0,                // i2
                          0xA0, 0x86, 0x01, 0x80, 0xFE, 0xFF, 0xFF, 0x7F, // i4
                          0,    0,    0,    0,                            // i4 null
                          1,    0,    0,    0,                            // binary
                          3,    2}));
    // Read back with a pool of no strings: every value but the string's.
    StringPool empty(Bytes{0, 0, 0, 0}, Bytes());
    CellDecoder decoder(empty);
    std::vector<Cell> cells;
    const uint8_t* at = out.data();
    for (int type : {short2, short2, short2, long4, long4, long4, binary, binary}) {
        cells.push_back(decoder.decode(type, readCellValue(at, cellBytes(type, 2)), u"T"));
        at += cellBytes(type, 2);
    }
    EXPECT_EQ(cells[0].number, 5);
    EXPECT_EQ(cells[1].number, -1);
    EXPECT_EQ(cells[2].kind, Cell::Null);
    EXPECT_EQ(cells[3].number, 100000);
    EXPECT_EQ(cells[4].number, -2);
    EXPECT_EQ(cells[5].kind, Cell::Null);
    EXPECT_EQ(cells[6].kind, Cell::Binary);
    EXPECT_EQ(cells[7].kind, Cell::Null);
}

TEST(Codec, SummaryPropertySetLayout) {
    std::map<uint32_t, SummaryProperty> properties;
    properties[1] = {SummaryProperty::I2, 1252, "", 0};
    properties[7] = {SummaryProperty::String, 0, "Intel;1033", 0};
    properties[12] = {SummaryProperty::FileTime, 0, "", 0x0102030405060708ull};
    properties[16] = {SummaryProperty::I4, 0, "", 0};
    Bytes out = summaryStream(properties);
    ASSERT_EQ(out.size(), 48u + 8 + 4 * 8 + 8 + 20 + 12 + 8);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xFE, 0xFF, 0, 0}));
    EXPECT_EQ(Bytes(out.begin() + 28, out.begin() + 32), (Bytes{0xE0, 0x85, 0x9F, 0xF2}));
    EXPECT_EQ(out[44], 48);              // the section's offset
    EXPECT_EQ(out[48], out.size() - 48); // its size
    EXPECT_EQ(out[52], 4);               // four properties
    EXPECT_EQ(Bytes(out.begin() + 56, out.begin() + 64), (Bytes{1, 0, 0, 0, 40, 0, 0, 0}));
    EXPECT_EQ(Bytes(out.begin() + 88, out.begin() + 96), (Bytes{2, 0, 0, 0, 0xE4, 0x04, 0, 0}));
    // VT_LPSTR: length with the terminator, then the bytes padded to 4.
    EXPECT_EQ(Bytes(out.begin() + 96, out.begin() + 104), (Bytes{30, 0, 0, 0, 11, 0, 0, 0}));
    EXPECT_EQ(out[104 + 10], 0);
    EXPECT_EQ(Bytes(out.begin() + 116, out.begin() + 128),
              (Bytes{64, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1}));
}

} // namespace
