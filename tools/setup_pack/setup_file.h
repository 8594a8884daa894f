#pragma once
// The stub that setup-pack fills, and the writing of the filled copy.
#include <string>
#include <vector>

#include "common/bytes.h"
#include "common/file_io.h"
#include "pe/resources.h"

// One RT_RCDATA resource (language 1033) to put into the setup; its bytes
// live until the setup is written.
struct PackResource {
    std::string name;
    common::ByteView data;
};

// The text as the setup stores it: UTF-16LE converted from UTF-8, with its
// NUL terminator as part of the data.
common::Bytes wideTextResource(const std::string& text);

// The stub `name` (setup.exe, setup-x64.exe) beside the program, else
// ../share/setup-pack/`name` from the program's folder (where the Linux
// package installs it); the first when neither exists, for the message.
std::string defaultStubPath(const std::string& name = "setup.exe");

// Throws PackError (packBadInput) naming the path unless `stub` is an empty
// stub of this setup program: a Windows program that carries the language
// dialog (RT_DIALOG 129, language 1033) and the manifest (RT_MANIFEST 1)
// with the assembly name "Setup", and no package yet (a filled setup would
// keep the resources of its earlier package). A signed stub is refused too:
// the packed copy would carry a signature that no longer matches.
void checkStub(const pe::Image& stub, const std::string& path);

// The stub's image, read from its bytes; throws PackError (packBadInput)
// naming the path when they are no Windows program or a broken one.
pe::Image readProgram(common::ByteView bytes, const std::string& path);

// Writes the stub with the resources added as `outPath`, through a
// temporary file beside it that replaces `outPath` only when complete; the
// parts that lie in one of `sources` (the mapped package) are read from
// that file in bounded pieces, once, never through the mapping, so that the
// memory held does not grow with the package. Throws PackError:
// packBadInput naming the stub when it cannot take the resources,
// packWriteFailed naming `outPath` when reading or writing fails.
void writeSetup(const pe::Image& stub, const std::string& stubPath, const std::string& outPath,
                const std::vector<PackResource>& resources,
                const std::vector<const common::MappedFile*>& sources);
