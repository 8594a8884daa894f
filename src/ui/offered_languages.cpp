#include "ui/offered_languages.h"

#include <utility>

#include "base/decimal.h"
#include "base/setup_format.h"
#include "base/text_split.h"

void parseOfferedLanguages(const Text& languages, List<LanguageRow>& offered) {
    offered.clear();
    Text remaining = languages;
    while (!remaining.empty()) {
        TextSplit split = splitAtFirst(remaining, setup_format::languageListSeparator);
        // A number beyond 32 bits saturates, and no row has a saturated value.
        int32_t lcid = readDecimal(split.head.c_str(), split.head.size());
        addOfferedLanguage(lcid, offered);
        remaining = std::move(split.rest);
    }
}

void addOfferedLanguage(int32_t lcid, List<LanguageRow>& offered) {
    for (const LanguageRow& row : LanguageTable)
        if (row.lcid == lcid)
            offered.add(row);
}

bool offersLanguage(const List<LanguageRow>& offered, int32_t lcid) {
    for (size_t i = 0; i < offered.size(); ++i)
        if (offered[i].lcid == lcid)
            return true;
    return false;
}
