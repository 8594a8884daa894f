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

// The command line of --winget, with `extra` after it.
std::vector<std::string> winget(std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--msi",    "a.msi", "--out",     "s.exe",
                                          "--winget", "m",     "--license", "MIT"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

// What winget's schema takes: identifiers by its pattern, http(s) URLs,
// texts of its lengths, counted in characters.
TEST(OutputOptions, WingetTakesOnlyWhatItsSchemaTakes) {
    const std::string url = "https://example.com/s.exe";
    for (const char* id : {"A.B", "Ünïcödé.Prödükt", "a-b_c.d+e.1.2.3.4.5.6"}) {
        PackOptions options =
            parsePackOptions(winget({"--package-id", id, "--installer-url", url}));
        EXPECT_EQ(options.packageId.value_or(""), id);
    }
    EXPECT_TRUE(parsePackOptions(winget({"--package-id", "A." + std::string(32, 'x') + ".C",
                                         "--installer-url", "HTTP://x", "--publisher", "Ab"}))
                    .wingetFolder);
    const char* notId = "is no package identifier";
    std::vector<Refusal> cases;
    for (const std::string& id : std::vector<std::string>{
             "A..B", "A.B.", ".A.B", "A/B.C",
             "A.B\xE3\x80\x80"
             "C",
             "A.B\x7F\x01", "1.2.3.4.5.6.7.8.9", "A." + std::string(33, 'x'),
             std::string(25, 'v') + "." + std::string(25, 'w') + "." + std::string(25, 'x') + "." +
                 std::string(25, 'y') + "." + std::string(25, 'z')})
        cases.push_back(
            {winget({"--package-id", id, "--installer-url", url}), "--package-id", notId});
    cases.push_back({winget({"--package-id", "A.B", "--installer-url", "https://"}),
                     "--installer-url", "no http or https URL"});
    cases.push_back({winget({"--package-id", "A.B", "--installer-url", "https://a\nb"}),
                     "--installer-url", "no http or https URL"});
    cases.push_back({{"--msi", "a.msi", "--out", "s.exe", "--winget", "m", "--package-id", "A.B",
                      "--installer-url", url, "--license", "\xC3\x9C\xC3\x9C"},
                     "--license",
                     "3 to 512 characters here, not 2"});
    cases.push_back({winget({"--package-id", "A.B", "--installer-url", url, "--publisher", "Ü"}),
                     "--publisher", "2 to 256 characters"});
    cases.push_back({{"--msi", "a.msi", "--out", "s.exe", "--package-id", "A.B"},
                     "--package-id",
                     "needs --winget"});
    cases.push_back(
        {{"--msi", "a.msi", "--out-msi", "p.msi", "--winget", "m"}, "--winget", "needs --out"});
    cases.push_back({{"--msi", "a.msi", "--out", "s.exe", "--winget", "m", "--package-id", "A.B",
                      "--installer-url", url},
                     "--license",
                     "is required with --winget"});
    expectUsageErrors(cases);
}

} // namespace
