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

// Both kinds: bytes that hold no headers are no program (setup-pack says so),
// headers whose tables do not fit are a broken one.
TEST(PeImage, RefusesWhatIsNoProgramAndEveryCutOffHeader) {
    for (uint32_t magic : {0x10Bu, 0x20Bu}) {
        SCOPED_TRACE(magic);
        const size_t directories = 0x80 + 24 + (magic == 0x10B ? 96 : 112);
        std::vector<unsigned char> good = headers(magic, 0, 0);
        pe::PeLayout layout;
        // Cut anywhere inside the headers (AddressSanitizer sees any read past).
        for (size_t size = 0; size < directories + 16 * 8; ++size) {
            std::vector<unsigned char> cut(good.begin(), good.begin() + size);
            EXPECT_FALSE(pe::readPeLayout(cut.data(), cut.size(), layout)) << size;
        }
        auto kind = [&](std::vector<unsigned char> bytes) {
            try {
                pe::readHeaders(bytes);
                return "read";
            } catch (const pe::NotAProgram&) {
                return "no program";
            } catch (const common::FormatError&) {
                return "broken";
            }
        };
        auto changed = [&](size_t offset, uint32_t value) {
            std::vector<unsigned char> bytes = good;
            put32(bytes, offset, value);
            return bytes;
        };
        EXPECT_STREQ(kind(good), "read");
        EXPECT_STREQ(kind(changed(0, 0x5A58)), "no program");        // no MZ
        EXPECT_STREQ(kind(changed(0x80, 0x14550)), "no program");    // "PE\1\0"
        EXPECT_STREQ(kind(changed(0x80 + 24, 0x107)), "no program"); // unknown magic
        EXPECT_STREQ(kind(changed(0x3C, 0x7FFFFFFF)), "no program"); // PE header far out
        EXPECT_STREQ(kind(changed(0x80 + 20, 0x5F)), "no program");  // no room for the count
        EXPECT_STREQ(kind(changed(directories - 4, 17)), "broken");  // directories run past
        EXPECT_STREQ(kind(changed(0x80 + 4, 0x00090000)), "broken"); // sections run past
        // Fewer data directories than the certificate table's: none.
        std::vector<unsigned char> few = headers(magic, 0x100, 0x10);
        put32(few, directories - 4, 4);
        ASSERT_TRUE(pe::readPeLayout(few.data(), few.size(), layout));
        EXPECT_EQ(layout.certificateSize, 0u);
    }
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
