#pragma once
// The stub that setup-pack fills, and the writing of the filled copy.
#include <string>
#include <vector>

// One RT_RCDATA resource (language 1033) to put into the setup.
struct PackResource {
    std::string name;
    std::vector<unsigned char> data;
};

// The text as the setup stores it: UTF-16LE converted from UTF-8, with its
// NUL terminator as part of the data.
std::vector<unsigned char> wideTextResource(const std::string& text);

// The stub beside setup-pack.exe.
std::string defaultStubPath();

// Throws PackError (packBadInput) naming the path unless it is an empty
// stub of this setup program: a Windows module that carries the language
// dialog (RT_DIALOG 129, language 1033) and the manifest (RT_MANIFEST 1)
// with the assembly name "Setup", and no PACKAGEFILE yet; a filled setup
// would keep the resources of its earlier package. A signed stub is refused
// too: the packed copy would carry a signature that no longer matches.
void checkStub(const std::string& path);

// Copies the stub into a temporary file beside `outPath` (made writable),
// writes the resources and then the true PE checksum into the copy and moves it onto `outPath`
// (replacing a file that is there). Nothing appears at `outPath` unless every step succeeded; the
// temporary file is removed on failure. Throws PackError (packWriteFailed).
void writeSetup(const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources);

// The absolute form of a path, for telling whether two paths name the same
// file (compared without regard to case, as the file system does).
std::string fullPath(const std::string& path);
bool samePath(const std::string& a, const std::string& b);
