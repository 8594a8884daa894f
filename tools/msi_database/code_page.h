#pragma once
// Text in the code pages installer databases use, converted the same way on
// every platform: the single-byte Windows code pages 874 and 1250-1258 and
// UTF-8 (65001) by our own tables and code, the East Asian double-byte ones
// (932, 936, 949, 950) by the system (iconv or Windows' own conversion).
// Code page 0 is a neutral database: ASCII when writing; reading treats
// it as 1252, which is what Windows shows for such bytes. As in Windows,
// the unassigned bytes 0x80-0x9F of the single-byte pages stand for the C1
// control of the same number; their other unassigned bytes hold no text.
#include <cstdint>
#include <string>

namespace msi_database {

// The text in `codePage`; false when the code page cannot hold it exactly
// (no best-fit replacement) or is unknown.
bool encodeText(uint32_t codePage, const std::u16string& text, std::string& bytes);

// The text in `codePage`, each character it cannot hold written as `?`
// (how Windows writes summary texts).
std::string encodeTextReplacing(uint32_t codePage, const std::u16string& text);

// The bytes of `codePage` as UTF-16; false for bytes that are no text of
// the code page, or an unknown code page.
bool decodeText(uint32_t codePage, const std::string& bytes, std::u16string& text);

// True for the code pages whose characters take more than one byte.
bool isMultiByteCodePage(uint32_t codePage);

// The ANSI code page of a language id by its primary language; 0 when
// unknown.
uint32_t ansiCodePage(uint32_t lcid);

} // namespace msi_database
