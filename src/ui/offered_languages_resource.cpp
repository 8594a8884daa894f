#include "base/setup_format.h"
#include "state/string_resource.h"
#include "ui/offered_languages.h"

void offeredLanguages(List<LanguageRow>& offered) {
    Text languages;
    if (readStringResource(setup_format::languagesResource, languages))
        return parseOfferedLanguages(languages, offered);
    offered.clear();
    addOfferedLanguage(setup_format::baseLanguage, offered);
}
