// The compound-file writer, of streams and of storages, read back by readers
// we did not write (olefile, libgsf's gsf), our reader on files wixl and
// Wine wrote, and the reader's refusal of broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "compound_file/compound_file.h"
#include "compound_file/tree.h"

namespace {

using namespace compound_file;
using common::Bytes;

// Bytes that differ from stream to stream and sector to sector.
Bytes pattern(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

Bytes patched(Bytes file, size_t offset, uint32_t value) {
    common::putLe32(file.data() + offset, value);
    return file;
}

const Guid kMsiClass = Guid::parse("{000C1084-0000-0000-C000-000000000046}");

// Empty, tiny, around the mini-stream cutoff, megabytes, and one large enough
// for two DIFAT sectors; names as installer databases have them, Cyrillic,
// and 200 small streams so that directory and mini FAT span many sectors.
// The first five names are ASCII.
std::vector<StreamData> sampleStreams() {
    const std::pair<std::u16string, size_t> named[] = {
        {u"empty", 0},          {u"cutoff", 4096},
        {u"over cutoff", 4097}, {u"mega", 3 << 20},
        {u"difat", 16000000},   {u"\x05SummaryInformation", 1},
        {u"Данные", 4095},      {u"\x4840\x3F3F\x4577\x446C", 64},
    };
    std::vector<StreamData> streams;
    uint32_t seed = 1;
    for (const auto& stream : named)
        streams.push_back({stream.first, pattern(stream.second, seed++)});
    for (int i = 0; i < 200; ++i) {
        std::string name = "s" + std::to_string(i * 7919 % 1000);
        streams.push_back({{name.begin(), name.end()}, pattern(i * 37 % 700, seed++)});
    }
    return streams;
}

TEST(CompoundFile, OurReaderReadsWhatWeWrite) {
    std::vector<StreamData> streams = sampleStreams();
    Bytes file = write(kMsiClass, streams);
    Reader reader(file);
    EXPECT_EQ(reader.children().size(), streams.size());
    for (size_t i = 0; i < streams.size(); ++i) {
        std::optional<Entry> entry = reader.find(streams[i].name);
        EXPECT_TRUE(entry && reader.read(*entry) == streams[i].bytes) << i;
    }
}

TEST(CompoundFile, SameStreamsSameBytesInNameOrder) {
    std::vector<StreamData> streams;
    for (const char16_t* name : {u"b", u"A", u"ab", u"Z", u"a0"})
        streams.push_back({name, pattern(5000, name[0])});
    Bytes file = write(Guid(), streams);
    std::reverse(streams.begin(), streams.end());
    EXPECT_TRUE(write(Guid(), streams) == file);
    // Shorter names first, then without case.
    Reader reader(file);
    std::vector<std::u16string> names;
    for (const Entry& entry : reader.children()) {
        names.push_back(entry.name);
        EXPECT_TRUE(reader.read(entry) == pattern(5000, entry.name[0]));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"b", u"Z", u"a0", u"ab"}));
    EXPECT_FALSE(reader.find(u"a")); // find is exact

    EXPECT_THROW(write(Guid(), {{u"name", {}}, {u"NAME", {}}}), common::FormatError);
    EXPECT_THROW(write(Guid(), {{std::u16string(32, u'x'), {}}}), common::FormatError);
    EXPECT_THROW(write(Guid(), {{u"a/b", {}}}), common::FormatError);
    EXPECT_THROW(write(Guid(), {{u"", {}}}), common::FormatError);
    EXPECT_EQ(Guid::parse("{000c1084-0000-0000-c000-000000000046}").text(),
              "{000C1084-0000-0000-C000-000000000046}");
    EXPECT_THROW(Guid::parse("{000C1084-0000-0000-C000-00000000004}"), common::FormatError);
}

