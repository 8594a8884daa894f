#include <gtest/gtest.h>

#include <vector>

#include "base/wide_text.h"

namespace {
// The data lives in a heap block of exactly its size, so that the native
// build's address checks catch any read beyond it.
size_t lengthOf(std::vector<unsigned char> data) {
    return wideTextLength(data.data(), data.size());
}
} // namespace

TEST(WideTextLength, CountsCodeUnitsUpToTheFirstNul) {
    EXPECT_EQ(lengthOf({'1', 0, '.', 0, '0', 0, '.', 0, '1', 0, 0, 0}), 5u);
    EXPECT_EQ(lengthOf({0, 0}), 0u);
    EXPECT_EQ(lengthOf({'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}), 2u);
}

TEST(WideTextLength, OnlyAWholeZeroCodeUnitEndsTheText) {
    EXPECT_EQ(lengthOf({0, 1, 'a', 0, 0, 0}), 2u);           // U+0100
    EXPECT_EQ(lengthOf({'a', 0, 0, 'b', 0, 0}), 2u);         // zero bytes astride two units
    EXPECT_EQ(lengthOf({0x3C, 0xD8, 0x00, 0xDF, 0, 0}), 2u); // a surrogate pair
}

TEST(WideTextLength, TextWithoutTerminatorEndsWithTheData) {
    EXPECT_EQ(lengthOf({'a', 0, 'b', 0}), 2u);
    EXPECT_EQ(lengthOf({'a', 0, 'b', 0, 'c'}), 2u); // an odd last byte is no code unit
    EXPECT_EQ(lengthOf({'a', 0, 0}), 1u);
    EXPECT_EQ(lengthOf({'a'}), 0u);
    EXPECT_EQ(wideTextLength(nullptr, 0), 0u);
}
