// Text resource data of any size and content: the scan for the end of the
// UTF-16 text must stay inside the data (the buffer here is exactly its size).
#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "base/text.h"
#include "base/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t units = wideTextLength(data, size);
    FUZZ_CHECK(units <= size / 2);
    for (size_t i = 0; i < units; ++i)
        FUZZ_CHECK(data[2 * i] != 0 || data[2 * i + 1] != 0);
    if (units < size / 2)
        FUZZ_CHECK(data[2 * units] == 0 && data[2 * units + 1] == 0);

    // The conversion's result is cut at its first zero byte the same way; the
    // raw bytes of the text stand in for that result here.
    Text field(reinterpret_cast<const char*>(data), 2 * units);
    field.resize(std::strlen(field.c_str()));
    FUZZ_CHECK(field.size() <= 2 * units);
    FUZZ_CHECK(std::memcmp(field.c_str(), data, field.size()) == 0);
    return 0;
}
