#pragma once
// A program loaded as a data file, for reading its resources; freed when the
// owner goes.
#include <windows.h>

#include <string>

#include "setup_pack/utf8.h"

class DataModule {
  public:
    explicit DataModule(const std::string& path)
        : module_(LoadLibraryExW(widen(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;
    ~DataModule() {
        if (module_)
            FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};
