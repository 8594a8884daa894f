#pragma once
// The summary information property set (`\005SummaryInformation`) of
// packages, transforms and patches: one section of the standard format id,
// properties by id. Strings stay the bytes of the code page the set's
// property 1 gives; the caller decodes them (code_page.h).
#include <cstdint>
#include <map>
#include <string>

#include "common/bytes.h"
#include "common/format_error.h"

namespace msi_database {

struct SummaryProperty {
    enum Kind { I2 = 2, I4 = 3, String = 30, FileTime = 64 } kind = I4;
    int32_t number = 0;    // I2 (sign-extended: a code page is `number & 0xFFFF`), I4
    std::string text;      // String, without its terminating zero
    uint64_t fileTime = 0; // FileTime
};
using Summary = std::map<uint32_t, SummaryProperty>;

// The ids of the properties that installer files give (a namespace of their
// own, for a user to take all at once).
inline namespace summary_ids {
enum : uint32_t {
    pidCodePage = 1,
    pidTitle = 2,
    pidSubject = 3,
    pidAuthor = 4,
    pidKeywords = 5,
    pidComments = 6,
    pidTemplate = 7,
    pidLastSavedBy = 8,
    pidRevision = 9, // a package's package code
    pidCreated = 12,
    pidPageCount = 14,
    pidCharCount = 16,
    pidAppName = 18,
    pidSecurity = 19,
};
} // namespace summary_ids

// The property set, properties in ascending id order.
common::Bytes summaryStream(const Summary& properties);

// The properties of the set's first section of the summary format id, of
// the four kinds above; properties of other types are left out. Throws
// FormatError for a broken set (offsets or sizes past the stream, no
// summary section).
Summary readSummary(common::ByteView stream);

// The string property `pid` as stored; null when the set has none.
const std::string* summaryString(const Summary& summary, uint32_t pid);

} // namespace msi_database
