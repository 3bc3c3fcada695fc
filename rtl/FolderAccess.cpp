#include "rtl/FolderAccess.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "rtl/WinHandles.h"

namespace rtl {

namespace {

SidBytes CopyOf(PSID sid) {
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return SidBytes(bytes, bytes + GetLengthSid(sid));
}

SidBytes FromText(const wchar_t* text) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text, &sid)) return {};
    const UniqueLocalMemory owned(sid);
    return CopyOf(sid);
}

bool Same(PSID sid, const SidBytes& known) {
    return !known.empty() && EqualSid(sid, const_cast<unsigned char*>(known.data()));
}

// Those who may change anything on this computer anyway.
struct Trusted {
    SidBytes sids[4] = {CurrentUserSid(), WellKnownSid(WinLocalSystemSid), WellKnownSid(WinBuiltinAdministratorsSid),
                   // NT SERVICE\TrustedInstaller, which owns what lies below Program Files
                   FromText(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")};

    bool Has(PSID sid) const {
        return std::any_of(std::begin(sids), std::end(sids), [&](const SidBytes& known) { return Same(sid, known); });
    }
};

// The groups that hold every account by their short names, as the
// Security tab shows them.
std::wstring NameOf(PSID sid) {
    static const struct {
        WELL_KNOWN_SID_TYPE type;
        const wchar_t* name;
    } kGroups[] = {{WinWorldSid, L"Everyone"},
                   {WinBuiltinUsersSid, L"Users"},
                   {WinAuthenticatedUserSid, L"Authenticated Users"}};
    for (const auto& group : kGroups)
        if (Same(sid, WellKnownSid(group.type))) return group.name;
    wchar_t name[256] = {}, domain[256] = {};
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"an unknown account";
    const UniqueLocalMemory owned(text);
    return text;
}

// What lets an account add or change files, or the permissions.
constexpr DWORD kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | GENERIC_WRITE | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;

}  // namespace

SidBytes CurrentUserSid() {
    rtl::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    return CopyOf(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

SidBytes WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    SidBytes sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

std::optional<std::vector<std::wstring>> OthersWhoMayWrite(const std::wstring& path) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    const UniqueLocalMemory owned(descriptor);
    if (!list) return std::vector<std::wstring>{L"Everyone"};
    const Trusted trusted;
    std::vector<std::wstring> others;
    const auto add = [&](PSID sid) {
        if (trusted.Has(sid)) return;
        std::wstring name = NameOf(sid);
        if (std::find(others.begin(), others.end(), name) == others.end()) others.push_back(std::move(name));
    };
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        // An entry only for what is made inside later says nothing of the object itself.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if (allowed->Mask & kWriteRights) add(const_cast<DWORD*>(&allowed->SidStart));
    }
    return others;
}

}  // namespace rtl
