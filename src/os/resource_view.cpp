#include "os/resource_view.h"

#include <windows.h>

namespace {
const WORD resourceLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US); // 1033

HRSRC findResource(const char* name) {
    return FindResourceExA(nullptr, RT_RCDATA, name, resourceLanguage);
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
