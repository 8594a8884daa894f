#include <gtest/gtest.h>

#include <initializer_list>

#include "ui/offered_languages.h"
#include "unit_support.h"

namespace {
void expectOffered(const char* languages, std::initializer_list<int32_t> lcids) {
    SCOPED_TRACE(languages);
    List<LanguageRow> offered;
    offered.add(LanguageRow{"left over", 1033});
    parseOfferedLanguages(Text(languages), offered);
    ASSERT_EQ(offered.size(), lcids.size());
    size_t i = 0;
    for (int32_t lcid : lcids) {
        EXPECT_EQ(offered[i].lcid, lcid);
        EXPECT_EQ(offered[i].name, LanguageTable[findLanguageRow(lcid)].name);
        ++i;
    }
}
} // namespace

TEST(OfferedLanguages, KeepTheOrderOfTheTextAndItsRepeats) {
    expectOffered("1033;1036;1031;1034;1040", {1033, 1036, 1031, 1034, 1040});
    expectOffered("1036;1033", {1036, 1033});
    expectOffered("1036;1036", {1036, 1036});
    expectOffered("1043;1046", {1043, 1046});
}

TEST(OfferedLanguages, EmptyAndUnknownPiecesAreSkipped) {
    expectOffered("1033;;1036", {1033, 1036});
    expectOffered("1033;1036;", {1033, 1036});
    expectOffered(";1036", {1036});
    expectOffered("1033;9999;1036", {1033, 1036});
    expectOffered("2057", {});
    expectOffered("", {});
    expectOffered(";;", {});
    expectOffered("0;-1033;abc", {});
}

TEST(OfferedLanguages, PiecesAreReadAsDecimalNumbers) {
    expectOffered(" 1036", {1036});
    expectOffered("\t1036;1033abc", {1036, 1033});
    expectOffered("+1046; 1031 ", {1046, 1031});
    // These wrap to 1036 when cut to 32 bits; they saturate instead.
    expectOffered("4294968332;-4294966260;99999999999", {});
}
