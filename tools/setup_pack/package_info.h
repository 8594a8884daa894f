#pragma once
// What setup-pack reads from the input files: their bytes, whether they are
// compound files (the container of installer databases and transforms), and
// the product's properties from the package's Property table.
#include <string>
#include <vector>

struct PackageInfo {
    std::string productCode;
    std::string productName;
    std::string productVersion;
};

// The largest input file: the setup maps its whole image into a 32-bit
// address space, where a larger package would not fit.
const long long maxInputBytes = 1LL << 30;

// The whole file; throws PackError (packBadInput) naming the path when it
// cannot be opened or read, or is larger than maxInputBytes (checked before
// anything is read).
std::vector<unsigned char> readInputFile(const std::string& path);

// Throws PackError naming the path unless the bytes start with the compound
// file signature D0 CF 11 E0 A1 B1 1A E1; `kind` says what was expected.
void checkCompoundFile(const std::vector<unsigned char>& bytes, const std::string& path,
                       const char* kind);

// ProductCode, ProductName and ProductVersion of the package, read through
// the Windows Installer's database functions. Throws PackError naming the
// path when the database cannot be opened or a property is missing or empty.
PackageInfo readPackageInfo(const std::string& path);
