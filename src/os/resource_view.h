#pragma once
#include <cstdint>

// The bytes of one of the program's own resources of the type and language
// that setup-pack writes (setup_format.h), read in place: the view belongs
// to the loaded image and is never freed.
struct ResourceView {
    const void* data = nullptr;
    uint32_t size = 0;
};

// Finds, loads and locks the resource; fails when it is absent, empty or
// cannot be loaded.
bool loadResourceBytes(const char* name, ResourceView& view);

bool resourceExists(const char* name);
