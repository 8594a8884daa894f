// The LANGUAGES text, as read from the package's resource.
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "ui/offered_languages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Text languages(reinterpret_cast<const char*>(data), size);
    List<LanguageRow> offered;
    parseOfferedLanguages(languages, offered);

    size_t pieces = 1;
    for (size_t i = 0; i < size; ++i)
        pieces += data[i] == ';';
    FUZZ_CHECK(offered.size() <= pieces);
    for (size_t i = 0; i < offered.size(); ++i) {
        int row = findLanguageRow(offered[i].lcid);
        FUZZ_CHECK(row >= 0);
        FUZZ_CHECK(offered[i].name == LanguageTable[row].name);
    }
    // The list is rebuilt, not added to.
    List<LanguageRow> again;
    parseOfferedLanguages(languages, again);
    parseOfferedLanguages(languages, again);
    FUZZ_CHECK(again.size() == offered.size());
    return 0;
}