#ifndef _WIN32
void save(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// A folder of the test's own, removed with everything in it at the end.
struct Scratch {
    std::string folder = testing::TempDir() + "compound_file_test_" +
                         testing::UnitTest::GetInstance()->current_test_info()->name();
    Scratch() { run("rm -rf '" + folder + "' && mkdir -p '" + folder + "'"); }
    ~Scratch() { run("rm -rf '" + folder + "'"); }
    std::string operator()(const std::string& name) const { return folder + "/" + name; }
};

// Every stream of `file` by its path ("storage/stream"; ASCII names).
std::map<std::string, Bytes> allStreams(const Bytes& file) {
    Reader reader(file);
    std::map<std::string, Bytes> found;
    std::vector<std::pair<uint32_t, std::string>> storages{{0, ""}};
    while (!storages.empty()) {
        auto storage = storages.back();
        storages.pop_back();
        for (const Entry& entry : reader.children(storage.first)) {
            std::string path = storage.second + std::string(entry.name.begin(), entry.name.end());
            if (entry.type == EntryType::Storage)
                storages.push_back({entry.id, path + "/"});
            else
                found[path] = reader.read(entry);
        }
    }
    return found;
}

// The first Python that has olefile, or "".
std::string olefilePython() {
    for (const char* python : {"python3", "/usr/bin/python3"}) {
        if (run(std::string(python) + " -c 'import olefile' 2>/dev/null"))
            return python;
    }
    return "";
}

// The tree of a root that holds `streams`.
std::vector<TreeEntry> treeOf(const std::vector<StreamData>& streams) {
    std::vector<TreeEntry> tree(1);
    tree[0].type = EntryType::Root;
    for (const StreamData& stream : streams)
        tree.push_back({stream.name, EntryType::Stream, Guid(), stream.bytes, 0});
    return tree;
}

// Runs olefile_check.py: olefile finds exactly the streams and storages of
// `tree` in `file`; `ours`: in red-black trees.
bool olefileFinds(const std::string& python, const std::string& file,
                  const std::vector<TreeEntry>& tree, bool ours) {
    std::vector<std::u16string> paths(tree.size());
    std::ofstream manifest(file + ".manifest");
    for (size_t i = 1; i < tree.size(); ++i) {
        paths[i] = (tree[i].parent ? paths[tree[i].parent] + u"/" : u"") + tree[i].name;
        for (char16_t c : paths[i]) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "%02x%02x", c & 0xFF, c >> 8);
            manifest << hex;
        }
        std::string data = file + "." + std::to_string(i);
        if (tree[i].type == EntryType::Storage)
            data = tree[i].clsid.text();
        else
            save(data, tree[i].bytes);
        manifest << '\t' << data << '\n';
    }
    manifest.close();
    return run(python + " " SOURCE_DIR "/tests/compound_file/olefile_check.py " + file + " " +
               file + ".manifest " + kMsiClass.text() + (ours ? " --red-black" : ""));
}

// Storages three deep, each with its class id: 40 in the root beside its
// streams, so that its tree has several levels, one holding a mini and a
// large stream and a storage of its own; an empty storage. In the order
// readTree gives (breadth first, names in compareNames order).
std::vector<TreeEntry> sampleTree() {
    std::vector<TreeEntry> tree(1);
    tree[0].type = EntryType::Root;
    tree[0].clsid = kMsiClass;
    auto add = [&tree](const std::u16string& name, EntryType type, size_t parent, size_t size) {
        TreeEntry entry;
        entry.name = name;
        entry.type = type;
        entry.parent = parent;
        if (type == EntryType::Storage)
            entry.clsid.bytes[0] = static_cast<uint8_t>(tree.size());
        entry.bytes = pattern(size, static_cast<uint32_t>(tree.size()));
        tree.push_back(entry);
        return tree.size() - 1;
    };
    add(u"a", EntryType::Stream, 0, 100);
    add(u"z", EntryType::Stream, 0, 5000);
    for (int i = 10; i < 50; ++i)
        add(u"S" + std::u16string(1, char16_t(u'0' + i / 10)) + char16_t(u'0' + i % 10),
            EntryType::Storage, 0, 0);
    add(u"Данные", EntryType::Storage, 0, 0);
    const size_t nested = 3; // "S10"
    add(u"mini", EntryType::Stream, nested, 70);
    const size_t deeper = add(u"inner", EntryType::Storage, nested, 0);
    add(u"large", EntryType::Stream, nested, 9000);
    add(u"deepest", EntryType::Stream, deeper, 4096);
    return tree;
}

