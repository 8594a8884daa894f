// PE headers of any bytes (setup-pack reads the stub's and a setup's): no
// read past the input, a layout found lies inside it, and the checksum of
// the file in parts is the whole file's.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "pe/checksum.h"
#include "pe/image.h"

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
        // The same over parts cut anywhere, odd sizes and the field's middle included.
        size_t cut1 = size > 0 ? data[size - 1] % size : 0, cut2 = (cut1 + size) / 2 | 1;
        cut2 = cut2 > size ? size : cut2;
        const common::ByteView parts[] = {common::ByteView(bytes.data(), cut1),
                                          common::ByteView(bytes.data() + cut1, cut2 - cut1),
                                          common::ByteView(bytes.data() + cut2, size - cut2)};
        FUZZ_CHECK(pe::peChecksum(parts, 3, layout.checksumOffset) == sum);
    }
    return 0;
}
