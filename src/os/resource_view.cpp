#include "os/resource_view.h"

#include <windows.h>

#include "base/setup_format.h"

namespace {
HRSRC findResource(const char* name) {
    return FindResourceExA(nullptr, MAKEINTRESOURCEA(setup_format::resourceType), name,
                           setup_format::resourceLanguage);
}
} // namespace

bool loadResourceBytes(const char* name, ResourceView& view) {
    HRSRC resource = findResource(name);
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(nullptr, resource);
    DWORD size = SizeofResource(nullptr, resource);
    if (!loaded || size == 0)
        return false;
    const void* data = LockResource(loaded);
    if (!data)
        return false;
    view.data = data;
    view.size = size;
    return true;
}

bool resourceExists(const char* name) {
    return findResource(name) != nullptr;
}
