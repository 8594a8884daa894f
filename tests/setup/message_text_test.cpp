#include <gtest/gtest.h>

#include <string>

#include "ui/extract_report.h"
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

TEST_F(FreshSetupState, ExtractionReportNamesTheFolderAndFilesInTheSetupsLanguage) {
    List<Text> written;
    written.add(Text("C:\\Admin Share\\product.msi"));
    written.add(Text("C:\\Admin Share\\1036.MST"));
    ASSERT_TRUE(selectLanguage(1036));
    EXPECT_EQ(extractionReport(FolderExtraction::done, written, Text()),
              "Le programme d'installation a \xE9"
              "crit ces fichiers dans C:\\Admin Share\\ :\n"
              "\nproduct.msi\n1036.MST");
    // A refusal names the path at fault, with the %s of the text filled in
    // once and a '%' in the path kept.
    EXPECT_EQ(extractionReport(FolderExtraction::fileExists, List<Text>(), Text("C:\\100%\\x.msi")),
              "A file of this name is there already:\n\nC:\\100%\\x.msi\n\nNothing was extracted.");
}
