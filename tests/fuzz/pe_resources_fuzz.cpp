// pe::Image over any bytes: no crash, no read past the input. What it reads
// and pe::ImageWriter takes is written with a resource replaced and two
// added; the result reads back with exactly those resources, of the same
// kind (PE32 or PE32+) and machine, with the same base relocations where
// its directory now says, carries its true checksum, and the writer takes
// it again.
#include <map>
#include <tuple>

#include "fuzz_check.h"
#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_writer.h"

namespace {

using Key = std::tuple<bool, uint16_t, std::u16string, bool, uint16_t, std::u16string, uint16_t>;
Key key(const pe::ResourceName& type, const pe::ResourceName& name, uint16_t language) {
    return Key(type.isName(), type.id, type.name, name.isName(), name.id, name.name, language);
}

// As the writer stores a name it is given (the stub's own stay as they are).
pe::ResourceName stored(pe::ResourceName n) {
    for (char16_t& unit : n.name)
        unit = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
    return n;
}

// The bytes the base relocation directory names, in the section that holds
// them; empty when there are none.
common::Bytes relocations(const common::Bytes& file) {
    pe::Headers headers = pe::readHeaders(file);
    pe::DataDirectory table = headers.directory(pe::relocationDirectory);
    for (const pe::Section& s : headers.sections) {
        uint64_t offset = uint64_t(table.address) - s.virtualAddress;
        if (table.size != 0 && table.address >= s.virtualAddress && offset < s.rawSize &&
            table.size <= s.rawSize - offset)
            return common::Bytes(file.begin() + s.rawOffset + offset,
                                 file.begin() + s.rawOffset + offset + table.size);
    }
    return common::Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    common::Bytes bytes(data, data + size); // exact size: AddressSanitizer sees a read past
    std::map<Key, common::Bytes> expected;
    std::vector<pe::ImageWriter::Piece> pieces;
    const common::Bytes package(1001, 0xA5), text = {'t', 0};
    try {
        pe::Image image(bytes);
        for (const pe::Resource& r : image.resources())
            expected[key(r.type, r.name, r.language)].assign(r.data.begin(), r.data.end());
        pe::ImageWriter writer(image);
        if (!image.resources().empty()) {
            const pe::Resource& first = image.resources().front();
            writer.setResource(first.type, first.name, first.language, text);
            expected[key(stored(first.type), stored(first.name), first.language)] = text;
        }
        writer.setResource(pe::resourceId(10), pe::resourceName("PACKAGEFILE"), 1033, package);
        writer.setResource(pe::resourceName("FUZZ"), pe::resourceId(1), 0, text);
        expected[key(pe::resourceId(10), pe::resourceName("PACKAGEFILE"), 1033)] = package;
        expected[key(pe::resourceName("FUZZ"), pe::resourceId(1), 0)] = text;
        pieces = writer.build();
    } catch (const common::FormatError&) {
        return 0; // refused: fine for any input
    }
    common::Bytes out;
    for (const pe::ImageWriter::Piece& piece : pieces)
        out.insert(out.end(), piece.data(), piece.data() + piece.size());
    std::map<Key, common::Bytes> found;
    pe::PeLayout layout;
    try {
        pe::Image written(out);
        for (const pe::Resource& r : written.resources())
            found[key(r.type, r.name, r.language)].assign(r.data.begin(), r.data.end());
        pe::Headers before = pe::readHeaders(bytes);
        FUZZ_CHECK(written.headers().plus == before.plus);
        FUZZ_CHECK(written.headers().machine == before.machine);
        FUZZ_CHECK(relocations(out) == relocations(bytes));
        pe::ImageWriter again(written);
    } catch (const common::FormatError&) {
        FUZZ_CHECK(!"the written image reads back and can be written again");
    }
    FUZZ_CHECK(found == expected);
    FUZZ_CHECK(pe::readPeLayout(out.data(), out.size(), layout));
    FUZZ_CHECK(common::readLe32(&out[layout.checksumOffset]) ==
               pe::peChecksum(out.data(), out.size(), layout.checksumOffset));
    return 0;
}
