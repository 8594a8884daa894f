// pe_write STUB OUT [TYPE NAME LANGUAGE FILE]...: OUT is STUB with each
// FILE set as a resource through pe::ImageWriter. A TYPE or NAME of digits
// is an id, anything else a name. For the tests that hand the result to
// readers we did not write (the loader, objdump, osslsigncode).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>
#include <string>

#include "pe/image_writer.h"

namespace {

common::Bytes readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw common::FormatError(std::string("cannot open ") + path);
    return common::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

pe::ResourceName parseName(const std::string& text) {
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return pe::resourceId(static_cast<uint16_t>(std::stoul(text)));
    return pe::resourceName(text.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (argc - 3) % 4 != 0) {
        std::fprintf(stderr, "usage: pe_write STUB OUT [TYPE NAME LANGUAGE FILE]...\n");
        return 1;
    }
    try {
        common::Bytes stubBytes = readFile(argv[1]);
        pe::Image stub(stubBytes);
        pe::ImageWriter writer(stub);
        std::list<common::Bytes> data; // stays where it is while the writer views it
        for (int i = 3; i < argc; i += 4) {
            data.push_back(readFile(argv[i + 3]));
            writer.setResource(parseName(argv[i]), parseName(argv[i + 1]),
                               static_cast<uint16_t>(std::stoul(argv[i + 2])), data.back());
        }
        std::ofstream out(argv[2], std::ios::binary);
        for (const pe::ImageWriter::Piece& piece : writer.build())
            out.write(reinterpret_cast<const char*>(piece.data()),
                      static_cast<std::streamsize>(piece.size()));
        if (!out.flush())
            throw common::FormatError(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pe_write: %s\n", error.what());
        return 2;
    }
    return 0;
}
