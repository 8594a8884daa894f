// pe::Image and pe::ImageWriter on a small program made here: the writer's
// output read back, and what either refuses. (The loader reads the writer's
// output in tests/pe.)
#include <gtest/gtest.h>

#include "pe/checksum.h"
#include "pe/image.h"
#include "pe/image_writer.h"

using common::Bytes;
using common::putLe32;
using common::readLe32;

namespace {

// Where the headers of program() lie: the optional header is longer in
// PE32+ (8-byte ImageBase and stack and heap sizes), so its data
// directories and the section table start later.
const size_t optional = 0x58;
struct Layout {
    explicit Layout(bool plus)
        : directories(optional + (plus ? 112 : 96)), sections(optional + (plus ? 0xF0 : 0xE0)) {}
    size_t directories, sections;
};

// A PE32 or PE32+ program: .text, .rsrc (an empty tree), .reloc; 0x200
// file and 0x1000 section alignment. .reloc holds one block of base
// relocations for .text (DIR64 in PE32+, HIGHLOW in PE32) and then
// `marker` bytes that no directory covers.
Bytes program(bool plus, uint8_t marker = 0x5A) {
    const Layout l(plus);
    Bytes b(0x800, 0);
    b[0] = 'M', b[1] = 'Z', b[0x3C] = 0x40;
    b[0x40] = 'P', b[0x41] = 'E', b[0x46] = 3;
    common::putLe16(&b[0x44], plus ? 0x8664 : 0x14C);
    common::putLe16(&b[0x54], static_cast<uint16_t>(l.sections - optional));
    common::putLe16(&b[optional], plus ? 0x20B : 0x10B);
    putLe32(&b[optional + 8], 0x400);   // size of initialized data
    putLe32(&b[optional + 16], 0x1000); // entry point
    if (plus)
        common::putLe64(&b[optional + 24], 0x140000000);
    else
        putLe32(&b[optional + 28], 0x400000);
    putLe32(&b[optional + 32], 0x1000); // section alignment
    putLe32(&b[optional + 36], 0x200);  // file alignment
    putLe32(&b[optional + 56], 0x4000); // size of image
    putLe32(&b[l.directories - 4], 16); // data directories
    putLe32(&b[l.directories + 16], 0x2000), putLe32(&b[l.directories + 20], 16);
    putLe32(&b[l.directories + 40], 0x3000), putLe32(&b[l.directories + 44], 16);
    const uint32_t flags[] = {0x60000020, 0x40000040, 0x42000040};
    for (uint32_t i = 0; i < 3; ++i) {
        uint8_t* s = &b[l.sections + 40 * i];
        putLe32(s + 8, 0x200), putLe32(s + 12, 0x1000 * (i + 1));
        putLe32(s + 16, 0x200), putLe32(s + 20, 0x200 * (i + 1)), putLe32(s + 36, flags[i]);
    }
    std::fill(b.begin() + 0x600, b.end(), marker);
    const uint16_t kind = plus ? 0xA000 : 0x3000;
    putLe32(&b[0x600], 0x1000), putLe32(&b[0x604], 16);
    common::putLe16(&b[0x608], kind | 0x010), common::putLe16(&b[0x60A], kind | 0x018);
    common::putLe16(&b[0x60C], kind | 0xFF0), common::putLe16(&b[0x60E], 0); // padding
    return b;
}

Bytes join(const std::vector<pe::ImageWriter::Piece>& pieces) {
    Bytes out;
    for (const auto& piece : pieces)
        out.insert(out.end(), piece.data(), piece.data() + piece.size());
    return out;
}

std::string text(const pe::ResourceName& n) {
    return n.isName() ? std::string(n.name.begin(), n.name.end()) : std::to_string(n.id);
}

// The writer on both kinds of image: what it wrote reads back in the
// loader's order; of the headers only the fields that must follow the new
// .rsrc changed (a field written at the other kind's offset would show);
// .reloc, its block unchanged, follows the grown .rsrc with its directory.
TEST(PeResources, WrittenTreeReadsBackInTheLoadersOrderWithRelocationsMoved) {
    Bytes big(3 * 1024 * 1024 + 1);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7 + (i >> 13));
    Bytes one = {1}, nine(9, 9), replaced = {'r', 'e'};
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        const Layout l(plus);
        Bytes stub = program(plus);
        pe::Image image(stub);
        EXPECT_EQ(image.headers().plus, plus);
        pe::ImageWriter writer(image);
        writer.setResource(pe::resourceId(10), pe::ResourceName{0, u"lang1036"}, 1033, nine);
        writer.setResource(pe::resourceId(10), pe::resourceName("A_B"), 1033, one);
        writer.setResource(pe::resourceId(10), pe::resourceId(7), 1033, Bytes());
        writer.setResource(pe::resourceId(10), pe::resourceName("PACKAGEFILE"), 1033, big);
        writer.setResource(pe::resourceId(10), pe::resourceName("AZ"), 1033, one);
        writer.setResource(pe::resourceName("Zt"), pe::resourceId(1), 1036, nine);
        writer.setResource(pe::resourceName("Zt"), pe::resourceId(1), 1033, one);
        writer.setResource(pe::resourceId(10), pe::ResourceName{0, u"az"}, 1033, replaced);
        std::vector<pe::ImageWriter::Piece> pieces = writer.build();
        bool bigViewed = false;
        for (const auto& piece : pieces)
            bigViewed |=
                piece.isView && piece.view.data == big.data() && piece.size() == big.size();
        EXPECT_TRUE(bigViewed) << "the large resource was copied";
        Bytes out = join(pieces);
        EXPECT_EQ(out, join(writer.build())) << "two builds differ";
        EXPECT_EQ(readLe32(&out[optional + 64]),
                  pe::peChecksum(out.data(), out.size(), optional + 64));

