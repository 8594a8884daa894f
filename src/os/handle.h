#pragma once
#include <windows.h>

// Owns one kernel handle: closes it once, when the owner goes or is reset,
// moves to a new owner and is never copied. Both of the system's "no handle"
// values (0 from most functions, INVALID_HANDLE_VALUE from CreateFile) mean
// that nothing is held, and the owner keeps 0 then.
class OSHandle {
  public:
    OSHandle() = default;
    explicit OSHandle(HANDLE handle) { attach(handle); }
    OSHandle(const OSHandle&) = delete;
    OSHandle& operator=(const OSHandle&) = delete;
    OSHandle(OSHandle&& other) noexcept : handle_(other.release()) {}
    OSHandle& operator=(OSHandle&& other) noexcept {
        if (this != &other)
            attach(other.release());
        return *this;
    }
    ~OSHandle() { close(); }

    HANDLE get() const { return handle_; }
    bool isOpen() const { return handle_ != nullptr; }

    // Closes what is held and takes `handle` instead.
    void attach(HANDLE handle) {
        close();
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    // Gives the handle up without closing it; the caller owns it then.
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // release() for an owner that two threads may empty at once: exactly one
    // of them gets the handle, the other gets 0.
    HANDLE releaseShared() {
        return static_cast<HANDLE>(InterlockedExchangePointer(&handle_, nullptr));
    }
    // True when nothing was held or the handle closed.
    bool close() {
        HANDLE handle = release();
        return !handle || CloseHandle(handle);
    }

  private:
    HANDLE handle_ = nullptr;
};
