#pragma once
// What setup.exe and setup-pack agree on: the names of the resources the
// packer writes and the setup reads, the names the setup gives the files it
// writes, the languages both know and the limits both check. The stub and
// the packer include this one header; neither writes a name down again.
// Pure: no Windows types, no standard library beyond fixed-width integers,
// so that the stub (no C++ run time) and setup-pack (any host) share it.
#include <stddef.h>
#include <stdint.h>

namespace setup_format {

// Every resource of a packed setup is RT_RCDATA (10) in this language.
constexpr uint16_t resourceType = 10;         // RT_RCDATA
constexpr uint16_t resourceLanguage = 0x0409; // English (United States)

// The package itself, byte for byte.
constexpr const char packageResource[] = "PACKAGEFILE";
// UTF-16LE texts with their terminator; the setup reads them as ANSI.
constexpr const char packageNameResource[] = "PACKAGENAME";
constexpr const char productCodeResource[] = "PRODUCTCODE";
constexpr const char productNameResource[] = "PRODUCTNAME";
constexpr const char versionResource[] = "VERSION";
constexpr const char languagesResource[] = "LANGUAGES"; // "1033;1036;..."
constexpr const char logPathResource[] = "LOGPATH";     // optional

// The language dialog and the manifest that mark the empty stub.
constexpr uint16_t dialogType = 5;      // RT_DIALOG
constexpr uint16_t setupDialogId = 129; // IDD_SETUP
constexpr uint16_t manifestType = 24;   // RT_MANIFEST
constexpr uint16_t manifestId = 1;
constexpr const char manifestAssemblyName[] = "Setup";

// The language the package itself serves; every other one takes a transform.
constexpr int32_t baseLanguage = 1033;
constexpr char languageListSeparator = ';';

// The languages the setup knows, in the order of its tables.
constexpr int32_t knownLanguages[] = {1033, 1036, 1031, 1034, 1040, 1043, 1046};
constexpr size_t knownLanguageCount = sizeof knownLanguages / sizeof knownLanguages[0];

constexpr bool isKnownLanguage(int32_t lcid) {
    for (size_t i = 0; i < knownLanguageCount; ++i)
        if (knownLanguages[i] == lcid)
            return true;
    return false;
}

// The largest package or transform: the setup maps its whole image into a
// 32-bit address space, where a larger one would not fit.
constexpr uint64_t maxPayloadBytes = uint64_t(1) << 30;

// Longest resource name the packer writes and the setup reads ("LANG" and
// up to ten digits); longer names are never one of ours.
constexpr size_t maxResourceNameLength = 14;

// A transform's resource: "LANG" and the decimal LCID ("LANG1036").
constexpr const char transformResourcePrefix[] = "LANG";
// A transform's file name: the LCID with at least four digits, and ".MST"
// ("1036.MST", "0999.MST").
constexpr const char transformFileSuffix[] = ".MST";
constexpr size_t transformNameCapacity = 16; // either name with its NUL

namespace detail {
// Writes `value` (>= 0) in decimal, at least `width` digits, at `out`;
// returns the number of characters written (at most 10).
inline size_t writeDecimal(uint32_t value, size_t width, char* out) {
    char digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < sizeof digits);
    while (count < width && count < sizeof digits)
        digits[count++] = '0';
    for (size_t i = 0; i < count; ++i)
        out[i] = digits[count - 1 - i];
    return count;
}
} // namespace detail

// Fills `out` (transformNameCapacity chars) with the resource name of the
// transform of `lcid`; a negative LCID counts as 0.
inline void transformResourceName(int32_t lcid, char* out) {
    size_t at = 0;
    for (const char* p = transformResourcePrefix; *p; ++p)
        out[at++] = *p;
    at += detail::writeDecimal(lcid < 0 ? 0u : static_cast<uint32_t>(lcid), 1, out + at);
    out[at] = '\0';
}

// Fills `out` (transformNameCapacity chars) with the file name the setup
// writes the transform of `lcid` under.
inline void transformFileName(int32_t lcid, char* out) {
    size_t at = detail::writeDecimal(lcid < 0 ? 0u : static_cast<uint32_t>(lcid), 4, out);
    for (const char* p = transformFileSuffix; *p; ++p)
        out[at++] = *p;
    out[at] = '\0';
}

// The LCID a resource name carries when it is a transform's ("LANG" and 1 to
// 10 decimal digits, at most INT32_MAX); 0 for any other name.
inline int32_t transformResourceLcid(const char* name, size_t length) {
    const size_t prefix = sizeof transformResourcePrefix - 1;
    if (length <= prefix || length > prefix + 10)
        return 0;
    for (size_t i = 0; i < prefix; ++i)
        if (name[i] != transformResourcePrefix[i])
            return 0;
    uint64_t lcid = 0;
    for (size_t i = prefix; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        lcid = lcid * 10 + static_cast<uint64_t>(name[i] - '0');
    }
    return lcid > 0x7FFFFFFF ? 0 : static_cast<int32_t>(lcid);
}

} // namespace setup_format