TEST(CompoundFile, OlefileAndGsfReadOurStorages) {
    std::string python = olefilePython();
    if (python.empty() || !run("command -v gsf >/dev/null"))
        GTEST_SKIP() << "no Python with olefile, or no gsf (libgsf-bin)";
    const std::vector<TreeEntry> tree = sampleTree();
    Scratch scratch;
    const std::string file = scratch("storages.cfb");
    Bytes written = writeTree(tree);
    save(file, written);
    EXPECT_TRUE(olefileFinds(python, file, tree, true));
    EXPECT_TRUE(writeTree(readTree(Reader(written))) == written); // our reader reads it whole
    // gsf, through the storages, one stream after the other.
    ASSERT_TRUE(
        run("gsf cat " + file + " S10/mini S10/inner/deepest S10/large > " + file + ".out"));
    Bytes joined;
    for (size_t i : {tree.size() - 4, tree.size() - 1, tree.size() - 2})
        joined.insert(joined.end(), tree[i].bytes.begin(), tree[i].bytes.end());
    EXPECT_TRUE(load(file + ".out") == joined);
}

TEST(CompoundFile, OlefileReadsWhatWeWrite) {
    std::string python = olefilePython();
    if (python.empty())
        GTEST_SKIP() << "no Python with olefile";
    std::vector<StreamData> streams = sampleStreams();
    Scratch scratch;
    save(scratch("written.cfb"), write(kMsiClass, streams));
    EXPECT_TRUE(olefileFinds(python, scratch("written.cfb"), treeOf(streams), true));
}

TEST(CompoundFile, GsfReadsWhatWeWrite) {
    if (!run("command -v gsf >/dev/null"))
        GTEST_SKIP() << "no gsf (libgsf-bin)";
    std::vector<StreamData> streams = sampleStreams();
    Scratch scratch;
    std::string file = scratch("gsf.cfb");
    save(file, write(kMsiClass, streams));
    // The ASCII-named streams (DIFAT, mini stream, cutoff), one after the other.
    std::string names;
    Bytes joined;
    for (size_t i = 0; i < 5; ++i) {
        names += " '" + std::string(streams[i].name.begin(), streams[i].name.end()) + "'";
        joined.insert(joined.end(), streams[i].bytes.begin(), streams[i].bytes.end());
    }
    ASSERT_TRUE(run("gsf cat " + file + names + " > " + file + ".out"));
    EXPECT_TRUE(load(file + ".out") == joined);
}

// Version 3 and 4 files that Wine's StgCreateStorageEx (sector size 512, 4096)
// wrote: streams "s<N>" of N bytes, byte i being i * 7 + N, two of them in
// storage "Sub"; the root's class that of installer databases.
TEST(CompoundFile, WeReadWhatWineWrote) {
    std::map<std::string, Bytes> expected;
    for (const char* path :
         {"s0", "s1", "s100", "s4095", "s4096", "s5000", "Sub/s300", "Sub/s9000"}) {
        size_t size = std::stoul(std::strchr(path, 's') + 1);
        Bytes& bytes = expected[path];
        for (size_t i = 0; i < size; ++i)
            bytes.push_back(static_cast<uint8_t>(i * 7 + size));
    }
    for (const char* name : {"wine-v3.cfb", "wine-v4.cfb"}) {
        Bytes file = load(SOURCE_DIR "/tests/compound_file/data/" + std::string(name));
        EXPECT_EQ(Reader(file).rootClass(), kMsiClass) << name;
        EXPECT_TRUE(allStreams(file) == expected) << name;
    }
}

TEST(CompoundFile, WeReadWhatWixlWrote) {
    std::string python = olefilePython();
    if (python.empty() || !run("command -v wixl >/dev/null"))
        GTEST_SKIP() << "no wixl, or no Python with olefile";
    Scratch scratch;
    std::string msi = scratch("wixl.msi");
    ASSERT_TRUE(run("wixl -D ProductCode={6A1E3F52-0C4B-4A7D-9E21-3B5C7D9F1A20} -D Version=1.2.3 "
                    "-o " +
                    msi + " " SOURCE_DIR "/tests/packages/product.wxs"));
    Bytes file = load(msi);
    Reader reader(file);
    EXPECT_EQ(reader.rootClass(), kMsiClass);
    std::vector<StreamData> streams;
    for (const Entry& entry : reader.children())
        streams.push_back({entry.name, reader.read(entry)});
    EXPECT_GT(streams.size(), 10u);
    EXPECT_TRUE(olefileFinds(python, msi, treeOf(streams), false));
}

