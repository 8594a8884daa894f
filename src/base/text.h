#pragma once
#include <cstddef>

// A small owned 8-bit text. The setup keeps its own because the standard
// string drags the exception runtime into the stub, which more than triples
// the size that every user downloads. Allocation failure ends the process.
class Text {
  public:
    Text() = default;
    Text(const char* text);
    Text(const char* text, size_t length);
    Text(const Text& other);
    Text(Text&& other) noexcept;
    Text& operator=(const Text& other);
    Text& operator=(Text&& other) noexcept;
    ~Text();

    const char* c_str() const { return data_ ? data_ : ""; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char operator[](size_t i) const { return data_[i]; }

    void assign(const char* text, size_t length);
    void clear();
    Text& append(const char* text, size_t length);
    Text& append(const char* text);
    Text& append(const Text& text) { return append(text.c_str(), text.size()); }
    Text& append(char c) { return append(&c, 1); }
    // Makes room for at least `length` characters plus the terminator and
    // gives the buffer, so that an API can write into it; `resize` then
    // fixes the length.
    char* reserve(size_t length);
    void resize(size_t length);

    bool operator==(const char* other) const;
    bool operator==(const Text& other) const;

  private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
