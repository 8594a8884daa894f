// The PE header fields setup-pack reads and the checksum it writes.
#include <gtest/gtest.h>

#include <vector>

#include "pe/checksum.h"
#include "pe/image.h"

namespace {

void put16(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
    bytes[offset] = static_cast<unsigned char>(value & 0xFF);
    bytes[offset + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void put32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value) {
    put16(bytes, offset, value & 0xFFFF);
    put16(bytes, offset + 2, value >> 16);
}

// A DOS header pointing at "PE\0\0" at 0x80, a file header and an optional
// header of the given magic with 16 data directories; the certificate
// table's entry set.
std::vector<unsigned char> headers(uint32_t magic, uint32_t certificateOffset,
                                   uint32_t certificateSize) {
    const size_t pe = 0x80, optional = pe + 24;
    const size_t directories = magic == 0x10B ? 96 : 112, optionalSize = directories + 16 * 8;
    std::vector<unsigned char> bytes(optional + optionalSize + 64, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    put32(bytes, 0x3C, pe);
    bytes[pe] = 'P';
    bytes[pe + 1] = 'E';
    put16(bytes, pe + 20, optionalSize);
    put16(bytes, optional, magic);
    put32(bytes, optional + directories - 4, 16);
    put32(bytes, optional + directories + 4 * 8, certificateOffset);
    put32(bytes, optional + directories + 4 * 8 + 4, certificateSize);
    return bytes;
}

TEST(PeImage, FindsTheChecksumAndTheCertificateTableInBothHeaderKinds) {
    for (uint32_t magic : {0x10Bu, 0x20Bu}) {
        SCOPED_TRACE(magic);
        pe::PeLayout layout;
        ASSERT_TRUE(
            pe::readPeLayout(headers(magic, 0, 0).data(), headers(magic, 0, 0).size(), layout));
        EXPECT_EQ(layout.checksumOffset, 0x80u + 24 + 64);
        EXPECT_EQ(layout.certificateOffset, 0u);
        EXPECT_EQ(layout.certificateSize, 0u);
        std::vector<unsigned char> signedImage = headers(magic, 0x12345, 0x678);
        ASSERT_TRUE(pe::readPeLayout(signedImage.data(), signedImage.size(), layout));
        EXPECT_EQ(layout.certificateOffset, 0x12345u);
        EXPECT_EQ(layout.certificateSize, 0x678u);
    }
}

TEST(PeImage, RefusesWhatIsNoProgramAndEveryCutOffHeader) {
    std::vector<unsigned char> good = headers(0x10B, 0, 0);
    pe::PeLayout layout;
    // Cut anywhere inside the headers (AddressSanitizer sees any read past).
    for (size_t size = 0; size < 0x80 + 24 + 96 + 16 * 8; ++size) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + size);
        EXPECT_FALSE(pe::readPeLayout(cut.data(), cut.size(), layout)) << size;
    }
    auto broken = [&](size_t offset, unsigned char value) {
        std::vector<unsigned char> bytes = good;
        bytes[offset] = value;
        return !pe::readPeLayout(bytes.data(), bytes.size(), layout);
    };
    EXPECT_TRUE(broken(0, 'X'));          // no MZ
    EXPECT_TRUE(broken(0x80 + 1, 'X'));   // no PE signature
    EXPECT_TRUE(broken(0x80 + 24, 0x07)); // unknown optional header magic
    EXPECT_TRUE(broken(0x3F, 0x7F));      // PE header far beyond the file
    // Fewer data directories than the certificate table's: none.
    std::vector<unsigned char> few = headers(0x10B, 0x100, 0x10);
    put32(few, 0x80 + 24 + 92, 4);
    ASSERT_TRUE(pe::readPeLayout(few.data(), few.size(), layout));
    EXPECT_EQ(layout.certificateSize, 0u);
}

TEST(PeImage, ChecksumIsTheFoldedWordSumWithoutItsOwnFieldPlusTheLength) {
    // 0x0201 + 0x0003 (odd last byte alone) + length 3.
    std::vector<unsigned char> odd = {0x01, 0x02, 0x03};
    EXPECT_EQ(pe::peChecksum(odd.data(), odd.size(), 100), 0x0204u + 3);
    // 0xFFFF + 0x0002 carries round into 0x0002; + length 4.
    std::vector<unsigned char> carry = {0xFF, 0xFF, 0x02, 0x00};
    EXPECT_EQ(pe::peChecksum(carry.data(), carry.size(), 100), 0x0002u + 4);
    // The stored checksum does not count, whatever it holds.
    std::vector<unsigned char> image = headers(0x10B, 0, 0);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<unsigned char>(image[i] ^ (i * 37));
    const size_t field = 0x80 + 24 + 64;
    put32(image, field, 0);
    uint32_t expected = pe::peChecksum(image.data(), image.size(), field);
    uint32_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        sum += image[i] | image[i + 1] << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    EXPECT_EQ(expected, sum + image.size());
    for (uint32_t stored : {0x00000001u, 0xFFFFFFFFu, 0x8000FFFFu, expected}) {
        put32(image, field, stored);
        EXPECT_EQ(pe::peChecksum(image.data(), image.size(), field), expected) << stored;
    }
}

} // namespace
