#pragma once

#include "base/text.h"

// Reads the UTF-16 text resource `name` (one that setup-pack writes) into
// `field` in the ANSI code page. Returns false, and leaves the field alone,
// when the resource is absent or empty.
bool readStringResource(const char* name, Text& field);

// Replaces `field` by the ANSI form of `length` UTF-16 code units.
void wideToAnsi(const wchar_t* text, size_t length, Text& field);
