// tools/common: UTF-8 against the system's own converter, and the file layer
// as setup-pack relies on it (nothing left by an abandoned output, the size
// limit before mapping, reads in pieces that give the file's bytes and
// checksum, one file however spelt).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/file_io.h"
#include "common/utf8.h"
#include "pe/checksum.h"
#include "setup_pack/running_checksum.h"

namespace {

// The system's UTF-8 decoder: false for what it refuses.
bool systemUtf16(const std::string& utf8, std::u16string& utf16) {
    utf16.assign(utf8.size() + 1, u'\0');
#ifdef _WIN32
    int units = utf8.empty() ? 0
                             : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                                   static_cast<int>(utf8.size()),
                                                   reinterpret_cast<wchar_t*>(&utf16[0]),
                                                   static_cast<int>(utf16.size()));
    if (units == 0 && !utf8.empty())
        return false;
    utf16.resize(static_cast<size_t>(units));
    return true;
#else
    iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
    char* in = const_cast<char*>(utf8.data());
    char* out = reinterpret_cast<char*>(&utf16[0]);
    size_t inLeft = utf8.size(), outLeft = utf16.size() * 2;
    bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    utf16.resize(utf16.size() - outLeft / 2);
    return ok && inLeft == 0;
#endif
}

TEST(Utf8, AgreesWithTheSystemOnEveryScalarValueAndOnRandomBytes) {
    // Every scalar value, spelt by the system: ours reads it and writes it back.
    std::u16string all;
    for (char32_t point = 1; point <= 0x10FFFF; ++point) {
        if (point >= 0xD800 && point <= 0xDFFF)
            continue;
        if (point < 0x10000) {
            all += static_cast<char16_t>(point);
        } else {
            all += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            all += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    std::string utf8;
    ASSERT_TRUE(common::utf16ToUtf8(all, utf8));
    std::u16string system, ours;
    ASSERT_TRUE(systemUtf16(utf8, system));
    EXPECT_TRUE(system == all);
    ASSERT_TRUE(common::utf8ToUtf16(utf8, ours));
    EXPECT_TRUE(ours == all);

    // Short strings of mostly high bytes: overlong forms, surrogates, values
    // past U+10FFFF, cut sequences. Both must take or refuse the same ones.
    std::mt19937 random(20);
    int valid = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string bytes(1 + random() % 4, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random() % 4 ? 0x80 + random() % 0x80 : random() % 0x80);
        bool systemTakes = systemUtf16(bytes, system);
        ASSERT_EQ(common::utf8ToUtf16(bytes, ours), systemTakes) << common::showBytes(bytes);
        if (systemTakes) {
            ++valid;
            ASSERT_TRUE(ours == system) << common::showBytes(bytes);
        }
    }
    EXPECT_GT(valid, 1000);
    EXPECT_FALSE(common::utf16ToUtf8(u"a\xD800z", utf8));
    EXPECT_EQ(common::toUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(common::showBytes("Caf\xE9 \xC5\x81"), "Caf\\xE9 \xC5\x81");
}

class FileLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = common::joinPath(WORK_DIR,
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder); // an earlier run's files
        common::createFolder(WORK_DIR);
        common::createFolder(folder);
        common::createFolder(folder); // an existing folder is fine
    }
    std::string path(const char* name) const { return common::joinPath(folder, name); }
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    size_t entries() const {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            count += entry.exists();
        return count;
    }
    std::string folder;
};

TEST_F(FileLayer, OutputAppearsWholeOrNotAtAll) {
    const std::string target = path("out.bin");
    std::ofstream(target, std::ios::binary) << "earlier";
    std::string big(common::OutputFile::writePiece * 2 + 12345, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 / 3);
    {
        common::OutputFile abandoned(target);
        abandoned.write(common::ByteView(reinterpret_cast<const uint8_t*>(big.data()), big.size()));
    } // destroyed without commit: as if the run failed
    EXPECT_EQ(contents(target), "earlier");
    const std::string source = path("source.bin");
    std::ofstream(source, std::ios::binary) << big;
    {
        // Writes of more than one system call's piece, then one field put
        // in last: the bytes come out in that order.
        common::MappedFile mapped(source, big.size());
        common::OutputFile out(target);
        out.write(mapped.bytes().slice(0, 1000));
        out.write(mapped.bytes().slice(1000, big.size() - 2000));
        out.write(mapped.bytes().slice(big.size() - 1000, 1000));
        out.writeAt(3, common::ByteView(reinterpret_cast<const uint8_t*>("FIELD"), 5));
        out.commit();
    }
    big.replace(3, 5, "FIELD");
    EXPECT_TRUE(contents(target) == big);
    std::remove(source.c_str());
    // Only the target is in the folder: no temporary file is left.
    EXPECT_EQ(entries(), 1u);
    EXPECT_THROW(common::OutputFile(path("absent") + common::pathSeparator + "x"),
                 common::SystemError);
#ifndef _WIN32
    // A pipe (or a device: /dev/null) as the target stays what it is.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    EXPECT_THROW(common::OutputFile(path("pipe")), common::SystemError);
    struct stat pipe;
    ASSERT_EQ(::stat(path("pipe").c_str(), &pipe), 0);
    EXPECT_TRUE(S_ISFIFO(pipe.st_mode));
    EXPECT_EQ(entries(), 2u);
#endif
}

