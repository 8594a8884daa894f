#include <gtest/gtest.h>

#include <string>

#include "ui/message_text.h"
#include "unit_support.h"

namespace {
const char upgrade[] = "This Setup will perform an upgrade of '%s'. Do you want to continue?";
}

TEST(FormatWithProductName, PutsTheNameInPlaceOfPercentS) {
    EXPECT_EQ(formatWithProductName(upgrade, Text("Example")),
              "This Setup will perform an upgrade of 'Example'. Do you want to continue?");
    EXPECT_EQ(formatWithProductName("%s", Text("")), "");
    EXPECT_EQ(formatWithProductName("100%% of %s%%", Text("x")), "100% of x%");
    EXPECT_EQ(formatWithProductName("50% %d %", Text("x")), "50% %d %");
}

TEST(FormatWithProductName, ALongNameIsNeverCut) {
    std::string name(1000, 'n');
    name[0] = 'A';
    name[999] = 'Z';
    Text text = formatWithProductName(upgrade, Text(name.c_str()));
    std::string expected =
        "This Setup will perform an upgrade of '" + name + "'. Do you want to continue?";
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_EQ(text, expected.c_str());
}

TEST(FormatWithProductName, FormatCharactersInTheNameStayAsTheyAre) {
    EXPECT_EQ(formatWithProductName(upgrade, Text("100% %s %d %%n")),
              "This Setup will perform an upgrade of '100% %s %d %%n'. Do you want to continue?");
}
