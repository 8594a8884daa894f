#pragma once
// Inside msi_database: the conversion tables of the single-byte code pages
// and the system's conversion of the double-byte ones.
#include <cstdint>
#include <string>

namespace msi_database {

// Bytes 0x80-0xFF of code page 874 or 1250-1258 as UTF-16 (0: undefined);
// null for other code pages.
const char16_t* singleByteTable(uint32_t codePage);

// The East Asian code pages 932, 936, 949 and 950, converted by the system
// (code_page_posix.cpp, code_page_windows.cpp). Both false for text or bytes
// the code page cannot hold exactly, and for other code pages.
bool systemEncode(uint32_t codePage, const std::u16string& text, std::string& bytes);
bool systemDecode(uint32_t codePage, const std::string& bytes, std::u16string& text);

} // namespace msi_database
