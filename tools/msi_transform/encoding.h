#pragma once
// The byte encodings of an installer transform that need no system call:
// packed stream names, the string pool, table rows and the summary property
// set. Texts are UTF-16 where the installer has them so; pool strings are the
// bytes of the pool's code page, converted by the caller.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "msi_database/column_types.h"
#include "msi_database/stream_name.h"
#include "msi_database/summary.h"

namespace msi_transform {

using Bytes = std::vector<uint8_t>;

// Column type bits of `_Columns` (msi_database's).
using msi_database::integerBytes;
using msi_database::isBinaryType;
using msi_database::isStringType;
using msi_database::typeKey;
using msi_database::typeLocalizable;
using msi_database::typeNullable;
using msi_database::typeString;
using msi_database::typeValid;

// Packed stream names (msi_database's).
using msi_database::maxStreamNameUnits;
using msi_database::packStreamName;

// True for the code pages whose characters take more than one byte, where a
// string with a byte >= 0x80 is flagged in its pool entry.
bool isMultiByteCodePage(uint32_t codePage);

// The pool of a transform: each distinct non-empty string gets one id (from
// 1, in the order first referenced) and counts every reference to it.
class StringPool {
  public:
    explicit StringPool(uint32_t codePage) : codePage_(codePage) {}
    // The id of `bytes` after counting one more reference; 0 for empty.
    uint32_t reference(const std::string& bytes);
    size_t size() const { return strings_.size(); }
    // References take 3 bytes once ids pass 65,535.
    int referenceBytes() const { return strings_.size() > 0xFFFF ? 3 : 2; }
    Bytes poolStream() const; // _StringPool
    Bytes dataStream() const; // _StringData

  private:
    uint32_t codePage_;
    std::map<std::string, uint32_t> ids_;
    std::vector<const std::string*> strings_; // by id - 1
    std::vector<uint32_t> counts_;
};

// One field of an encoded row, already in its final form.
struct Field {
    enum Kind { Null, Integer, String, Binary } kind = Null;
    int32_t number = 0;    // Integer
    uint32_t stringId = 0; // String: pool id
};

// Appends a field of a column of `type`: integers offset (2 bytes) or sign
// flipped (4 bytes), strings as pool ids of `refBytes` bytes, binary cells as
// 1 (set, data in a stream) or 0.
void appendField(Bytes& out, int type, const Field& field, int refBytes);

// The summary-information property set (msi_database's).
using msi_database::SummaryProperty;
using msi_database::summaryStream;

} // namespace msi_transform
