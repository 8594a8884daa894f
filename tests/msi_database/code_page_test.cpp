// The code pages of installer database texts: our single-byte tables
// against the system's own conversion (iconv here, Windows' own under
// Wine), each byte back to itself; the double-byte pages and UTF-8 exact
// or refused, never best fit.
#include <gtest/gtest.h>

#include <string>

#include "msi_database/code_page.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

using namespace msi_database;

// The system's UTF-16 unit for one byte; false when it gives none or more.
bool systemUnit(uint32_t codePage, unsigned char byte, char16_t& unit) {
#ifdef _WIN32
    char in = static_cast<char>(byte);
    wchar_t out[4];
    int count = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &in, 1, out, 4);
    unit = count == 1 ? static_cast<char16_t>(out[0]) : 0;
    return count == 1;
#else
    iconv_t converter = iconv_open("UTF-16LE", ("CP" + std::to_string(codePage)).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    char in[1] = {static_cast<char>(byte)}, out[8];
    char *inAt = in, *outAt = out;
    size_t inLeft = 1, outLeft = sizeof out;
    // 1255 and 1258 hold back combining marks until the next character.
    bool ok = iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) &&
              outLeft == sizeof out - 2;
    iconv_close(converter);
    unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 static_cast<unsigned char>(out[1]) << 8);
    return ok;
#endif
}

TEST(CodePage, SingleByteTablesAgreeWithTheSystemAndGiveEachByteBack) {
    for (uint32_t codePage :
         {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u}) {
        int compared = 0, defined = 0;
        for (int byte = 0; byte < 256; ++byte) {
            std::string bytes(1, static_cast<char>(byte)), back;
            std::u16string text;
            if (!decodeText(codePage, bytes, text)) {
                EXPECT_GE(byte, 0xA0) << codePage << " leaves a control byte undefined";
                continue;
            }
            ++defined;
            ASSERT_EQ(text.size(), 1u);
            EXPECT_TRUE(encodeText(codePage, text, back) && back == bytes)
                << codePage << ": byte " << byte << " does not come back";
            char16_t unit;
            if (systemUnit(codePage, static_cast<unsigned char>(byte), unit)) {
                EXPECT_EQ(unit, text[0]) << codePage << ": byte " << byte;
                ++compared;
            }
        }
        EXPECT_GE(compared, 25) << codePage;
        EXPECT_GE(defined, 224) << codePage;
    }
    // Windows gives 1252's five unassigned bytes as the C1 controls; a
    // neutral pool reads as 1252 but writes only ASCII.
    std::u16string text;
    EXPECT_TRUE(decodeText(1252, "\x81\x8D\x8F\x90\x9D", text));
    EXPECT_EQ(text, u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_TRUE(decodeText(0, "\x80\xE9", text));
    EXPECT_EQ(text, u"\u20AC\u00E9");
    std::string bytes;
    EXPECT_FALSE(encodeText(0, u"\u00E9", bytes));
}

TEST(CodePage, DoubleByteAndUtf8AreExactOrRefused) {
    const std::pair<uint32_t, std::u16string> texts[] = {
        {932, u"\u30CF\u30ED\u30FC \u0416"},    {936, u"\u7B80\u4F53\u4E2D\u6587"},
        {949, u"\uD55C\uAD6D\uC5B4"},           {950, u"\u7E41\u9AD4\u4E2D\u6587"},
        {65001, u"Gr\u00FC\u00DFe \U0001F600"},
    };
    for (const auto& sample : texts) {
        std::string bytes;
        std::u16string back;
        ASSERT_TRUE(encodeText(sample.first, sample.second, bytes)) << sample.first;
        EXPECT_GT(bytes.size(), sample.second.size()) << sample.first;
        ASSERT_TRUE(decodeText(sample.first, bytes, back)) << sample.first;
        EXPECT_EQ(back, sample.second) << sample.first;
    }
    std::string bytes;
    EXPECT_FALSE(encodeText(936, u"\u00AE", bytes)); // no best fit for the registered sign
    EXPECT_EQ(encodeTextReplacing(936, u"Setup\u00AE \u5B89"), "Setup? \xB0\xB2");
    EXPECT_EQ(encodeTextReplacing(1252, u"\u00C9t\u00E9 \u0416\U0001F600"), "\xC9t\xE9 ??");
    EXPECT_FALSE(encodeText(65001, u"a\xD800", bytes)); // a lone surrogate
    EXPECT_EQ(encodeTextReplacing(65001, u"a\xD800z"), "a?z");
    std::u16string text;
    EXPECT_FALSE(decodeText(65001, "\xC0\x80", text));     // overlong
    EXPECT_FALSE(decodeText(65001, "\xED\xA0\x80", text)); // a surrogate
    EXPECT_FALSE(decodeText(65001, "\xE3\x83", text));     // cut short
    EXPECT_FALSE(decodeText(932, "\x83", text));
    EXPECT_FALSE(decodeText(1200, "a", text)); // no code page of ours
}

} // namespace
