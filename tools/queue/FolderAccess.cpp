#include "tools/queue/FolderAccess.h"

#include <windows.h>
#include <aclapi.h>

#include <optional>
#include <vector>

#include "app/FileIdentity.h"
#include "rtl/FolderAccess.h"
#include "rtl/WinHandles.h"
#include "tools/queue/FileFacts.h"

namespace queuetool {

namespace {

// A protected descriptor whose list grants the user, SYSTEM and the
// Administrators everything, for the folder and all it will hold. Protected:
// nothing of the parent's (Everyone, Users on a drive's root) flows in.
class PrivateDescriptor {
public:
    bool Build() {
        sids_ = {rtl::CurrentUserSid(), rtl::WellKnownSid(WinLocalSystemSid),
                 rtl::WellKnownSid(WinBuiltinAdministratorsSid)};
        EXPLICIT_ACCESS_W access[3] = {};
        for (size_t i = 0; i < 3; ++i) {
            if (sids_[i].empty()) return false;
            access[i].grfAccessPermissions = FILE_ALL_ACCESS;
            access[i].grfAccessMode = SET_ACCESS;
            access[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
            access[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
            access[i].Trustee.ptstrName = reinterpret_cast<LPWSTR>(sids_[i].data());
        }
        PACL list = nullptr;
        if (const DWORD error = SetEntriesInAclW(3, access, nullptr, &list); error != ERROR_SUCCESS) {
            SetLastError(error);
            return false;
        }
        list_.reset(list);
        return InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor_, TRUE, list, FALSE) &&
               SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    SECURITY_DESCRIPTOR* Get() { return &descriptor_; }

private:
    std::vector<rtl::SidBytes> sids_;
    rtl::UniqueLocalMemory list_;
    SECURITY_DESCRIPTOR descriptor_{};
};

// The folder opened as itself to change its list, only when it is what its
// path names: not a link, and (where Windows says) its final path is its
// parent's with its own name.
rtl::UniqueFile OpenPlainFolder(const std::wstring& path) {
    namespace identity = app::identity;
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const std::wstring full = identity::FullPath(path);
    rtl::UniqueFile folder = identity::Open(full, READ_CONTROL | WRITE_DAC, kShareAll, identity::Links::NotFollowed);
    if (!folder) return folder;
    const DWORD attributes = identity::AttributesOf(folder.get());
    bool plain = (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    const std::wstring final = identity::FinalPath(folder.get());
    const std::wstring parentPath = identity::ParentOf(full);
    if (plain && !final.empty() && !parentPath.empty()) {
        const rtl::UniqueFile parent =
            identity::Open(parentPath, FILE_READ_ATTRIBUTES, kShareAll, identity::Links::Followed);
        std::wstring expected = parent ? identity::FinalPath(parent.get()) : L"";
        if (!expected.empty() && expected.back() != L'\\') expected += L'\\';
        plain = identity::SamePath(final, expected + full.substr(parentPath.size() + (full[parentPath.size()] == L'\\')));
    }
    if (plain) return folder;
    SetLastError(ERROR_DIRECTORY);
    return {};
}

}  // namespace

bool MakePrivateFolder(const std::wstring& path) {
    PrivateDescriptor descriptor;
    if (!descriptor.Build()) return false;
    // Given at creation, so that there is no moment in which others may write.
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

bool MakeFolderPrivate(const std::wstring& path) {
    PrivateDescriptor descriptor;
    if (!descriptor.Build()) return false;
    const rtl::UniqueFile folder = OpenPlainFolder(path);
    // On the handle that was checked. The descriptor's own protected flag
    // goes with it, and an empty folder has nothing to pass the list on to.
    return folder && SetKernelObjectSecurity(folder.get(), DACL_SECURITY_INFORMATION, descriptor.Get()) != FALSE;
}

std::wstring WhoElseMayWrite(const std::wstring& path) {
    const std::optional<std::wstring> others = facts::OthersWhoMayWrite(path);
    if (!others)
        return path + L": its drive keeps no permissions, so anybody who can reach it may save files into it, and "
                      L"every file saved there goes to your handheld. Prefer a folder below your user profile on the "
                      L"computer's own disk.";
    if (others->empty()) return L"";
    return *others + L" may save files into " + path + L", and every file saved there goes to your handheld at your "
           L"next HotSync. In the folder's Properties, Security, let only your account write to it; or choose a "
           L"folder of your own (tolvane-queue outbox USER --create FOLDER makes one that only you may use).";
}

}  // namespace queuetool
