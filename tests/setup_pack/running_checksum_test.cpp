// The PE checksum summed piece by piece as setup-pack writes a setup: every
// split of a file gives pe::peChecksum of the whole.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pe/checksum.h"
#include "setup_pack/running_checksum.h"

namespace {

uint32_t inPieces(const std::vector<uint8_t>& file, uint64_t field,
                  const std::vector<size_t>& cuts) {
    RunningChecksum checksum(field);
    size_t at = 0;
    for (size_t cut : cuts) {
        checksum.add(common::ByteView(file.data() + at, cut - at));
        at = cut;
    }
    checksum.add(common::ByteView(file.data() + at, file.size() - at));
    return checksum.value();
}

TEST(RunningChecksum, AnySplitGivesTheChecksumOfTheWhole) {
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> file(1 + random() % 300);
        // Mostly 0xFF in some rounds: sums that pass 0xFFFF many times.
        const bool high = round % 3 == 0;
        for (uint8_t& byte : file)
            byte = static_cast<uint8_t>(high && random() % 4 ? 0xFF : random());
        // The field anywhere, at its end, past it, or far away.
        const uint64_t field = round % 7 == 0 ? file.size() + 1000 : random() % (file.size() + 5);
        std::vector<size_t> cuts;
        for (size_t at = 0; at < file.size(); at += 1 + random() % 9)
            cuts.push_back(at);
        ASSERT_EQ(inPieces(file, field, cuts),
                  pe::peChecksum(file.data(), file.size(), static_cast<size_t>(field)))
            << "round " << round << ", field " << field;
    }
}

TEST(RunningChecksum, FoldsAsTheWholeFileDoes) {
    // 0xFFFF words fold to 0xFFFF, never to 0, however they are cut; zeros
    // stay 0; a sum of 0x10000 carries into 1.
    std::vector<uint8_t> ones(1000, 0xFF), zeros(1001, 0), carry = {0xFF, 0xFF, 0x01, 0x00};
    for (const std::vector<uint8_t>* file : {&ones, &zeros, &carry})
        for (size_t cut = 0; cut <= file->size(); ++cut)
            EXPECT_EQ(inPieces(*file, 4000, {cut}),
                      pe::peChecksum(file->data(), file->size(), 4000))
                << "cut at " << cut;
    EXPECT_EQ(inPieces(ones, 4000, {1, 2, 3}), 0xFFFFu + 1000);
    EXPECT_EQ(inPieces(carry, 4000, {1, 3}), 1u + 4);
    // The field's bytes count as zero when pieces cut through it.
    std::vector<uint8_t> field = {1, 0, 0xAA, 0xBB, 0xCC, 0xDD, 2, 0};
    EXPECT_EQ(inPieces(field, 2, {3, 4, 5}), 3u + 8);
    EXPECT_EQ(inPieces(field, 2, {1, 7}), 3u + 8);
    RunningChecksum empty(0);
    empty.add(common::ByteView());
    EXPECT_EQ(empty.value(), 0u);
}

} // namespace
