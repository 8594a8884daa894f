// --version alone: the program's version and the stubs it fills by
// default: the 32-bit one, which it needs, and the x86-64 one of --arch x64
// where it is there.
#include "common/file_io.h"
#include "setup_pack/package_info.h"
#include "setup_pack/run_commands.h"
#include "setup_pack/setup_file.h"
#include "setup_pack/sha256.h"

#ifndef SETUP_PACK_VERSION
#error "SETUP_PACK_VERSION: the build passes the project's version"
#endif

namespace {

std::string stubLine(const std::string& path) {
    std::unique_ptr<common::MappedFile> stub = mapInput(path);
    return path + ", SHA-256 " + sha256Hex(stub->bytes().data, stub->bytes().size) + "\n";
}

} // namespace

int runCommand(const VersionCommand&) {
    using common::Output;
    common::print(Output::Standard, "setup-pack " SETUP_PACK_VERSION "\n");
    common::print(Output::Standard, "stub: " + stubLine(defaultStubPath()));
    std::string x64Path = defaultStubPath(stubFileName(StubArch::x64));
    common::print(Output::Standard, common::isFile(x64Path)
                                        ? "stub x64: " + stubLine(x64Path)
                                        : "stub x64: none at " + x64Path + "\n");
    return packSuccess;
}
