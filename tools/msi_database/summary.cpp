#include "msi_database/summary.h"

#include <cstring>
#include <vector>

namespace msi_database {

namespace {

// F29F85E0-4FF9-1068-AB91-08002B27B3D9, as stored.
const uint8_t summaryFormatId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                     0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

} // namespace

common::Bytes summaryStream(const Summary& properties) {
    using common::appendLe16;
    using common::appendLe32;
    common::Bytes values;
    std::vector<std::pair<uint32_t, uint32_t>> offsets;
    uint32_t headerSize = 8 + 8 * static_cast<uint32_t>(properties.size());
    for (const auto& entry : properties) {
        const SummaryProperty& property = entry.second;
        offsets.emplace_back(entry.first, headerSize + static_cast<uint32_t>(values.size()));
        appendLe32(values, property.kind);
        switch (property.kind) {
        case SummaryProperty::I2: // two bytes, padded to four
            appendLe32(values, static_cast<uint16_t>(property.number));
            break;
        case SummaryProperty::I4:
            appendLe32(values, static_cast<uint32_t>(property.number));
            break;
        case SummaryProperty::String:
            appendLe32(values, static_cast<uint32_t>(property.text.size() + 1));
            values.insert(values.end(), property.text.begin(), property.text.end());
            values.push_back(0);
            while (values.size() % 4)
                values.push_back(0);
            break;
        case SummaryProperty::FileTime:
            appendLe32(values, static_cast<uint32_t>(property.fileTime));
            appendLe32(values, static_cast<uint32_t>(property.fileTime >> 32));
            break;
        }
    }
    common::Bytes out;
    appendLe16(out, 0xFFFE);
    appendLe16(out, 0);
    appendLe32(out, 0x00020006); // written on Windows NT 6.2
    out.insert(out.end(), 16, 0);
    appendLe32(out, 1);
    out.insert(out.end(), summaryFormatId, summaryFormatId + 16);
    appendLe32(out, 48);
    appendLe32(out, headerSize + static_cast<uint32_t>(values.size()));
    appendLe32(out, static_cast<uint32_t>(properties.size()));
    for (const auto& offset : offsets) {
        appendLe32(out, offset.first);
        appendLe32(out, offset.second);
    }
    out.insert(out.end(), values.begin(), values.end());
    return out;
}

Summary readSummary(common::ByteView stream) {
    using common::FormatError;
    using common::readLe32;
    if (stream.size < 28 || common::readLe16(stream.data) != 0xFFFE)
        throw FormatError("the summary information is no property set");
    uint32_t sets = readLe32(stream.data + 24);
    size_t section = 0;
    for (uint32_t i = 0; i < sets && section == 0; ++i) {
        size_t at = 28 + 20 * static_cast<size_t>(i);
        if (at + 20 > stream.size)
            throw FormatError("the summary information's list of sections runs past its end");
        if (std::memcmp(stream.data + at, summaryFormatId, 16) == 0)
            section = readLe32(stream.data + at + 16);
    }
    if (section == 0)
        throw FormatError("the summary information has no summary section");
    if (section > stream.size || stream.size - section < 8)
        throw FormatError("the summary section starts past the end of its stream");
    // The section's own size bounds every offset in it.
    size_t size = readLe32(stream.data + section);
    if (size > stream.size - section || size < 8)
        throw FormatError("the summary section's size runs past the end of its stream");
    common::ByteView body = stream.slice(section, size);
    uint32_t count = readLe32(body.data + 4);
    if (count > (size - 8) / 8)
        throw FormatError("the summary section lists more properties than it holds");

    Summary properties;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = readLe32(body.data + 8 + 8 * static_cast<size_t>(i));
        size_t offset = readLe32(body.data + 12 + 8 * static_cast<size_t>(i));
        if (offset > size || size - offset < 4)
            throw FormatError("a summary property lies past the end of its section");
        if (id == 0)
            continue; // the dictionary names properties; it is no value
        const uint8_t* value = body.data + offset + 4;
        size_t room = size - offset - 4;
        SummaryProperty property;
        switch (readLe32(body.data + offset) & 0xFFFF) {
        case SummaryProperty::I2:
            if (room < 2)
                throw FormatError("a summary number runs past the end of its section");
            property.kind = SummaryProperty::I2;
            property.number = static_cast<int16_t>(common::readLe16(value));
            break;
        case SummaryProperty::I4:
            if (room < 4)
                throw FormatError("a summary number runs past the end of its section");
            property.kind = SummaryProperty::I4;
            property.number = static_cast<int32_t>(readLe32(value));
            break;
        case SummaryProperty::String: {
            if (room < 4 || readLe32(value) > room - 4)
                throw FormatError("a summary text runs past the end of its section");
            property.kind = SummaryProperty::String;
            const char* text = reinterpret_cast<const char*>(value + 4);
            size_t length = readLe32(value);
            const void* end = std::memchr(text, 0, length);
            property.text.assign(text, end ? static_cast<const char*>(end) - text : length);
            break;
        }
        case SummaryProperty::FileTime:
            if (room < 8)
                throw FormatError("a summary time runs past the end of its section");
            property.kind = SummaryProperty::FileTime;
            property.fileTime = common::readLe64(value);
            break;
        default:
            continue;
        }
        properties[id] = property;
    }
    return properties;
}

const std::string* summaryString(const Summary& summary, uint32_t pid) {
    auto found = summary.find(pid);
    return found == summary.end() || found->second.kind != SummaryProperty::String
               ? nullptr
               : &found->second.text;
}

} // namespace msi_database
