#pragma once
// Bytes as every format library of setup-pack passes them: owned in a
// vector, or viewed without a copy (a mapped input file, a part of it), and
// little-endian numbers read from and written into them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace common {

using Bytes = std::vector<uint8_t>;

// A view of bytes owned elsewhere; the owner outlives the view.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    ByteView() = default;
    ByteView(const uint8_t* bytes, size_t count) : data(bytes), size(count) {}
    ByteView(const Bytes& bytes) : data(bytes.data()), size(bytes.size()) {} // NOLINT: implicit
    bool empty() const { return size == 0; }
    const uint8_t* begin() const { return data; }
    const uint8_t* end() const { return data + size; }
    // The `count` bytes from `offset`; the caller has checked the range.
    ByteView slice(size_t offset, size_t count) const { return ByteView(data + offset, count); }
};

inline uint16_t readLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t readLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t readLe64(const uint8_t* p) {
    return static_cast<uint64_t>(readLe32(p)) | static_cast<uint64_t>(readLe32(p + 4)) << 32;
}
inline void putLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}
inline void putLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void putLe64(uint8_t* p, uint64_t value) {
    putLe32(p, static_cast<uint32_t>(value));
    putLe32(p + 4, static_cast<uint32_t>(value >> 32));
}
inline void appendLe16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void appendLe32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace common
