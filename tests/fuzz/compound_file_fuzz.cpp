// The compound-file reader on any bytes: refused with FormatError or read
// whole, every stream of every storage, without reading past the input;
// checkStreams() refuses exactly the files where some stream cannot be read.
// A tree read whole is written again, and what the writer made reads back as
// the same tree and is written as the same bytes.
#include <cstdint>
#include <vector>

#include "compound_file/compound_file.h"
#include "compound_file/tree.h"
#include "fuzz_check.h"

using namespace compound_file;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that AddressSanitizer sees a read one past.
    std::vector<uint8_t> bytes(data, data + size);
    try {
        Reader reader(common::ByteView(bytes.data(), bytes.size()));
        bool everyStreamRead = true;
        std::vector<uint32_t> storages{0};
        while (!storages.empty()) {
            uint32_t storage = storages.back();
            storages.pop_back();
            std::vector<Entry> entries = reader.children(storage);
            for (size_t i = 0; i < entries.size(); ++i) {
                const Entry& entry = entries[i];
                FUZZ_CHECK(i == 0 || compareNames(entries[i - 1].name, entry.name) <= 0);
                FUZZ_CHECK(reader.find(entry.name, storage));
                if (entry.type == EntryType::Storage) {
                    storages.push_back(entry.id);
                    continue;
                }
                try {
                    FUZZ_CHECK(reader.read(entry).size() == entry.size);
                } catch (const common::FormatError&) {
                    everyStreamRead = false;
                }
            }
        }
        bool checked = true;
        try {
            reader.checkStreams();
        } catch (const common::FormatError&) {
            checked = false;
        }
        FUZZ_CHECK(checked == everyStreamRead);
    } catch (const common::FormatError&) {
        return 0;
    }
    std::vector<TreeEntry> tree;
    common::Bytes written;
    try {
        tree = readTree(Reader(common::ByteView(bytes.data(), bytes.size())));
        written = writeTree(tree); // refuses names and trees it cannot write
    } catch (const common::FormatError&) {
        return 0;
    }
    std::vector<TreeEntry> again = readTree(Reader(written));
    FUZZ_CHECK(again.size() == tree.size());
    for (size_t i = 0; i < tree.size(); ++i)
        FUZZ_CHECK(again[i].name == (i ? tree[i].name : again[i].name) &&
                   again[i].type == tree[i].type && again[i].clsid == tree[i].clsid &&
                   again[i].bytes == tree[i].bytes && again[i].parent == tree[i].parent);
    FUZZ_CHECK(writeTree(again) == written);
    return 0;
}