        pe::Image written(out);
        std::string order;
        for (const pe::Resource& r : written.resources()) {
            order += text(r.type) + "/" + text(r.name) + "/" + std::to_string(r.language) + " ";
            EXPECT_EQ(reinterpret_cast<uintptr_t>(r.data.data) % 8, 0u) << order;
        }
        EXPECT_EQ(order, "ZT/1/1033 ZT/1/1036 10/AZ/1033 10/A_B/1033 10/LANG1036/1033 "
                         "10/PACKAGEFILE/1033 10/7/1033 ");
        const pe::Resource* package =
            written.find(pe::resourceId(10), pe::resourceName("PACKAGEFILE"), 1033);
        ASSERT_NE(package, nullptr);
        EXPECT_TRUE(std::equal(big.begin(), big.end(), package->data.data, package->data.end()));
        const pe::Resource* az = written.find(pe::resourceId(10), pe::resourceName("AZ"), 1033);
        ASSERT_NE(az, nullptr);
        EXPECT_EQ(Bytes(az->data.begin(), az->data.end()), replaced);

        const size_t rsrcEntry = l.sections + 40, relocEntry = l.sections + 80;
        uint32_t relocRva = readLe32(&out[relocEntry + 12]),
                 relocRaw = readLe32(&out[relocEntry + 20]);
        uint32_t rsrcRaw = readLe32(&out[rsrcEntry + 16]);
        EXPECT_EQ(relocRva, (0x2000 + readLe32(&out[rsrcEntry + 8]) + 0xFFF) & ~0xFFFu);
        EXPECT_EQ(relocRaw, 0x400 + rsrcRaw);
        EXPECT_EQ(readLe32(&out[l.directories + 40]), relocRva);
        EXPECT_EQ(readLe32(&out[optional + 56]), relocRva + 0x1000) << "SizeOfImage";
        EXPECT_EQ(readLe32(&out[optional + 8]), 0x400 + rsrcRaw - 0x200) << "initialized data";
        ASSERT_EQ(out.size(), relocRaw + 0x200u);
        EXPECT_EQ(Bytes(out.begin() + relocRaw, out.end()),
                  Bytes(stub.begin() + 0x600, stub.end()));
        const size_t changes[] = {optional + 8,       optional + 56,      optional + 64,
                                  l.directories + 20, l.directories + 40, rsrcEntry + 8,
                                  rsrcEntry + 16,     relocEntry + 12,    relocEntry + 20};
        for (size_t at = 0; at < l.sections + 120; ++at) {
            bool allowed = false;
            for (size_t field : changes)
                allowed |= at - field < 4;
            EXPECT_TRUE(allowed || out[at] == stub[at]) << "header byte " << at << " changed";
        }
    }
}

