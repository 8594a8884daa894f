#pragma once
#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

// A growing list that owns its items, kept as small as the setup's texts
// (the standard containers would bring the exception runtime into the stub).
template <typename T> class List {
  public:
    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List() {
        clear();
        std::free(items_);
    }

    void add(T item) {
        if (count_ == capacity_)
            grow();
        new (&items_[count_++]) T(std::move(item));
    }
    void clear() {
        for (size_t i = 0; i < count_; ++i)
            items_[i].~T();
        count_ = 0;
    }
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const T& operator[](size_t i) const { return items_[i]; }

  private:
    void grow() {
        size_t capacity = capacity_ ? capacity_ * 2 : 4;
        T* items = static_cast<T*>(std::malloc(capacity * sizeof(T)));
        if (!items)
            std::abort();
        for (size_t i = 0; i < count_; ++i) {
            new (&items[i]) T(std::move(items_[i]));
            items_[i].~T();
        }
        std::free(items_);
        items_ = items;
        capacity_ = capacity;
    }

    T* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};
