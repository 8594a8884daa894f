// Readers we did not write: the system's loader reads what pe::ImageWriter
// wrote from the real stub, and pe::Image reads what the system's
// UpdateResource wrote (what setup-pack used before it had its own writer).
#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>

#include "pe/image_writer.h"

namespace {

using Key = std::tuple<std::wstring, std::wstring, WORD>; // type, name ("#10" for ids), language
using Found = std::map<Key, common::Bytes>;

std::wstring keyText(const pe::ResourceName& n) {
    return n.isName() ? std::wstring(n.name.begin(), n.name.end()) : L"#" + std::to_wstring(n.id);
}
std::wstring keyText(LPCWSTR n) {
    return IS_INTRESOURCE(n) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(n)) : n;
}

common::Bytes readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return common::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every resource the loader enumerates in a module, with its bytes.
struct Walk {
    Found found;
    LPCWSTR type = nullptr, name = nullptr;
};
BOOL CALLBACK onLanguage(HMODULE m, LPCWSTR, LPCWSTR, WORD language, LONG_PTR p) {
    Walk& w = *reinterpret_cast<Walk*>(p);
    HRSRC found = FindResourceExW(m, w.type, w.name, language);
    const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(m, found)));
    w.found[Key(keyText(w.type), keyText(w.name), language)] =
        common::Bytes(data, data + SizeofResource(m, found));
    return TRUE;
}
BOOL CALLBACK onName(HMODULE m, LPCWSTR type, LPWSTR name, LONG_PTR p) {
    reinterpret_cast<Walk*>(p)->name = name;
    return EnumResourceLanguagesW(m, type, name, onLanguage, p);
}
BOOL CALLBACK onType(HMODULE m, LPWSTR type, LONG_PTR p) {
    reinterpret_cast<Walk*>(p)->type = type;
    return EnumResourceNamesW(m, type, onName, p);
}
BOOL CALLBACK listName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR p) {
    *reinterpret_cast<std::wstring*>(p) += keyText(name) + L" ";
    return TRUE;
}

Found loaderResources(HMODULE module) {
    Walk walk;
    EXPECT_TRUE(EnumResourceTypesW(module, onType, reinterpret_cast<LONG_PTR>(&walk)));
    return walk.found;
}

Found loaderResources(const std::wstring& path) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(module, nullptr) << GetLastError();
    Found found = module ? loaderResources(module) : Found();
    FreeLibrary(module);
    return found;
}

Found ourResources(const common::Bytes& file) {
    Found found;
    pe::Image image(file);
    for (const pe::Resource& r : image.resources())
        found[Key(keyText(r.type), keyText(r.name), r.language)] =
            common::Bytes(r.data.begin(), r.data.end());
    return found;
}

common::Bytes pseudoRandom(size_t size, uint32_t seed) {
    common::Bytes bytes(size);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
    return bytes;
}

// What both writers are given: a package of several MiB, names that sort
// oddly (digits, '_' after 'Z', lower case), a type of its own, two
// languages, sizes that are no multiple of 8.
struct Given {
    LPCWSTR type, name;
    WORD language;
    common::Bytes data;
};
std::vector<Given> given() {
    return {{MAKEINTRESOURCEW(10), L"PACKAGEFILE", 1033, pseudoRandom(5 * 1024 * 1024 + 3, 1)},
            {MAKEINTRESOURCEW(10), L"LANG1036", 1033, pseudoRandom(300007, 2)},
            {MAKEINTRESOURCEW(10), L"A_B", 1033, pseudoRandom(1, 3)},
            {MAKEINTRESOURCEW(10), L"AZ", 1033, pseudoRandom(9, 4)},
            {MAKEINTRESOURCEW(10), L"9", 1033, pseudoRandom(7, 5)},
            {MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(7), 1033, pseudoRandom(12, 6)},
            {L"ZTYPE", MAKEINTRESOURCEW(1), 1036, pseudoRandom(100, 7)},
            {L"ZTYPE", MAKEINTRESOURCEW(1), 1033, pseudoRandom(3, 8)}};
}

std::wstring workFile(const wchar_t* name) {
    CreateDirectoryW(PE_WORK_DIR, nullptr);
    return std::wstring(PE_WORK_DIR) + L"\\" + name;
}

