// The options of setup-pack's outputs beside the setup: which go together
// and the values winget takes.
#include <gtest/gtest.h>

#include "setup_pack/options.h"

namespace {

struct Refusal {
    std::vector<std::string> arguments;
    const char* input;
    const char* reason;
};

void expectUsageErrors(const std::vector<Refusal>& cases) {
    for (const Refusal& c : cases) {
        try {
            parsePackOptions(c.arguments);
            ADD_FAILURE() << "accepted: " << c.input << " " << c.reason;
        } catch (const PackError& error) {
            EXPECT_EQ(error.exitCode(), packUsage) << error.what();
            EXPECT_EQ(error.input(), c.input) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
        }
    }
}

TEST(OutputOptions, PackageWithTransformsAloneOrBesideTheSetup) {
    PackOptions alone =
        parsePackOptions({"--msi", "a.msi", "--language", "1036=fr.msi", "--out-msi", "all.msi"});
    EXPECT_EQ(alone.outMsiPath.value_or(""), "all.msi");
    EXPECT_TRUE(alone.outPath.empty());
    PackOptions both = parsePackOptions({"--msi", "a.msi", "--transform", "1031=de.mst", "--out",
                                         "setup.exe", "--out-msi", "all.msi", "--version", "1.2"});
    EXPECT_EQ(both.outPath, "setup.exe");
    EXPECT_EQ(both.outMsiPath.value_or(""), "all.msi");
    expectUsageErrors({
        {{"--msi", "a.msi", "--out-msi", "p.msi", "--product-name", "X"},
         "--product-name",
         "is about the setup: it needs --out"},
        {{"--msi", "a.msi", "--out-msi", "p.msi", "--arch", "x64"}, "--arch", "needs --out"},
        {{"--msi", "a.msi", "--out", "s.exe", "--out-msi", "p.msi", "--sign-pkcs12", "k.p12"},
         "--out-msi",
         "does not go with signing"},
        {{"--msi", "a.msi", "--out-msi", ""}, "--out-msi", "non-empty"},
        {{"--msi", "a.msi", "--out-msi", "p.msi", "--out-msi", "q.msi"}, "--out-msi", "twice"},
        {{"--inspect", "p.msi", "--out-msi", "q.msi"}, "--inspect", "takes no packing options"},
        {{"--make-transform", "--msi", "a.msi", "--localized", "l.msi", "--out", "t.mst",
          "--out-msi", "p.msi"},
         "--make-transform",
         "takes only"},
        {{"--out-msi", "p.msi"}, "--msi", "is required"},
    });
}

} // namespace
