#pragma once
#include <gtest/gtest.h>

#include <ostream>

#include "state/setup_state.h"
#include "ui/languages.h"

// Failure messages show a Text as its characters.
inline void PrintTo(const Text& text, std::ostream* out) {
    *out << '"' << text.c_str() << '"';
}

// Every test starts from the state the program starts with.
class FreshSetupState : public ::testing::Test {
  protected:
    void SetUp() override { setupState = SetupState(); }

    // The selection must name one row by both its index and its lcid.
    static void expectSelected(int32_t lcid) {
        EXPECT_EQ(setupState.languageId, lcid);
        ASSERT_GE(setupState.languageIndex, 0);
        ASSERT_LT(setupState.languageIndex, languageCount);
        EXPECT_EQ(LanguageTable[setupState.languageIndex].lcid, lcid);
    }
};
