#pragma once
// Owns one Windows Installer handle (a database, view or record) and closes
// it when the owner goes; never copied.
#include <windows.h>

#include <msi.h>

class MsiHandle {
  public:
    MsiHandle() = default;
    MsiHandle(const MsiHandle&) = delete;
    MsiHandle& operator=(const MsiHandle&) = delete;
    ~MsiHandle() {
        if (handle_)
            MsiCloseHandle(handle_);
    }
    MSIHANDLE* out() { return &handle_; }
    MSIHANDLE get() const { return handle_; }

  private:
    MSIHANDLE handle_ = 0;
};
