#pragma once
// Stream names of installer databases and transforms. Names are packed:
// pairs of characters of a 64-letter alphabet (`0-9`, `A-Z`, `a-z`, `.`,
// `_`) share one UTF-16 unit 0x3800 + c1 + 64 * c2, a lone one becomes
// 0x4800 + c, other characters stay; table and pool streams start with
// U+4840.
#include <cstddef>
#include <string>

namespace msi_database {

constexpr size_t maxStreamNameUnits = 31;
constexpr char16_t tableStreamPrefix = 0x4840;

// The packed name; `table` adds the U+4840 prefix. False when the packed
// name exceeds 31 units (it is made all the same).
bool packStreamName(const std::u16string& name, bool table, std::u16string& packed);

// The name a packed one stands for, without the table prefix; `table`
// (when given) tells whether it had one.
std::u16string unpackStreamName(const std::u16string& packed, bool* table = nullptr);

// A packed name as messages show it: unpacked (`Disk2.CAB`, `_StringPool`),
// in UTF-8, control characters as \uXXXX (`\u0005SummaryInformation`).
// The compound-file reader's name hook for installer databases and
// transforms.
std::string streamNameText(const std::u16string& packed);

} // namespace msi_database
