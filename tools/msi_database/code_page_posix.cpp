// The double-byte code pages through iconv (glibc, macOS).
#include "msi_database/code_page_tables.h"

#include <algorithm>
#include <iterator>
#include <iconv.h>

namespace msi_database {

namespace {

// The names iconv knows the Windows code pages by; the second is a spare.
struct IconvNames {
    uint32_t codePage;
    const char* name;
    const char* spare;
};
const IconvNames iconvNames[] = {{932, "CP932", nullptr},
                                 {936, "CP936", "GBK"},
                                 {949, "CP949", nullptr},
                                 {950, "CP950", nullptr}};

// Whole input or nothing: false on any byte or character the other side
// lacks, and on a conversion iconv calls irreversible.
bool convert(uint32_t codePage, bool toCodePage, const std::string& input, std::string& output) {
    auto names =
        std::find_if(std::begin(iconvNames), std::end(iconvNames),
                     [codePage](const IconvNames& known) { return known.codePage == codePage; });
    if (names == std::end(iconvNames))
        return false;
    const char *name = names->name, *spare = names->spare;
    iconv_t converter = toCodePage ? iconv_open(name, "UTF-16LE") : iconv_open("UTF-16LE", name);
    if (converter == reinterpret_cast<iconv_t>(-1) && spare)
        converter = toCodePage ? iconv_open(spare, "UTF-16LE") : iconv_open("UTF-16LE", spare);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    output.assign(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* out = &output[0];
    size_t outLeft = output.size();
    bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) == 0 &&
              iconv(converter, nullptr, nullptr, &out, &outLeft) == 0;
    iconv_close(converter);
    output.resize(output.size() - outLeft);
    return ok && inLeft == 0;
}

} // namespace

bool systemEncode(uint32_t codePage, const std::u16string& text, std::string& bytes) {
    std::string units;
    for (char16_t unit : text) {
        units += static_cast<char>(unit & 0xFF);
        units += static_cast<char>(unit >> 8);
    }
    std::u16string back;
    // Only an exact mapping: the bytes must give the text back.
    return convert(codePage, true, units, bytes) && systemDecode(codePage, bytes, back) &&
           back == text;
}

bool systemDecode(uint32_t codePage, const std::string& bytes, std::u16string& text) {
    std::string units;
    if (!convert(codePage, false, bytes, units) || units.size() % 2)
        return false;
    for (size_t i = 0; i < units.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(units[i]) |
                                      static_cast<unsigned char>(units[i + 1]) << 8);
    return true;
}

} // namespace msi_database
