#include <gtest/gtest.h>

#include <climits>

#include "base/decimal.h"
#include "base/text_split.h"
#include "product/version.h"
#include "unit_support.h"

namespace {
const uint32_t untouched = 0xDEADBEEF;

struct Pair {
    uint32_t ms, ls;
    bool parsed;
};

Pair parsed(const char* text) {
    Pair pair{untouched, untouched, false};
    pair.parsed = parseVersion(Text(text), pair.ms, pair.ls);
    return pair;
}

void expectVersion(const char* text, uint32_t ms, uint32_t ls) {
    Pair pair = parsed(text);
    EXPECT_TRUE(pair.parsed) << text;
    EXPECT_EQ(pair.ms, ms) << text;
    EXPECT_EQ(pair.ls, ls) << text;
}

void expectSplit(const char* text, const char* head, const char* rest) {
    TextSplit split = splitAtFirst(Text(text), '.');
    EXPECT_EQ(split.head, head) << text;
    EXPECT_EQ(split.rest, rest) << text;
}

// Package 1.0.1 against the installed version text after a successful query.
InstallCheck against101(const char* installed) {
    return classifyQueryResult(0, installed, 0x10000, 0x10000);
}
} // namespace

TEST(ReadDecimal, SaturatesAtTheEndsOf32Bits) {
    EXPECT_EQ(readDecimal("2147483647", 10), INT_MAX);
    EXPECT_EQ(readDecimal("2147483648", 10), INT_MAX);
    EXPECT_EQ(readDecimal("-2147483648", 11), INT_MIN);
    EXPECT_EQ(readDecimal("-2147483649", 11), INT_MIN);
    EXPECT_EQ(readDecimal("99999999999999999999999", 23), INT_MAX);
    EXPECT_EQ(readDecimal("-99999999999", 12), INT_MIN);
    EXPECT_EQ(readDecimal("10365", 4), 1036); // stops at the given length
    EXPECT_EQ(readDecimal(" \t\r\n+7x", 7), 7);
    EXPECT_EQ(readDecimal("- 7", 3), 0);
}

TEST(SplitAtFirst, CutsAtTheFirstSeparatorOnly) {
    expectSplit("1.0.1", "1", "0.1");
    expectSplit("1036", "1036", "");
    expectSplit(".5", "", "5");
    expectSplit("7.", "7", "");
    expectSplit("", "", "");
}

TEST(ParseVersion, ReadsUpToFourPieces) {
    expectVersion("1.0.1", 0x10000, 0x10000);
    expectVersion("1.2.3.4.5", 0x10002, 0x30004);
    expectVersion("1.2.3", 0x10002, 0x30000); // the revision half is cleared
    expectVersion("65535.65535.65535.65535", 0xFFFFFFFF, 0xFFFFFFFF);
}

TEST(ParseVersion, StopsAtTheFirstEmptyPiece) {
    expectVersion("2", 0x20000, untouched);
    expectVersion("1..3", 0x10000, untouched);
    expectVersion(".5", untouched, untouched);
    expectVersion("1.2.", 0x10002, untouched);
}

TEST(ParseVersion, EmptyTextFailsAndWritesNothing) {
    Pair pair = parsed("");
    EXPECT_FALSE(pair.parsed);
    EXPECT_EQ(pair.ms, untouched);
    EXPECT_EQ(pair.ls, untouched);
}

TEST(ParseVersion, PiecesAreDecimalNumbersWithoutRangeCheck) {
    expectVersion(" 7.x8", 0x70000, untouched);
    expectVersion("1.70000", 0x11170, untouched);
    expectVersion("1.4464", 0x11170, untouched);
    expectVersion("1.-1", 0xFFFFFFFF, untouched);
    expectVersion("99999999999.0.0", 0xFFFF0000, 0);
}

// setup-pack lets through only what the reading above takes number by
// number: no piece that spills, stops the reading or is cut off.
TEST(StrictVersion, TakesOnlyWhatParseVersionReadsWhole) {
    for (const char* text : {"1", "0.0.0.0", "2.3.4.5", "65535.65535.65535.65535", "00001.2"})
        EXPECT_EQ(strictVersionFault(Text(text)), VersionFault::None) << text;
    EXPECT_EQ(strictVersionFault(Text("")), VersionFault::Empty);
    for (const char* text : {"1.2.3.4.5", "1.2.3.4.", "x.x.x.x.x"})
        EXPECT_EQ(strictVersionFault(Text(text)), VersionFault::MoreThanFourNumbers) << text;
    for (const char* text : {"65536", "1.70000", "000065535", "4294967297", "1..3", "1.", ".5",
                             " 7", "1.-1", "+1", "7.x8"})
        EXPECT_EQ(strictVersionFault(Text(text)), VersionFault::NotNumbers) << text;
}

TEST(ClassifyQueryResult, ComparesMajorMinorAndBuildOnly) {
    EXPECT_EQ(against101("1.0.1"), InstallCheck::Proceed);
    EXPECT_EQ(against101("1.0.1.9"), InstallCheck::Proceed);
    EXPECT_EQ(against101("1.0.0"), InstallCheck::Upgrade);
    EXPECT_EQ(against101("0.9.99"), InstallCheck::Upgrade);
    EXPECT_EQ(against101("1.0"), InstallCheck::Upgrade);
    EXPECT_EQ(against101("1.1"), InstallCheck::LaterInstalled);
    EXPECT_EQ(against101("1.0.2"), InstallCheck::LaterInstalled);
    EXPECT_EQ(against101("2.0.0"), InstallCheck::LaterInstalled);
}

TEST(ClassifyQueryResult, EmptyInstalledVersionCountsAsZero) {
    EXPECT_EQ(against101(""), InstallCheck::Upgrade);
    EXPECT_EQ(classifyQueryResult(0, "", 0, 0x10000), InstallCheck::Upgrade); // 0.0.1
    EXPECT_EQ(classifyQueryResult(0, "", 0, 0x5), InstallCheck::Proceed);     // 0.0.0.5
}

TEST(ClassifyQueryResult, UnknownProductOrPropertyProceedOtherErrorsFail) {
    EXPECT_EQ(classifyQueryResult(1605, "9.9.9", 0x10000, 0x10000), InstallCheck::Proceed);
    EXPECT_EQ(classifyQueryResult(1608, "9.9.9", 0x10000, 0x10000), InstallCheck::Proceed);
    for (uint32_t code : {234u, 1u, 1603u, 1610u, 0xFFFFFFFFu})
        EXPECT_EQ(classifyQueryResult(code, "1.0.1", 0x10000, 0x10000), InstallCheck::QueryFailed)
            << code;
}

TEST(ClassifyInstalledVersion, TheRevisionNeverDecides) {
    EXPECT_EQ(classifyInstalledVersion(0x10000, 0x10005, 0x10000, 0x10009), InstallCheck::Proceed);
    EXPECT_EQ(classifyInstalledVersion(0x10000, 0x10009, 0x10000, 0x10005), InstallCheck::Proceed);
    EXPECT_EQ(classifyInstalledVersion(0x10000, 0x20000, 0x10000, 0x1FFFF), InstallCheck::Upgrade);
    EXPECT_EQ(classifyInstalledVersion(0x10000, 0x1FFFF, 0x10000, 0x20000),
              InstallCheck::LaterInstalled);
    EXPECT_EQ(classifyInstalledVersion(0x20000, 0, 0x1FFFF, 0xFFFFFFFF), InstallCheck::Upgrade);
    EXPECT_EQ(classifyInstalledVersion(0xFFFFFFFF, 0, 0, 0), InstallCheck::Upgrade); // unsigned
}