TEST(PeLoader, FindsMapsAndRunsTheStubWithTheResourcesTheWriterSet) {
    common::Bytes stubBytes = readFile(PE_STUB);
    pe::Image stub(stubBytes);
    pe::ImageWriter writer(stub);
    Found expected = loaderResources(PE_STUB);
    ASSERT_GE(expected.size(), 4u); // dialog, manifest, icons
    std::vector<Given> resources = given();
    for (const Given& g : resources) {
        auto id = [](LPCWSTR n) {
            std::wstring text = keyText(n);
            return IS_INTRESOURCE(n)
                       ? pe::resourceId(static_cast<uint16_t>(std::stoi(text.substr(1))))
                       : pe::ResourceName{0, std::u16string(text.begin(), text.end())};
        };
        writer.setResource(id(g.type), id(g.name), g.language, g.data);
        expected[Key(keyText(g.type), keyText(g.name), g.language)] = g.data;
    }
    std::wstring path = workFile(L"written.exe");
    {
        std::ofstream out(path.c_str(), std::ios::binary);
        for (const auto& piece : writer.build())
            out.write(reinterpret_cast<const char*>(piece.data()), piece.size());
        ASSERT_TRUE(out.flush());
    }
    EXPECT_TRUE(loaderResources(path) == expected) << "the loader reads other resources";
    DWORD stored = 0, computed = 0;
    ASSERT_EQ(MapFileAndCheckSumW(const_cast<wchar_t*>(path.c_str()), &stored, &computed), 0u);
    EXPECT_EQ(stored, computed);

    // Named entries first, sorted as the loader's binary search expects: a
    // lookup by a lower-case name finds its upper-case entry.
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    std::wstring order;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(10), listName, reinterpret_cast<LONG_PTR>(&order));
    EXPECT_EQ(order, L"9 AZ A_B LANG1036 PACKAGEFILE #7 ");
    HRSRC lower = FindResourceExW(module, MAKEINTRESOURCEW(10), L"lang1036", 1033);
    EXPECT_EQ(lower ? SizeofResource(module, lower) : 0, 300007u);
    FreeLibrary(module);

    // As images: each section at its address, the relocations where their
    // moved directory says. (Wine does not relocate a program loaded so;
    // running it below does not need to.)
    HMODULE images[] = {LoadLibraryExW(PE_STUB, nullptr, DONT_RESOLVE_DLL_REFERENCES),
                        LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)};
    common::Bytes relocations[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_NE(images[i], nullptr) << GetLastError();
        ULONG size = 0;
        const uint8_t* at = static_cast<const uint8_t*>(
            ImageDirectoryEntryToData(images[i], TRUE, IMAGE_DIRECTORY_ENTRY_BASERELOC, &size));
        relocations[i].assign(at, at + (at ? size : 0));
    }
    EXPECT_FALSE(relocations[0].empty());
    EXPECT_TRUE(relocations[0] == relocations[1]);
    EXPECT_TRUE(loaderResources(images[1]) == expected);
    FreeLibrary(images[0]);
    FreeLibrary(images[1]);

    // Run: a refused property argument under /S ends it with 1639 at once.
    std::wstring command = L"\"" + path + L"\" /S TRANSFORMS=x";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ASSERT_TRUE(CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 1639u);
}

TEST(PeReader, ReadsTheStubAndWhatUpdateResourceWroteAsTheLoaderDoes) {
    EXPECT_TRUE(ourResources(readFile(PE_STUB)) == loaderResources(PE_STUB));
    std::wstring path = workFile(L"updated.exe");
    ASSERT_TRUE(CopyFileW(PE_STUB, path.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    std::vector<Given> resources = given();
    for (Given& g : resources)
        ASSERT_TRUE(UpdateResourceW(update, g.type, g.name, g.language, g.data.data(),
                                    static_cast<DWORD>(g.data.size())));
    ASSERT_TRUE(EndUpdateResourceW(update, FALSE));
    Found ours = ourResources(readFile(path));
    EXPECT_TRUE(ours == loaderResources(path));
    for (const Given& g : resources)
        EXPECT_TRUE(ours[Key(keyText(g.type), keyText(g.name), g.language)] == g.data);
}

} // namespace
