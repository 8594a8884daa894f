#include "setup_pack/options.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "base/text_split.h"
#include "base/setup_format.h"
#include "common/ascii.h"
#include "product/version.h"

namespace {

// The pieces of `text` between the separators, cut the way the setup cuts
// its own texts.
std::vector<std::string> pieces(const std::string& text, char separator) {
    std::vector<std::string> result;
    Text remaining(text.c_str(), text.size());
    for (;;) {
        TextSplit split = splitAtFirst(remaining, separator);
        result.emplace_back(split.head.c_str(), split.head.size());
        if (split.rest.empty() && remaining.size() == split.head.size())
            return result; // no separator left
        remaining = std::move(split.rest);
    }
}

} // namespace

std::string canonicalProductCode(const std::string& code, const std::string& input) {
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    bool valid = code.size() == std::strlen(pattern);
    for (size_t i = 0; valid && i < code.size(); ++i)
        valid = pattern[i] == 'X' ? common::hexDigit(code[i]) >= 0 : code[i] == pattern[i];
    if (!valid)
        throw PackError(packBadInput, input,
                        "product code \"" + code + "\" is not a GUID in braces, like " + pattern);
    // The setup hands it to MsiGetProductInfoA as written.
    std::string upper = code;
    std::transform(upper.begin(), upper.end(), upper.begin(), common::upperAscii<char>);
    return upper;
}

bool sameProductCode(const std::string& a, const std::string& b) {
    return common::equalIgnoringAsciiCase(a, b);
}

void checkVersion(const std::string& version, const std::string& input) {
    switch (strictVersionFault(Text(version.c_str(), version.size()))) {
    case VersionFault::None:
        return;
    case VersionFault::Empty:
        throw PackError(packBadInput, input, "version is empty");
    case VersionFault::MoreThanFourNumbers:
        throw PackError(packBadInput, input,
                        "version \"" + version + "\" has more than four numbers");
    case VersionFault::NotNumbers:
        break;
    }
    throw PackError(packBadInput, input,
                    "version \"" + version +
                        "\" is not one to four numbers 0-65535 separated by dots");
}

int32_t checkLanguage(const std::string& lcidText, const std::string& input) {
    int32_t lcid = -1;
    const char* end = lcidText.data() + lcidText.size();
    std::from_chars_result read = std::from_chars(lcidText.data(), end, lcid);
    if (read.ec != std::errc() || read.ptr != end || !setup_format::isKnownLanguage(lcid)) {
        std::string known;
        for (int32_t language : setup_format::knownLanguages)
            known += (known.empty() ? "" : ", ") + std::to_string(language);
        throw PackError(packBadInput, input,
                        "\"" + lcidText + "\" is not a language the setup knows (" + known + ")");
    }
    return lcid;
}

void checkLanguageList(const std::string& languages, const std::string& input) {
    if (languages.empty())
        throw PackError(packBadInput, input, "the language list is empty");
    std::vector<int32_t> seen;
    for (const std::string& part : pieces(languages, setup_format::languageListSeparator)) {
        if (part.empty())
            throw PackError(packBadInput, input,
                            "the language list \"" + languages + "\" has an empty entry");
        int32_t lcid = checkLanguage(part, input);
        if (std::find(seen.begin(), seen.end(), lcid) != seen.end())
            throw PackError(packBadInput, input, "language " + part + " is listed twice");
        seen.push_back(lcid);
    }
}

std::string defaultLanguageList(const std::vector<TransformInput>& transforms) {
    std::string list = std::to_string(setup_format::baseLanguage);
    for (const TransformInput& transform : transforms)
        list += setup_format::languageListSeparator + std::to_string(transform.lcid);
    return list;
}
