#include "msi_database/string_pool.h"

#include <algorithm>

#include "msi_database/code_page.h"

namespace msi_database {

using common::FormatError;

StringPool::StringPool(common::ByteView entries, common::Bytes data) : data_(std::move(data)) {
    if (entries.size < 4 || entries.size % 4)
        throw FormatError("the string pool is no whole number of entries");
    uint32_t header = common::readLe32(entries.data);
    codePage_ = header & 0x7FFFFFFF;
    refBytes_ = header & 0x80000000u ? 3 : 2;
    spans_.push_back({0, 0}); // id 0: null
    size_t offset = 0;
    for (size_t at = 4; at < entries.size; at += 4) {
        size_t length = common::readLe16(entries.data + at);
        // A string of 64 KiB or more: its length is in the next entry.
        if (length == 0 && common::readLe16(entries.data + at + 2) != 0) {
            at += 4;
            if (at >= entries.size)
                throw FormatError("the string pool ends inside the length of a long string");
            length = common::readLe32(entries.data + at);
        }
        if (length > data_.size() - offset)
            throw FormatError("the string pool's lengths run past the end of its data");
        spans_.push_back({offset, length});
        offset += length;
    }
    texts_ = std::make_shared<std::vector<std::u16string>>(spans_.size());
    decoded_.resize(spans_.size());
}

std::shared_ptr<const std::u16string> StringPool::shared(uint32_t id) {
    std::u16string& text = (*texts_)[id];
    if (!decoded_[id]) {
        std::string bytes(data_.begin() + spans_[id].first,
                          data_.begin() + spans_[id].first + spans_[id].second);
        if (!decodeText(codePage_, bytes, text)) {
            for (char c : bytes)
                if (static_cast<unsigned char>(c) >= 0x80)
                    throw FormatError("string " + std::to_string(id) +
                                      " of the pool is no text of code page " +
                                      std::to_string(codePage_));
            text.assign(bytes.begin(), bytes.end());
        }
        decoded_[id] = 1;
    }
    return std::shared_ptr<const std::u16string>(texts_, &text);
}

uint32_t StringPoolWriter::reference(const std::string& bytes) {
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

common::Bytes StringPoolWriter::poolStream() const {
    using common::appendLe16;
    common::Bytes out;
    common::appendLe32(out, (codePage_ & 0x7FFFFFFF) | (referenceBytes() == 3 ? 0x80000000u : 0));
    bool multiByte = isMultiByteCodePage(codePage_);
    for (size_t i = 0; i < strings_.size(); ++i) {
        const std::string& text = *strings_[i];
        uint16_t count = static_cast<uint16_t>(counts_[i] & 0x7FFF);
        if (multiByte && std::any_of(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            count |= 0x8000;
        // A string of 64 KiB or more: length 0, its length in the next entry.
        bool isLong = text.size() > 0xFFFF;
        appendLe16(out, static_cast<uint16_t>(isLong ? 0 : text.size()));
        appendLe16(out, count);
        if (isLong)
            common::appendLe32(out, static_cast<uint32_t>(text.size()));
    }
    return out;
}

common::Bytes StringPoolWriter::dataStream() const {
    common::Bytes out;
    for (const std::string* text : strings_)
        out.insert(out.end(), text->begin(), text->end());
    return out;
}

} // namespace msi_database
