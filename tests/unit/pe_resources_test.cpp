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

const size_t optional = 0x58, directories = optional + 96, sections = optional + 0xE0;

// A PE32 program: .text, .rsrc (an empty tree), .reloc; 0x200 file and
// 0x1000 section alignment. `marker` fills .reloc's data.
Bytes program(uint8_t marker = 0x5A) {
    Bytes b(0x800, 0);
    b[0] = 'M', b[1] = 'Z', b[0x3C] = 0x40;
    b[0x40] = 'P', b[0x41] = 'E', b[0x46] = 3, b[0x54] = 0xE0;
    common::putLe16(&b[optional], 0x10B);
    putLe32(&b[optional + 16], 0x1000); // entry point
    putLe32(&b[optional + 32], 0x1000); // section alignment
    putLe32(&b[optional + 36], 0x200);  // file alignment
    putLe32(&b[optional + 56], 0x4000); // size of image
    putLe32(&b[optional + 92], 16);     // data directories
    putLe32(&b[directories + 16], 0x2000), putLe32(&b[directories + 20], 16);
    putLe32(&b[directories + 40], 0x3000), putLe32(&b[directories + 44], 0x200);
    const uint32_t flags[] = {0x60000020, 0x40000040, 0x42000040};
    for (uint32_t i = 0; i < 3; ++i) {
        uint8_t* s = &b[sections + 40 * i];
        putLe32(s + 8, 0x200), putLe32(s + 12, 0x1000 * (i + 1));
        putLe32(s + 16, 0x200), putLe32(s + 20, 0x200 * (i + 1)), putLe32(s + 36, flags[i]);
    }
    std::fill(b.begin() + 0x600, b.end(), marker);
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

TEST(PeResources, WrittenTreeReadsBackInTheLoadersOrderWithRelocationsMoved) {
    Bytes stub = program();
    Bytes big(3 * 1024 * 1024 + 1);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7 + (i >> 13));
    Bytes one = {1}, nine(9, 9), replaced = {'r', 'e'};
    pe::Image image(stub);
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
        bigViewed |= piece.isView && piece.view.data == big.data() && piece.size() == big.size();
    EXPECT_TRUE(bigViewed) << "the large resource was copied";
    Bytes out = join(pieces);
    EXPECT_EQ(out, join(writer.build())) << "two builds differ";
    EXPECT_EQ(readLe32(&out[optional + 64]), pe::peChecksum(out.data(), out.size(), optional + 64));

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

    // .reloc follows the grown .rsrc, in the file and in memory, and its
    // directory and the image size follow it.
    uint32_t relocRva = readLe32(&out[sections + 80 + 12]),
             relocRaw = readLe32(&out[sections + 100]);
    uint32_t rsrcEnd = 0x2000 + readLe32(&out[sections + 48]);
    EXPECT_EQ(relocRva, (rsrcEnd + 0xFFF) & ~0xFFFu);
    EXPECT_EQ(relocRaw, 0x400 + readLe32(&out[sections + 56]));
    EXPECT_EQ(readLe32(&out[directories + 40]), relocRva);
    EXPECT_EQ(readLe32(&out[optional + 56]), relocRva + 0x1000);
    ASSERT_EQ(out.size(), relocRaw + 0x200u);
    EXPECT_EQ(Bytes(out.begin() + relocRaw, out.end()), Bytes(0x200, 0x5A));
}

TEST(PeResources, RefusesBrokenTreesAndProgramsItCannotRewrite) {
    Bytes data = {1, 2, 3}, stub = program();
    pe::Image image(stub);
    pe::ImageWriter writer(image);
    writer.setResource(pe::resourceId(10), pe::resourceName("N"), 1033, data);
    writer.setResource(pe::resourceId(11), pe::resourceName("N"), 1033, data);
    const Bytes good = join(writer.build());
    // The root (types 10, 11 -> name tables at 0x20, 0x38), language tables
    // at 0x50 and 0x68.
    const size_t tree = 0x400;
    auto reads = [](const Bytes& bytes) {
        try {
            pe::Image image(bytes);
            return true;
        } catch (const common::FormatError&) {
            return false;
        }
    };
    auto changed = [&](size_t at, uint32_t value) {
        Bytes bytes = good;
        putLe32(&bytes[at], value);
        return bytes;
    };
    ASSERT_TRUE(reads(good));
    EXPECT_FALSE(reads(changed(tree + 28, 0x80000020))) << "a name table shared by two types";
    EXPECT_FALSE(reads(changed(tree + 0x20 + 16, 0x80000000 | 0x7FFFFFF0))) << "name far out";
    // The section ends in the data {1, 2, 3}: a name there is 0x302 units long.
    uint32_t end = readLe32(&good[sections + 48]);
    EXPECT_FALSE(reads(changed(tree + 0x20 + 16, 0x80000000 | (end - 2)))) << "name too long";
    EXPECT_FALSE(reads(changed(tree + 12, 0x7FFF0000))) << "more entries than the section holds";
    uint32_t dataEntry = readLe32(&good[tree + 0x50 + 20]);
    EXPECT_FALSE(reads(changed(tree + dataEntry + 4, 0x10000))) << "data beyond its section";
    EXPECT_FALSE(reads(changed(0x3C, 0x7FFFFFF0))) << "PE header far out";
    for (size_t cut : {size_t(0x30), sections + 50, size_t(0x500)})
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
    Bytes signedProgram = changed(directories + 32, 0x600);
    putLe32(&signedProgram[directories + 36], 0x100);
    EXPECT_EQ(pe::Image(signedProgram).certificateSize(), 0x100u);
    EXPECT_TRUE(refusesToWrite(signedProgram)) << "signed";
    EXPECT_TRUE(refusesToWrite(changed(sections + 80 + 36, 0x40000040))) << "kept .reloc";
    EXPECT_TRUE(refusesToWrite(changed(directories + 48, 0x3000 + 0x10))) << "debug in .reloc";
    EXPECT_THROW(writer.setResource(pe::resourceId(10), {0, u"\u00e9"}, 0, data),
                 common::FormatError);
}

} // namespace
