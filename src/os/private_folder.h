#pragma once
#include <windows.h>

#include "base/text.h"
#include "os/handle.h"

// Length of the folder name that PrivateFolder makes: "setup-" and 16
// hexadecimal digits.
const size_t privateFolderNameLength = 22;

// A folder of this run's own: a new folder of a random name that nobody but
// the current user, SYSTEM and the Administrators may open, with nothing
// inherited from the folder it lies in. A name that exists already is never
// used. The folder is held open while it is made, which keeps it from being
// renamed or deleted, until remove().
class PrivateFolder {
  public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() { remove(); }

    // Makes the folder inside `parent` (a path that ends with a backslash).
    // On success path() is its full path with a trailing backslash. On
    // failure no folder is left, made() is false and path() names the folder
    // last tried (empty when none was tried).
    bool create(const Text& parent);
    bool made() const { return held_.isOpen(); }
    const Text& path() const { return path_; }
    // The access list of the folder, for the files created in it: it gives
    // them the same without relying on inheritance. Null before create().
    SECURITY_ATTRIBUTES* security() {
        return security_.lpSecurityDescriptor ? &security_ : nullptr;
    }

    // Lets the folder go and removes it (it must be empty by then).
    void remove();

  private:
    Text path_;
    OSHandle held_;
    SECURITY_ATTRIBUTES security_ = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};
