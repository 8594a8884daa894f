#pragma once
// The values of setup-pack's options, checked without any file: product
// code, version, languages and language lists.
#include <cstdint>
#include <string>
#include <vector>

#include "setup_pack/pack_error.h"

struct TransformInput {
    // --transform: a ready-made transform; --language: a localized package
    // to make it from; --translation: a translated PO file of the texts.
    enum Source { Transform, Localized, Translation } source = Transform;
    int32_t lcid = 0;
    std::string path;
};

// The product code as the setup carries it: `code`, a GUID in braces
// ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}) with hex digits in either case,
// given back with upper-case digits, the form the Windows Installer writes
// (it compares GUIDs without regard to case). Throws PackError
// (packBadInput) naming `input` for anything else.
std::string canonicalProductCode(const std::string& code, const std::string& input);

// Whether two product codes are one to the Windows Installer: the same text
// but for the case of its letters.
bool sameProductCode(const std::string& a, const std::string& b);

// One to four dot-separated decimal numbers, each 0 to 65535
// (strictVersionFault). The setup itself accepts any non-empty text, but
// reads a piece above 65535 into the neighbouring half of the version pair
// and stops at an empty piece, so such texts would compare wrongly against
// the installed version.
void checkVersion(const std::string& version, const std::string& input);

// The LCID of a language that the setup knows; throws otherwise.
int32_t checkLanguage(const std::string& lcidText, const std::string& input);

// A ";"-separated list of known LCIDs without empty entries or repetitions.
void checkLanguageList(const std::string& languages, const std::string& input);

// "1033" followed by the transforms' LCIDs in their order, joined by ";".
std::string defaultLanguageList(const std::vector<TransformInput>& transforms);
