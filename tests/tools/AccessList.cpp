#include "tests/tools/AccessList.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "rtl/WinHandles.h"

namespace tooltest {

unsigned long LetEveryoneWrite(const std::filesystem::path& folder) {
    EXPLICIT_ACCESS_W everyone{};
    BuildExplicitAccessWithNameW(&everyone, const_cast<wchar_t*>(L"Everyone"), FILE_ALL_ACCESS, SET_ACCESS,
                                 SUB_CONTAINERS_AND_OBJECTS_INHERIT);
    PACL list = nullptr;
    if (const DWORD made = SetEntriesInAclW(1, &everyone, nullptr, &list); made != ERROR_SUCCESS) return made;
    const rtl::UniqueLocalMemory owned(list);
    return SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.wstring().c_str()), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr);
}

AccessList AccessListOf(const std::filesystem::path& folder) {
    AccessList result;
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.wstring().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return result;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; list && i < list->AceCount; ++i) {
        void* entry = nullptr;
        wchar_t* text = nullptr;
        if (GetAce(list, i, &entry) && ConvertSidToStringSidW(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, &text)) {
            result.trustees.insert(text);
            LocalFree(text);
        }
    }
    LocalFree(descriptor);
    return result;
}

std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    unsigned char buffer[256] = {};
    DWORD size = sizeof buffer;
    GetTokenInformation(token, TokenUser, buffer, size, &size);
    CloseHandle(token);
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    const std::wstring sid = text ? text : L"";
    LocalFree(text);
    return sid;
}

}  // namespace tooltest
