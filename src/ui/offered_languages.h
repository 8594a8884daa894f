#pragma once

#include "base/list.h"
#include "ui/languages.h"

// The languages named by a LANGUAGES text ("1033;1036;..."), in its order,
// as copies of their LanguageTable rows; unknown or empty pieces are skipped.
void parseOfferedLanguages(const Text& languages, List<LanguageRow>& offered);

// Adds the LanguageTable row of `lcid` to `offered`; nothing when no row
// has it.
void addOfferedLanguage(int32_t lcid, List<LanguageRow>& offered);

// The languages that the package offers, from its LANGUAGES resource; the
// package's own language alone when the resource cannot be read.
void offeredLanguages(List<LanguageRow>& offered);

// Whether `offered` holds the language `lcid`.
bool offersLanguage(const List<LanguageRow>& offered, int32_t lcid);
