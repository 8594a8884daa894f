// Reading the program's text resources (see package_resources.rc).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "os/resource_view.h"
#include "state/string_resource.h"

namespace {

std::string readText(const char* name, bool& found) {
    Text field("previous text");
    found = readStringResource(name, field);
    return field.c_str();
}

TEST(StringResource, VersionIsTwelveBytesAndReadsWithoutItsTerminator) {
    ResourceView view;
    ASSERT_TRUE(loadResourceBytes("VERSION", view));
    EXPECT_EQ(view.size, 12u);

    bool found = false;
    std::string text = readText("VERSION", found);
    EXPECT_TRUE(found);
    EXPECT_EQ(text, "1.0.1");
    EXPECT_EQ(text.size(), 5u);
}

TEST(StringResource, TextIsConvertedToTheAnsiCodePage) {
    bool found = false;
    EXPECT_EQ(readText("PRODUCTNAME", found), "Package Test Product");
    EXPECT_TRUE(found);
    if (GetACP() != 1252)
        GTEST_SKIP() << "the accented text is written for code page 1252, this is " << GetACP();
    EXPECT_EQ(readText("ACCENTED", found), "Caf\xe9 cr\xe8me");
    EXPECT_TRUE(found);
}

TEST(StringResource, OnlyTheTerminatorGivesTheEmptyTextAndTrue) {
    bool found = false;
    EXPECT_EQ(readText("EMPTYTEXT", found), "");
    EXPECT_TRUE(found);
}

TEST(StringResource, TextEndsAtTheFirstNul) {
    bool found = false;
    EXPECT_EQ(readText("MIDDLENUL", found), "front");
    EXPECT_TRUE(found);
}

TEST(StringResource, TextWithoutTerminatorEndsWithTheData) {
    // The next resource's data follows directly; a read past the end would
    // run into it.
    ResourceView text, next;
    ASSERT_TRUE(loadResourceBytes("UNTERMINATED", text));
    ASSERT_TRUE(loadResourceBytes("UNTERMINATEDNEXT", next));
    ASSERT_EQ(static_cast<const char*>(text.data) + text.size, next.data)
        << "the resource layout that this test relies on has changed";

    bool found = false;
    EXPECT_EQ(readText("UNTERMINATED", found), "abcd");
    EXPECT_TRUE(found);
    // An odd last byte is no code unit.
    EXPECT_EQ(readText("ODDSIZE", found), "ab");
    EXPECT_TRUE(found);
}

TEST(StringResource, AbsentEmptyOrOtherLanguageLeavesTheFieldAlone) {
    for (const char* name : {"LOGPATH", "ZEROSIZE", "FRENCHONLY"}) {
        bool found = true;
        EXPECT_EQ(readText(name, found), "previous text") << name;
        EXPECT_FALSE(found) << name;
    }
    ResourceView view;
    EXPECT_FALSE(loadResourceBytes("ZEROSIZE", view));
    EXPECT_TRUE(resourceExists("ZEROSIZE"));
    EXPECT_FALSE(resourceExists("FRENCHONLY"));
}

TEST(StringResource, NamesMatchWithoutRegardToCase) {
    bool found = false;
    EXPECT_EQ(readText("version", found), "1.0.1");
    EXPECT_TRUE(found);
}

} // namespace