TEST_F(FileLayer, MappedFilesAreCheckedAgainstTheirLimitFirst) {
    const std::string file = path("input.bin");
    std::ofstream(file, std::ios::binary) << "0123456789";
    EXPECT_EQ(common::MappedFile(file, 10).bytes().size, 10u);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(common::MappedFile(file, 10).bytes().data), 10),
        "0123456789");
    try {
        common::MappedFile tooLarge(file, 9);
        ADD_FAILURE() << "a file over its limit was mapped";
    } catch (const common::FileTooLarge& error) {
        EXPECT_EQ(error.size(), 10u);
    }
    std::ofstream(path("empty.bin"), std::ios::binary);
    EXPECT_EQ(common::MappedFile(path("empty.bin"), 0).bytes().size, 0u);
    for (const std::string& bad : {path("absent.bin"), folder}) {
        try {
            common::MappedFile mapped(bad, 100);
            ADD_FAILURE() << bad << " was mapped";
        } catch (const common::SystemError& error) {
            EXPECT_EQ(std::string(error.what()).find("cannot open"), 0u) << error.what();
        }
    }
}

TEST_F(FileLayer, PiecesReadFromTheFileGiveItsBytesAndChecksum) {
    // Larger than the system's pieces and odd, random, so that a piece read
    // from the wrong offset or twice shows in both the bytes and the sum.
    std::string bytes(3 * common::OutputFile::writePiece + 12347, '\0');
    std::mt19937 random(3);
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    const std::string source = path("source.bin"), target = path("out.bin");
    std::ofstream(source, std::ios::binary) << bytes;
    common::MappedFile mapped(source, bytes.size());
    const common::ByteView whole = mapped.bytes();
    // The field at 1000, cut by the pieces ending at 1001 and 1002.
    const size_t field = 1000;
    const size_t sizes[] = {1, 1000, 1, 3, 65537, 4093, common::OutputFile::writePiece + 1, 2};
    RunningChecksum checksum(field);
    std::vector<uint8_t> buffer(common::OutputFile::writePiece + 1);
    {
        common::OutputFile out(target);
        size_t at = 0;
        for (size_t i = 0; at < whole.size; ++i) {
            size_t size = std::min(sizes[i % (sizeof sizes / sizeof sizes[0])], whole.size - at);
            mapped.read(whole.slice(at, size), buffer.data());
            checksum.add(common::ByteView(buffer.data(), size));
            out.write(common::ByteView(buffer.data(), size));
            at += size;
        }
        out.commit();
    }
    EXPECT_EQ(checksum.value(),
              pe::peChecksum(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), field));
    EXPECT_TRUE(contents(target) == bytes);
    EXPECT_THROW(mapped.read(whole.slice(whole.size - 2, 3), buffer.data()), std::out_of_range);
    const uint8_t before[] = {0};
    EXPECT_THROW(mapped.read(common::ByteView(before, 1), buffer.data()), std::out_of_range);
#ifndef _WIN32
    // A file cut short behind the mapping's back: its tail is no longer
    // there to read (Windows refuses to cut a mapped file).
    std::filesystem::resize_file(source, 100);
    mapped.read(whole.slice(0, 100), buffer.data());
    try {
        mapped.read(whole.slice(50, 51), buffer.data());
        ADD_FAILURE() << "a read past the file's end succeeded";
    } catch (const common::SystemError& error) {
        EXPECT_EQ(std::string(error.what()).find("cannot read"), 0u) << error.what();
    }
#endif
}

TEST_F(FileLayer, OneFileHoweverSpelt) {
    std::ofstream(path("a.txt")) << "a";
    std::ofstream(path("b.txt")) << "a";
    const std::string other = folder + common::pathSeparator + "." + common::pathSeparator + "x" +
                              common::pathSeparator + ".." + common::pathSeparator + "a.txt";
    common::createFolder(path("x"));
    EXPECT_TRUE(common::sameFile(path("a.txt"), other));
    EXPECT_EQ(common::fullPath(other), common::fullPath(path("a.txt")));
    EXPECT_FALSE(common::sameFile(path("a.txt"), path("b.txt")));
    EXPECT_FALSE(common::sameFile(path("a.txt"), path("absent.txt")));
#ifndef _WIN32
    ASSERT_EQ(::link(path("a.txt").c_str(), path("hard.txt").c_str()), 0);
    EXPECT_TRUE(common::sameFile(path("a.txt"), path("hard.txt")));
    const char* arguments[] = {"setup-pack", "--product-name", "Caf\xC3\xA9", "--out",
                               "bad\xE9.exe"};
    try {
        common::commandLine(5, const_cast<char**>(arguments));
        ADD_FAILURE() << "an argument that is no UTF-8 was taken";
    } catch (const common::ArgumentError& error) {
        EXPECT_EQ(error.position(), 4u);
        EXPECT_EQ(error.shown(), "bad\\xE9.exe");
    }
    EXPECT_EQ(common::commandLine(4, const_cast<char**>(arguments))[1], "Caf\xC3\xA9");
#endif
}

} // namespace
