#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "unit_support.h"

TEST(Text, AppendingItselfCopiesBeforeGrowing) {
    Text text("abc");
    std::string expected = "abc";
    for (int i = 0; i < 10; ++i) {
        text.append(text);
        expected += expected;
    }
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_EQ(text, expected.c_str());

    Text tail("0123456789");
    tail.append(tail.c_str() + 7);
    EXPECT_EQ(tail, "0123456789789");
}

TEST(Text, AssigningFromItsOwnBuffer) {
    Text text("0123456789");
    text.assign(text.c_str() + 2, 5);
    EXPECT_EQ(text, "23456");
    Text& same = text;
    text = same;
    EXPECT_EQ(text, "23456");
    text.assign(text.c_str(), text.size());
    EXPECT_EQ(text, "23456");
}

TEST(Text, GrowsOneCharacterAtATime) {
    Text text;
    EXPECT_STREQ(text.c_str(), "");
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        text.append(static_cast<char>('a' + i % 26));
        expected += static_cast<char>('a' + i % 26);
    }
    EXPECT_EQ(text, expected.c_str());
    Text moved(std::move(text));
    EXPECT_EQ(moved.size(), 1000u);
    EXPECT_TRUE(text.empty());
    EXPECT_STREQ(text.c_str(), "");
    text.append("again");
    EXPECT_EQ(text, "again");
}

TEST(Text, ReserveGivesRoomThatResizeFixes) {
    Text text("ab");
    char* buffer = text.reserve(300);
    for (int i = 0; i < 300; ++i)
        buffer[i] = 'x';
    buffer[300] = '\0';
    text.resize(300);
    EXPECT_EQ(text.size(), 300u);
    text.resize(3);
    EXPECT_EQ(text, "xxx");
}

TEST(Text, ComparesAllItsBytes) {
    EXPECT_EQ(Text("a\0b", 3), Text("a\0b", 3));
    EXPECT_FALSE(Text("a\0b", 3) == Text("a\0c", 3));
    EXPECT_FALSE(Text("a\0b", 3) == Text("a", 1));
    EXPECT_FALSE(Text("ab") == "abc");
}
