#include "msi_transform/encoding.h"

namespace msi_transform {

namespace {

void put16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(Bytes& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

bool isMultiByteCodePage(uint32_t codePage) {
    switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 1361:
    case 20932:
    case 51932:
    case 51936:
    case 51949:
    case 54936:
    case 65001:
        return true;
    default:
        return false;
    }
}

uint32_t StringPool::reference(const std::string& bytes) {
    if (bytes.empty())
        return 0;
    auto found = ids_.find(bytes);
    if (found == ids_.end()) {
        found = ids_.emplace(bytes, static_cast<uint32_t>(strings_.size() + 1)).first;
        strings_.push_back(&found->first);
        counts_.push_back(0);
    }
    ++counts_[found->second - 1];
    return found->second;
}

Bytes StringPool::poolStream() const {
    Bytes out;
    put32(out, (codePage_ & 0x7FFFFFFF) | (referenceBytes() == 3 ? 0x80000000u : 0));
    bool multiByte = isMultiByteCodePage(codePage_);
    for (size_t i = 0; i < strings_.size(); ++i) {
        const std::string& text = *strings_[i];
        uint32_t count = counts_[i] & 0x7FFF;
        if (multiByte) {
            for (char c : text)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    count |= 0x8000;
                    break;
                }
        }
        if (text.size() > 0xFFFF) {
            put16(out, 0);
            put16(out, count);
            put32(out, static_cast<uint32_t>(text.size()));
        } else {
            put16(out, static_cast<uint32_t>(text.size()));
            put16(out, count);
        }
    }
    return out;
}

Bytes StringPool::dataStream() const {
    Bytes out;
    for (const std::string* text : strings_)
        out.insert(out.end(), text->begin(), text->end());
    return out;
}

void appendField(Bytes& out, int type, const Field& field, int refBytes) {
    if (isBinaryType(type)) {
        put16(out, field.kind == Field::Null ? 0 : 1);
    } else if (type & typeString) {
        uint32_t id = field.kind == Field::String ? field.stringId : 0;
        put16(out, id & 0xFFFF);
        if (refBytes == 3)
            out.push_back(static_cast<uint8_t>(id >> 16));
    } else if (integerBytes(type) == 2) {
        put16(out, field.kind == Field::Null ? 0 : (static_cast<uint32_t>(field.number) + 0x8000));
    } else {
        put32(out,
              field.kind == Field::Null ? 0 : (static_cast<uint32_t>(field.number) ^ 0x80000000u));
    }
}

} // namespace msi_transform
