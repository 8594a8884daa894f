// The PO reader on any bytes: refused with PoError, or read; what it read is
// written as a file that reads back as the same entries, and is written
// again as the same bytes.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "po/po_file.h"

namespace {

bool same(const po::Entry& a, const po::Entry& b) {
    return a.comments == b.comments && a.extracted == b.extracted && a.references == b.references &&
           a.flags == b.flags && a.context == b.context && a.id == b.id && a.str == b.str &&
           a.obsolete == b.obsolete;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<po::Entry> entries;
    try {
        entries = po::readPo(text);
    } catch (const po::PoError& error) {
        FUZZ_CHECK(error.line() >= 1);
        return 0;
    }
    std::string written = po::writePo(entries);
    std::vector<po::Entry> again = po::readPo(written);
    FUZZ_CHECK(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        FUZZ_CHECK(same(entries[i], again[i]));
    FUZZ_CHECK(po::writePo(again) == written);
    return 0;
}
