// stub_resources PROGRAM: prints every resource of a Windows program, one
// line each in the loader's order: type, name, language, size, SHA-256. A
// manifest's line ends with the processor its assembly names instead of the
// digest, so that the same program built for two processors lists alike
// but for that word. Exits 2 naming the reason for a file it cannot read.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/format_error.h"
#include "pe/resources.h"
#include "setup_pack/sha256.h"

namespace {

std::string nameText(const pe::ResourceName& name) {
    if (!name.isName())
        return std::to_string(name.id);
    std::string text;
    for (char16_t unit : name.name)
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return text;
}

// The processorArchitecture of the manifest's own assemblyIdentity.
std::string manifestProcessor(const common::ByteView& data) {
    std::string manifest(reinterpret_cast<const char*>(data.data), data.size);
    size_t identity = manifest.find("<assemblyIdentity");
    size_t end = manifest.find('>', identity);
    size_t field = manifest.find("processorArchitecture=\"", identity);
    if (identity == std::string::npos || field == std::string::npos || field > end)
        return "(no processor)";
    field += 23;
    return manifest.substr(field, manifest.find('"', field) - field);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stub_resources PROGRAM\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (!in.eof() && !in) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 2;
    }
    try {
        pe::Image image(common::ByteView(bytes.data(), bytes.size()));
        for (const pe::Resource& r : image.resources()) {
            const bool manifest = !r.type.isName() && r.type.id == 24;
            std::printf("%s %s %u %zu %s\n", nameText(r.type).c_str(), nameText(r.name).c_str(),
                        r.language, r.data.size,
                        manifest ? manifestProcessor(r.data).c_str()
                                 : sha256Hex(r.data.data, r.data.size).c_str());
        }
    } catch (const common::FormatError& error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
        return 2;
    }
    return 0;
}
