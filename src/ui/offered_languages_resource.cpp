#include "state/string_resource.h"
#include "ui/offered_languages.h"

void offeredLanguages(List<LanguageRow>& offered) {
    Text languages;
    if (!readStringResource("LANGUAGES", languages))
        languages = "1033";
    parseOfferedLanguages(languages, offered);
}
