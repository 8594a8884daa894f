// PE headers of any bytes (setup-pack reads the stub's and a setup's): no
// read past the input, and a layout found lies inside it.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "pe/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that AddressSanitizer sees a read one past.
    std::vector<unsigned char> bytes(data, data + size);
    pe::PeLayout layout;
    if (pe::readPeLayout(bytes.data(), bytes.size(), layout)) {
        FUZZ_CHECK(layout.checksumOffset + 4 <= size);
        uint32_t sum = pe::peChecksum(bytes.data(), bytes.size(), layout.checksumOffset);
        // The stored value does not count: writing the sum leaves it unchanged.
        for (int i = 0; i < 4; ++i)
            bytes[layout.checksumOffset + i] = static_cast<unsigned char>(sum >> (8 * i));
        FUZZ_CHECK(pe::peChecksum(bytes.data(), bytes.size(), layout.checksumOffset) == sum);
    }
    return 0;
}
