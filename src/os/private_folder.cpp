#include "os/private_folder.h"

#include <sddl.h>

// advapi32's RtlGenRandom, which the SDK declares only under its export name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace {
// Full access for SYSTEM, the Administrators and the user, passed on to the
// files inside; "P" protects the list from what the parent would pass down.
const char aclHead[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;";

// The current user's SID as text, or empty.
Text currentUserSid() {
    Text sid;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return sid;
    OSHandle owned(token);
    union {
        TOKEN_USER user;
        char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    char* text = nullptr;
    if (GetTokenInformation(token, TokenUser, &info, sizeof(info), &size) &&
        ConvertSidToStringSidA(info.user.User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    return sid;
}

bool randomName(Text& name) {
    unsigned char bytes[8];
    if (!SystemFunction036(bytes, sizeof(bytes)))
        return false;
    name = "setup-";
    for (unsigned char byte : bytes)
        name.append("0123456789ABCDEF"[byte >> 4]).append("0123456789ABCDEF"[byte & 15]);
    return true;
}

// Opens the folder just made, and accepts it only when it is a folder and no
// reparse point (a link that someone swapped in).
bool holdFolder(const Text& path, OSHandle& held) {
    held.attach(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (held.isOpen() && GetFileInformationByHandle(held.get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    held.close();
    return false;
}
} // namespace

bool PrivateFolder::create(const Text& parent) {
    remove();
    Text sid = currentUserSid();
    if (sid.empty())
        return false;
    Text acl(aclHead);
    acl.append(sid).append(")");
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            acl.c_str(), SDDL_REVISION_1, &security_.lpSecurityDescriptor, nullptr))
        return false;
    Text name;
    bool created = false;
    // A name that exists is never taken over; a few fresh draws are enough
    // for a collision by chance, anything else is a failure.
    for (int attempt = 0; attempt < 4 && !created; ++attempt) {
        if (!randomName(name))
            break;
        path_ = parent;
        path_.append(name);
        created = CreateDirectoryA(path_.c_str(), &security_) != 0;
        if (!created && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (created && !holdFolder(path_, held_))
        RemoveDirectoryA(path_.c_str());
    if (!made()) {
        LocalFree(security_.lpSecurityDescriptor);
        security_.lpSecurityDescriptor = nullptr;
        return false;
    }
    path_.append('\\');
    return true;
}

void PrivateFolder::remove() {
    if (made()) {
        held_.close();
        RemoveDirectoryA(path_.c_str());
    }
    path_.clear();
    if (security_.lpSecurityDescriptor)
        LocalFree(security_.lpSecurityDescriptor);
    security_.lpSecurityDescriptor = nullptr;
}
