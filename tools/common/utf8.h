#pragma once
// UTF-8 (every text setup-pack keeps, its command line and its messages) and
// UTF-16 (what Windows, resources and installer databases hold), converted
// the same way on every host. Strict forms refuse what is not well-formed;
// the lenient one is for showing a text read from a file as it is.
#include <string>

namespace common {

// False, leaving `utf16` unspecified, for any ill-formed UTF-8: a stray or
// missing continuation byte, an overlong form, a surrogate code point or one
// beyond U+10FFFF.
bool utf8ToUtf16(const std::string& utf8, std::u16string& utf16);

// False, leaving `utf8` unspecified, for an unpaired surrogate.
bool utf16ToUtf8(const std::u16string& utf16, std::string& utf8);

// UTF-8 of a UTF-16 text, each unpaired surrogate shown as U+FFFD.
std::string toUtf8(const std::u16string& utf16);

// Throws common::FormatError for ill-formed UTF-8.
std::u16string toUtf16(const std::string& utf8);

// The text with every byte that is not part of well-formed UTF-8 shown as
// \xNN, for naming a bad argument in a message that stays valid UTF-8.
std::string showBytes(const std::string& text);

} // namespace common
