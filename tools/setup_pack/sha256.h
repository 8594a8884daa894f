#pragma once
// SHA-256 (FIPS 180-4) of a byte string, for the digests --inspect prints.
// Pure code: no Windows call.
#include <cstddef>
#include <string>

// The digest as 64 lower-case hex digits.
std::string sha256Hex(const unsigned char* data, size_t size);