// What the reader refuses in either kind: cut files, a tree that loops or
// whose tables overlap, names and data out of the section; what the writer
// refuses: signed, kept .reloc, another directory in it, base relocations
// that adjust the resources or are broken.
TEST(PeResources, RefusesBrokenTreesAndProgramsItCannotRewrite) {
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        const Layout l(plus);
        Bytes data = {1, 2, 3}, stub = program(plus);
        pe::Image image(stub);
        pe::ImageWriter writer(image);
        writer.setResource(pe::resourceId(10), pe::resourceName("N"), 1033, data);
        writer.setResource(pe::resourceId(11), pe::resourceName("N"), 1033, data);
        const Bytes good = join(writer.build());
        // The root (types 10, 11 -> name tables at 0x20, 0x38), language
        // tables at 0x50 and 0x68.
        const size_t tree = 0x400;
        auto reads = [](const Bytes& bytes) {
            try {
                pe::Image image(bytes);
                return true;
            } catch (const common::FormatError&) {
                return false;
            }
        };
        auto changed = [&](const Bytes& from, size_t at, uint32_t value) {
            Bytes bytes = from;
            putLe32(&bytes[at], value);
            return bytes;
        };
        ASSERT_TRUE(reads(good));
        EXPECT_FALSE(reads(changed(good, tree + 20, 0x80000000))) << "the root contains itself";
        EXPECT_FALSE(reads(changed(good, tree + 28, 0x80000020))) << "a name table shared";
        EXPECT_FALSE(reads(changed(good, tree + 28, 0x80000028))) << "name tables overlap";
        EXPECT_FALSE(reads(changed(good, tree + 0x20 + 16, 0x80000000 | 0x7FFFFFF0)))
            << "name far out";
        // The section ends in the data {1, 2, 3}: a name there is 0x302 units long.
        uint32_t end = readLe32(&good[l.sections + 48]);
        EXPECT_FALSE(reads(changed(good, tree + 0x20 + 16, 0x80000000 | (end - 2))))
            << "name too long";
        EXPECT_FALSE(reads(changed(good, tree + 12, 0x7FFF0000)))
            << "more entries than the section holds";
        uint32_t dataEntry = readLe32(&good[tree + 0x50 + 20]);
        EXPECT_FALSE(reads(changed(good, tree + dataEntry + 4, 0x10000))) << "data beyond";
        EXPECT_FALSE(reads(changed(good, 0x3C, 0x7FFFFFF0))) << "PE header far out";
        // The other kind's optional header length leaves PE32+ no room for
        // its 16 directories.
        Bytes shorter = good;
        common::putLe16(&shorter[0x54], 0xE0);
        EXPECT_EQ(reads(shorter), !plus) << "optional header of PE32's length";
        for (size_t cut : {size_t(0x30), size_t(0x58 + 100), l.sections + 50, size_t(0x500)})
            EXPECT_FALSE(reads(Bytes(good.begin(), good.begin() + cut))) << cut;

        auto refusesToWrite = [](const Bytes& bytes) {
            try {
                pe::Image image(bytes);
                pe::ImageWriter refused(image);
                return false;
            } catch (const common::FormatError&) {
                return true;
            }
        };
        EXPECT_FALSE(refusesToWrite(good));
        Bytes signedProgram = changed(good, l.directories + 32, 0x600);
        putLe32(&signedProgram[l.directories + 36], 0x100);
        EXPECT_EQ(pe::Image(signedProgram).certificateSize(), 0x100u);
        EXPECT_TRUE(refusesToWrite(signedProgram)) << "signed";
        EXPECT_TRUE(refusesToWrite(changed(good, l.sections + 80 + 36, 0x40000040)))
            << "kept .reloc";
        EXPECT_TRUE(refusesToWrite(changed(good, l.directories + 48, 0x3000 + 0x10)))
            << "debug in .reloc";
        EXPECT_TRUE(refusesToWrite(changed(good, l.sections + 12, 0x5000))) << ".text above .rsrc";
        // The block's last entry adjusts .text's last bytes: 4 in PE32, 8
        // in PE32+; 4 bytes later it reaches into .rsrc in PE32+ only.
        const size_t relocations = readLe32(&good[l.sections + 80 + 20]);
        const uint16_t kind = plus ? 0xA000 : 0x3000;
        auto lastEntry = [&](uint16_t entry) {
            Bytes bytes = good;
            common::putLe16(&bytes[relocations + 12], entry);
            return bytes;
        };
        EXPECT_FALSE(refusesToWrite(lastEntry(kind | (plus ? 0xFF8 : 0xFFC))));
        EXPECT_EQ(refusesToWrite(lastEntry(kind | 0xFFC)), plus) << "across into .rsrc";
        EXPECT_TRUE(refusesToWrite(changed(good, relocations, 0x2000))) << "block for .rsrc";
        EXPECT_TRUE(refusesToWrite(changed(good, relocations + 4, 0))) << "empty block";
        EXPECT_TRUE(refusesToWrite(changed(good, relocations + 4, 18))) << "block runs past";
        EXPECT_TRUE(refusesToWrite(lastEntry(0x7010))) << "unknown kind";
        EXPECT_THROW(writer.setResource(pe::resourceId(10), {0, u"\u00e9"}, 0, data),
                     common::FormatError);
    }
}

} // namespace
