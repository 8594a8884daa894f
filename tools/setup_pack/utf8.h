#pragma once
// setup-pack keeps every text as UTF-8 in std::string and speaks UTF-16 to
// the system: these convert at the edge, so no text ever passes through the
// packing machine's ANSI code page.
#include <string>

// UTF-16 of a UTF-8 text; invalid sequences become U+FFFD.
std::wstring widen(const std::string& utf8);

// UTF-8 of a UTF-16 text; unpaired surrogates become U+FFFD.
std::string narrow(const std::wstring& utf16);