// checkStreams() refuses, without reading, exactly the files where reading
// every stream fails: Wine's files cut anywhere past their tables (a
// storage's large stream lies last), and a mini stream's chain sent out of
// the mini stream. Messages name entries through the hook.
TEST(CompoundFile, CheckStreamsRefusesWhatReadingEveryStreamRefuses) {
    const NameText hook = [](const std::u16string& name) {
        return "<" + std::string(name.begin(), name.end()) + ">";
    };
    auto refusal = [](auto action) {
        try {
            action();
        } catch (const common::FormatError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    size_t storageStreamRefused = 0;
    for (const char* name : {"wine-v3.cfb", "wine-v4.cfb"}) {
        const Bytes whole = load(SOURCE_DIR "/tests/compound_file/data/" + std::string(name));
        for (size_t size = whole.size(); size > whole.size() / 2; size -= 64) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            if (!refusal([&] { Reader{cut}; }).empty())
                continue; // the tables themselves are cut
            std::string checking = refusal([&] { Reader(cut, hook).checkStreams(); });
            EXPECT_EQ(checking.empty(), refusal([&] { allStreams(cut); }).empty())
                << name << " cut to " << size << ": " << checking;
            storageStreamRefused +=
                checking.find("stream <s9000> (9000 bytes)") != std::string::npos;
        }
    }
    EXPECT_GT(storageStreamRefused, 0u);
    const Bytes mini = write(kMsiClass, {{u"small", pattern(300, 2)}});
    std::string broken = refusal([&] {
        Reader(patched(mini, (common::readLe32(&mini[0x3C]) + 1) * 512, 0x1000), hook)
            .checkStreams();
    });
    EXPECT_NE(broken.find("the chain of the stream <small> (300 bytes) leaves the file"),
              std::string::npos)
        << broken;
}
#endif

// Reads every stream; the file must be refused for the reason `why`, fast.
void expectRefused(const Bytes& file, const char* why) {
    auto started = std::chrono::steady_clock::now();
    try {
        Reader reader(file);
        for (const Entry& entry : reader.children())
            reader.read(entry);
        ADD_FAILURE() << "accepted a file where " << why;
    } catch (const common::FormatError& error) {
        EXPECT_NE(std::string(error.what()).find(why), std::string::npos) << error.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << why;
}

TEST(CompoundFile, RefusesBrokenFiles) {
    const Bytes good =
        write(kMsiClass,
              {{u"big", pattern(20000, 1)}, {u"small", pattern(300, 2)}, {u"zz", pattern(100, 3)}});
    // Ours: the FAT in sector 0. Entry 1 is "zz" (shorter names first), 2
    // "big", 3 "small"; "big" on top, "zz" its left.
    const size_t fat = 512, entry = (common::readLe32(&good[0x30]) + 1) * 512 + 128;
    const uint32_t bigStart = common::readLe32(&good[entry + 128 + 0x74]);
    expectRefused(Bytes(good.begin(), good.begin() + 300), "shorter than the 512-byte header");
    expectRefused(patched(good, 0, 0), "no compound file signature");
    expectRefused(patched(good, 0x1C, 0xAFFFE), "sector shift 10");
    expectRefused(patched(good, 0x30, 70000), "out of range");
    expectRefused(patched(good, entry + 128 + 0x78, 0x7FFFFFFF), "beyond the file");
    expectRefused(patched(good, fat + 4 * (bigStart + 2), bigStart), "loops");
    expectRefused(patched(good, fat + 4 * bigStart, 0xFFFFFFFE), "shorter than its size");
    expectRefused(patched(good, entry + 0x44, 2), "loops or holds an entry twice");
    expectRefused(Bytes(good.begin(), good.end() - 500), "beyond the end");
    expectRefused(Bytes(good.begin(), good.end() - 1024), "leaves the file");
}

} // namespace
