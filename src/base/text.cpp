#include "base/text.h"

#include <cstdlib>
#include <cstring>
#include <utility>

Text::Text(const char* text) {
    append(text);
}

Text::Text(const char* text, size_t length) {
    append(text, length);
}

Text::Text(const Text& other) {
    append(other);
}

Text::Text(Text&& other) noexcept
    : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
}

Text& Text::operator=(const Text& other) {
    if (this != &other)
        assign(other.c_str(), other.size());
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = other.data_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    return *this;
}

Text::~Text() {
    std::free(data_);
}

char* Text::reserve(size_t length) {
    // No text comes near; this keeps length + 1 and the doubling from wrapping.
    if (length >= ~size_t(0) / 4)
        std::abort();
    if (length + 1 > capacity_) {
        size_t capacity = capacity_ * 2 > length + 1 ? capacity_ * 2 : length + 1;
        char* data = static_cast<char*>(std::realloc(data_, capacity));
        if (!data)
            std::abort();
        if (!data_)
            data[0] = '\0';
        data_ = data;
        capacity_ = capacity;
    }
    return data_;
}

void Text::resize(size_t length) {
    reserve(length);
    size_ = length;
    data_[size_] = '\0';
}

void Text::assign(const char* text, size_t length) {
    if (data_ && text >= data_ && text < data_ + capacity_) {
        Text copy(text, length); // the source lives inside this buffer
        *this = std::move(copy);
        return;
    }
    clear();
    append(text, length);
}

void Text::clear() {
    size_ = 0;
    if (data_)
        data_[0] = '\0';
}

Text& Text::append(const char* text, size_t length) {
    if (length == 0)
        return *this;
    if (data_ && text >= data_ && text < data_ + capacity_) {
        Text copy(text, length);
        return append(copy);
    }
    reserve(size_ + length);
    std::memcpy(data_ + size_, text, length);
    size_ += length;
    data_[size_] = '\0';
    return *this;
}

Text& Text::append(const char* text) {
    return text ? append(text, std::strlen(text)) : *this;
}

bool Text::operator==(const char* other) const {
    return std::strcmp(c_str(), other) == 0;
}

bool Text::operator==(const Text& other) const {
    return size_ == other.size_ && std::memcmp(c_str(), other.c_str(), size_) == 0;
}
