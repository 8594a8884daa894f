#include <gtest/gtest.h>

#include "product/version.h"

namespace {
struct Pair {
    uint32_t ms, ls;
};

Pair parsed(const char* text, uint32_t ms = 0, uint32_t ls = 0) {
    Pair pair{ms, ls};
    parseVersion(Text(text), pair.ms, pair.ls);
    return pair;
}
} // namespace

TEST(ParseVersion, ReadsUpToFourPieces) {
    EXPECT_EQ(parsed("1.0.1").ms, 0x10000u);
    EXPECT_EQ(parsed("1.0.1").ls, 0x10000u);
    EXPECT_EQ(parsed("1.2.3.4.5").ms, 0x10002u);
    EXPECT_EQ(parsed("1.2.3.4.5").ls, 0x30004u);
}

TEST(ParseVersion, EmptyTextFails) {
    uint32_t ms = 7, ls = 9;
    EXPECT_FALSE(parseVersion(Text(""), ms, ls));
    EXPECT_EQ(ms, 7u);
    EXPECT_EQ(ls, 9u);
}
