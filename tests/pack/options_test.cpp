// The command line of setup-pack and its checks of product codes, versions
// and language lists.
#include <gtest/gtest.h>

#include "setup_pack/commands.h"

namespace {

// The PackError that `action` throws; fails the test when it throws none.
template <typename Action> PackError errorOf(Action action) {
    try {
        action();
    } catch (const PackError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return PackError(-1, "", "");
}

PackError parseError(const std::vector<std::string>& arguments) {
    return errorOf([&] { parseCommand(arguments); });
}

// The command the arguments give, which must be a `T`.
template <typename T> T parsed(const std::vector<std::string>& arguments) {
    Command command = parseCommand(arguments);
    EXPECT_TRUE(std::holds_alternative<T>(command)) << "another command: " << command.index();
    return std::holds_alternative<T>(command) ? std::get<T>(command) : T();
}

PackCommand parsePack(const std::vector<std::string>& arguments) {
    return parsed<PackCommand>(arguments);
}

// Whether the usage text names the option as itself, not as the start of
// a longer one (--out in --out-msi).
bool listed(const std::string& usage, const std::string& name) {
    for (size_t at = usage.find(name); at != std::string::npos; at = usage.find(name, at + 1))
        if (at + name.size() < usage.size() &&
            std::string(" \n]").find(usage[at + name.size()]) != std::string::npos)
            return true;
    return false;
}

// An option added to the table is read, listed by --help and refused by
// the commands that do not take it, with nothing else to change.
TEST(PackOptions, EveryOptionOfTheTableIsListedReadAndChecked) {
    const std::string& usage = packUsageText();
    for (const OptionSpec& option : optionTable()) {
        const std::string name = option.name;
        if (name.compare(0, 2, "--") == 0) { // not -h and /?, --help's other names
            EXPECT_TRUE(listed(usage, name)) << name;
        }
        if (option.commands == forVersion) {
            EXPECT_TRUE(std::holds_alternative<VersionCommand>(parseCommand({name})));
            continue;
        }
        if (option.commands == forHelp) {
            // It wins over what follows, read or not.
            parsed<HelpCommand>({"--msi", "a.msi", name, "--bogus"});
            continue;
        }
        std::vector<std::string> alone = {name};
        if (option.takesValue) {
            // After another option: "--version" alone is the program's.
            PackError error = parseError({"--msi", "a.msi", name});
            EXPECT_EQ(error.input(), name);
            EXPECT_STREQ(error.what(), "needs a value (see --help)") << name;
            alone.push_back("value");
        }
        const std::pair<unsigned, std::vector<std::string>> others[] = {
            {forInspect, {"--inspect", "s.exe"}},
            {forExtract, {"--extract", "s.exe", "--out", "folder"}},
            {forMakeTransform,
             {"--make-transform", "--msi", "a.msi", "--localized", "l.msi", "--out", "t.mst"}},
            {forExportTexts, {"--export-texts", "--msi", "a.msi", "--out", "t.pot"}}};
        for (const auto& other : others) {
            if (option.commands & other.first)
                continue;
            std::vector<std::string> arguments = other.second;
            arguments.insert(arguments.end(), alone.begin(), alone.end());
            EXPECT_THROW(parseCommand(arguments), PackError) << name << " with " << other.second[0];
        }
    }
}

TEST(PackOptions, ReadsEveryOptionAndKeepsTransformsInOrder) {
    PackCommand options = parsePack({"--msi",          "a.msi",
                                     "--transform",    "1036=fr.mst",
                                     "--out",          "setup.exe",
                                     "--transform",    "1031=C:\\de=x.mst",
                                     "--languages",    "1036;1033",
                                     "--product-name", "Name",
                                     "--product-code", "{00000000-0000-0000-0000-00000000000A}",
                                     "--version",      "1.2",
                                     "--log-path",     "C:\\log.txt",
                                     "--stub",         "stub.exe"});
    EXPECT_EQ(options.msiPath, "a.msi");
    EXPECT_EQ(options.outPath, "setup.exe");
    ASSERT_EQ(options.transforms.size(), 2u);
    EXPECT_EQ(options.transforms[0].lcid, 1036);
    EXPECT_EQ(options.transforms[0].path, "fr.mst");
    EXPECT_EQ(options.transforms[1].lcid, 1031);
    EXPECT_EQ(options.transforms[1].path, "C:\\de=x.mst"); // only the first "=" separates
    EXPECT_EQ(*options.languages, "1036;1033");
    EXPECT_EQ(*options.productName, "Name");
    EXPECT_EQ(*options.productCode, "{00000000-0000-0000-0000-00000000000A}");
    EXPECT_EQ(*options.version, "1.2");
    EXPECT_EQ(*options.logPath, "C:\\log.txt");
    EXPECT_EQ(*options.stubPath, "stub.exe");
    EXPECT_EQ(defaultLanguageList(options.transforms), "1033;1036;1031");
}

TEST(PackOptions, LeavesUnsetOptionsEmptySoThatThePackageDecides) {
    PackCommand options = parsePack({"--out", "o.exe", "--msi", "a.msi"});
    EXPECT_TRUE(options.transforms.empty());
    EXPECT_FALSE(options.languages || options.productName || options.productCode ||
                 options.version || options.logPath || options.stubPath);
    EXPECT_EQ(defaultLanguageList(options.transforms), "1033");
}

TEST(PackOptions, LanguagesAndReadyMadeTransformsShareTheLanguageList) {
    PackCommand options =
        parsePack({"--msi", "a.msi", "--language", "1036=fr.msi", "--transform", "1031=de.mst",
                   "--language", "1034=es.msi", "--translation", "1040=it.po", "--out", "o.exe"});
    ASSERT_EQ(options.transforms.size(), 4u);
    EXPECT_EQ(options.transforms[0].source, TransformInput::Localized);
    EXPECT_EQ(options.transforms[1].source, TransformInput::Transform);
    EXPECT_EQ(options.transforms[2].path, "es.msi");
    EXPECT_EQ(options.transforms[3].source, TransformInput::Translation);
    EXPECT_EQ(defaultLanguageList(options.transforms), "1033;1036;1031;1034;1040");
    try {
        parsePack({"--msi", "a.msi", "--transform", "1036=fr.mst", "--language", "1036=fr.msi",
                   "--out", "o.exe"});
        ADD_FAILURE() << "1036 twice accepted";
    } catch (const PackError& error) {
        EXPECT_EQ(error.exitCode(), packBadInput);
        EXPECT_EQ(error.input(), "--language 1036=fr.msi");
    }
}

TEST(PackOptions, MakeTransformAndExportTextsTakeThePackageTheirSourceAndTheOutput) {
    MakeTransformCommand command = parsed<MakeTransformCommand>(
        {"--make-transform", "--msi", "a.msi", "--localized", "fr.msi", "--out", "fr.mst"});
    EXPECT_EQ(command.msiPath, "a.msi");
    EXPECT_EQ(command.source.source, TransformInput::Localized);
    EXPECT_EQ(command.source.path, "fr.msi");
    EXPECT_EQ(command.outPath, "fr.mst");
    command = parsed<MakeTransformCommand>(
        {"--make-transform", "--msi", "a.msi", "--translation", "1036=fr.po", "--out", "fr.mst"});
    EXPECT_EQ(command.source.source, TransformInput::Translation);
    EXPECT_EQ(command.source.lcid, 1036);
    ExportTextsCommand texts = parsed<ExportTextsCommand>(
        {"--export-texts", "--msi", "a.msi", "--localized", "fr.msi", "--out", "fr.po"});
    EXPECT_EQ(texts.localizedPath, "fr.msi");
    EXPECT_FALSE(parsed<ExportTextsCommand>({"--export-texts", "--msi", "a.msi", "--out", "a.pot"})
                     .localizedPath);
    struct Case {
        std::vector<std::string> arguments;
        const char* input;
    } cases[] = {
        {{"--make-transform", "--msi", "a.msi", "--out", "o.mst"}, "--localized"},
        {{"--msi", "a.msi", "--localized", "fr.msi", "--out", "o.exe"}, "--localized"},
        {{"--make-transform", "--msi", "a.msi", "--localized", "fr.msi", "--language",
          "1031=de.msi", "--out", "o.mst"},
         "--make-transform"},
        {{"--make-transform", "--msi", "a.msi", "--localized", "fr.msi", "--translation",
          "1036=fr.po", "--out", "o.mst"},
         "--translation"},
        {{"--make-transform", "--msi", "a.msi", "--translation", "1036=fr.po", "--translation",
          "1031=de.po", "--out", "o.mst"},
         "--translation"},
        {{"--export-texts", "--msi", "a.msi", "--translation", "1036=fr.po", "--out", "o.po"},
         "--export-texts"},
        {{"--export-texts", "--make-transform", "--msi", "a.msi", "--localized", "fr.msi", "--out",
          "o.po"},
         "--export-texts"},
    };
    for (const Case& c : cases) {
        PackError error = parseError(c.arguments);
        EXPECT_EQ(error.exitCode(), packUsage);
        EXPECT_EQ(error.input(), c.input);
    }
}

TEST(PackOptions, MalformedCommandLinesAreUsageErrorsNamingTheOption) {
    struct Case {
        std::vector<std::string> arguments;
        const char* input;
        const char* reason;
    } cases[] = {
        {{"--msi", "a.msi", "--out", "o.exe", "--bogus"}, "--bogus", "unknown option"},
        {{"--msi", "a.msi", "--out", "o.exe", "stray"}, "stray", "unexpected argument"},
        {{"--msi", "a.msi", "--out"}, "--out", "needs a value"},
        {{"--out", "o.exe"}, "--msi", "is required"},
        {{"--msi", "a.msi"}, "--out", "is required"},
        {{"--msi", "", "--out", "o.exe"}, "--msi", "non-empty"},
        {{"--msi", "a.msi", "--msi", "b.msi", "--out", "o.exe"}, "--msi", "given twice"},
        {{"--msi", "a.msi", "--out", "o.exe", "--version", "1", "--version", "2"},
         "--version",
         "given twice"},
        {{"--msi", "a.msi", "--out", "o.exe", "--transform", "1036"},
         "--transform 1036",
         "LCID=PATH"},
        {{"--msi", "a.msi", "--out", "o.exe", "--transform", "1036="},
         "--transform 1036=",
         "LCID=PATH"},
    };
    for (const Case& c : cases) {
        PackError error = parseError(c.arguments);
        EXPECT_EQ(error.exitCode(), packUsage) << c.input;
        EXPECT_EQ(error.input(), c.input);
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
}

// --arch names x86 or x64 once, and not beside --stub, which names the stub
// itself (pack_arch checks the stub each finds).
TEST(PackOptions, ArchIsX86OrX64AndDoesNotGoWithStub) {
    struct Case {
        std::vector<std::string> arguments;
        const char* input;
        const char* reason;
    } cases[] = {
        {{"--msi", "a.msi", "--arch", "x64", "--stub", "s.exe", "--out", "o.exe"},
         "--arch",
         "does not go with --stub"},
        {{"--msi", "a.msi", "--arch", "amd64", "--out", "o.exe"}, "--arch", "x86 or x64"},
        {{"--msi", "a.msi", "--arch", "x64", "--arch", "x64", "--out", "o.exe"},
         "--arch",
         "given twice"},
        {{"--inspect", "s.exe", "--arch", "x64"}, "--inspect", "takes no packing options"},
        {{"--make-transform", "--msi", "a.msi", "--localized", "l.msi", "--arch", "x64", "--out",
          "t.mst"},
         "--make-transform",
         "takes only"},
    };
    for (const Case& c : cases) {
        PackError error = parseError(c.arguments);
        EXPECT_EQ(error.exitCode(), packUsage) << c.input;
        EXPECT_EQ(error.input(), c.input);
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
}

// Looking into a setup takes the setup (and for --extract a folder), and
// nothing that only packing uses.
TEST(PackOptions, InspectAndExtractStandAlone) {
    EXPECT_EQ(parsed<InspectCommand>({"--inspect", "setup.exe"}).path, "setup.exe");
    ExtractCommand extract = parsed<ExtractCommand>({"--extract", "setup.exe", "--out", "folder"});
    EXPECT_EQ(extract.path, "setup.exe");
    EXPECT_EQ(extract.folder, "folder");
    struct Case {
        std::vector<std::string> arguments;
        const char* input;
        const char* reason;
    } cases[] = {
        {{"--inspect", "s.exe", "--msi", "a.msi"}, "--inspect", "takes no packing options"},
        {{"--extract", "s.exe", "--out", "d", "--transform", "1036=a.mst"},
         "--extract",
         "takes no packing options"},
        {{"--inspect", "s.exe", "--stub", "stub.exe"}, "--inspect", "takes no packing options"},
        {{"--inspect", "s.exe", "--make-transform"}, "--inspect", "takes no packing options"},
        {{"--extract", "s.exe", "--out", "d", "--localized", "l.msi"},
         "--extract",
         "takes no packing options"},
        {{"--inspect", "s.exe", "--extract", "s.exe", "--out", "d"}, "--extract", "--inspect"},
        {{"--inspect", "s.exe", "--out", "d"}, "--out", "does not go with --inspect"},
        {{"--extract", "s.exe"}, "--out", "the folder to extract into"},
        {{"--inspect", "a.exe", "--inspect", "b.exe"}, "--inspect", "given twice"},
        {{"--inspect"}, "--inspect", "needs a value"},
    };
    for (const Case& c : cases) {
        PackError error = parseError(c.arguments);
        EXPECT_EQ(error.exitCode(), packUsage) << c.input;
        EXPECT_EQ(error.input(), c.input);
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
}

TEST(PackOptions, TransformsOnlyForKnownExtraLanguagesOnce) {
    struct Case {
        std::vector<std::string> transforms;
        const char* reason;
    } cases[] = {
        {{"2057=en-gb.mst"}, "not a language the setup knows"},
        {{"fr=fr.mst"}, "not a language the setup knows"},
        {{"-1036=fr.mst"}, "not a language the setup knows"},
        {{"1033=en.mst"}, "1033 is served by the package itself"},
        {{"1036=a.mst", "1031=b.mst", "1036=c.mst"}, "a second transform for language 1036"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"--msi", "a.msi", "--out", "o.exe"};
        for (const std::string& transform : c.transforms) {
            arguments.push_back("--transform");
            arguments.push_back(transform);
        }
        PackError error = parseError(arguments);
        EXPECT_EQ(error.exitCode(), packBadInput);
        EXPECT_EQ(error.input(), "--transform " + c.transforms.back());
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
    for (const char* lcid : {"1031", "1034", "1036", "1040", "1043", "1046"})
        EXPECT_NO_THROW(parsePack(
            {"--msi", "a.msi", "--out", "o.exe", "--transform", std::string(lcid) + "=t.mst"}));
}

// Either case is taken, as the Windows Installer takes it; the setup gets
// upper case.
TEST(PackOptions, ProductCodeIsABracedGuidWrittenInUpperCase) {
    for (const char* code :
         {"{01234567-89AB-CDEF-0000-FFFFFFFFFFFF}", "{01234567-89aB-cdef-0000-fFfFfFfFfFfF}"})
        EXPECT_EQ(canonicalProductCode(code, "x"), "{01234567-89AB-CDEF-0000-FFFFFFFFFFFF}");
    EXPECT_EQ(*parsePack({"--msi", "a.msi", "--out", "o.exe", "--product-code",
                          "{710f4c1c-cc18-4c49-8cbf-51240c89a1a2}"})
                   .productCode,
              "{710F4C1C-CC18-4C49-8CBF-51240C89A1A2}");
    for (const char* code : {"",
                             "C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A14",    // no braces
                             "{C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A1G}",  // not hex
                             "{c5a1e0f2-4b7d-4e19-a3c8-6d2f9b0e7a1g}",  // not hex either
                             "{C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A1}",   // one digit short
                             "{C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A145}", // one digit more
                             "{C5A1E0F24-B7D-4E19-A3C8-6D2F9B0E7A14}",  // hyphen misplaced
                             "{C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A14} ", // trailing space
                             "(C5A1E0F2-4B7D-4E19-A3C8-6D2F9B0E7A14)"}) {
        PackError error = errorOf([&] { canonicalProductCode(code, "--product-code"); });
        EXPECT_EQ(error.exitCode(), packBadInput) << code;
        EXPECT_EQ(error.input(), "--product-code");
        EXPECT_NE(std::string(error.what()).find("not a GUID"), std::string::npos) << code;
    }
}

// The grammar is version_test's; here each refusal names the option and
// the text.
TEST(PackOptions, VersionRefusalsSayWhy) {
    EXPECT_NO_THROW(checkVersion("65535.0.1.2", "--version"));
    struct Case {
        const char* version;
        const char* reason;
    } cases[] = {{"", "version is empty"},
                 {"1.2.3.4.5", "version \"1.2.3.4.5\" has more than four numbers"},
                 {"1.70000", "version \"1.70000\" is not one to four numbers 0-65535"}};
    for (const Case& c : cases) {
        PackError error = errorOf([&] { checkVersion(c.version, "--version"); });
        EXPECT_EQ(error.exitCode(), packBadInput) << c.version;
        EXPECT_EQ(error.input(), "--version");
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
}

TEST(PackOptions, LanguageListNamesKnownLanguagesOnceEach) {
    for (const char* list : {"1033", "1036;1033", "1033;1036;1031;1034;1040;1043;1046", "1046"})
        EXPECT_NO_THROW(checkLanguageList(list, "--languages")) << list;
    struct Case {
        const char* list;
        const char* reason;
    } cases[] = {
        {"", "empty"},
        {"1033;;1036", "empty entry"},
        {"1033;", "empty entry"},
        {";1033", "empty entry"},
        {"2057", "\"2057\" is not a language the setup knows"},
        {"1033;9999", "\"9999\" is not a language"},
        {" 1036", "not a language"},
        {"1036x", "not a language"},
        {"1033,1036", "not a language"},
        {"1036;1033;1036", "language 1036 is listed twice"},
    };
    for (const Case& c : cases) {
        PackError error = errorOf([&] { checkLanguageList(c.list, "--languages"); });
        EXPECT_EQ(error.exitCode(), packBadInput) << c.list;
        EXPECT_EQ(error.input(), "--languages");
        EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
    }
    // The same rules hold on the command line.
    PackError error = parseError({"--msi", "a.msi", "--out", "o.exe", "--languages", "1033;2057"});
    EXPECT_EQ(error.input(), "--languages");
}

TEST(PackOptions, VersionAloneAsksForTheProgramsAndWithPackingSetsTheSetups) {
    parsed<VersionCommand>({"--version"});
    PackCommand packing = parsePack({"--msi", "a.msi", "--version", "2.0", "--out", "o"});
    EXPECT_EQ(packing.version.value_or(""), "2.0");
    EXPECT_EQ(parseError({"--msi", "a.msi", "--out", "o", "--version"}).input(), "--version");
}

TEST(PackOptions, SigningTakesACertificateWithItsKeyOrAPkcs12FileAlone) {
    PackCommand pair =
        parsePack({"--msi", "a.msi", "--out", "o", "--sign-cert", "c.pem", "--sign-key", "k.pem",
                   "--timestamp-url", "http://t/", "--sign-ca", "ca.pem"});
    EXPECT_TRUE(pair.signing.requested());
    EXPECT_EQ(pair.signing.certPath, "c.pem");
    EXPECT_EQ(pair.signing.keyPath, "k.pem");
    EXPECT_EQ(pair.signing.timestampUrl, "http://t/");
    EXPECT_EQ(pair.signing.caPath, "ca.pem");
    EXPECT_EQ(
        parsePack({"--msi", "a.msi", "--out", "o", "--sign-pkcs12", "s.p12"}).signing.pkcs12Path,
        "s.p12");
    EXPECT_FALSE(parsePack({"--msi", "a.msi", "--out", "o"}).signing.given());

    // The other combinations are refused end to end in pack/sign_test.
    PackError both = parseError(
        {"--msi", "a.msi", "--out", "o", "--sign-pkcs12", "s.p12", "--sign-key", "k.pem"});
    EXPECT_EQ(both.exitCode(), packUsage);
    EXPECT_EQ(both.input(), "--sign-pkcs12");
    // Signing is for packing only.
    EXPECT_EQ(parseError({"--inspect", "s.exe", "--sign-pkcs12", "s.p12"}).input(), "--inspect");
    EXPECT_EQ(parseError({"--make-transform", "--msi", "a.msi", "--localized", "l.msi", "--out",
                          "t.mst", "--sign-pkcs12", "s.p12"})
                  .input(),
              "--make-transform");
}

} // namespace
