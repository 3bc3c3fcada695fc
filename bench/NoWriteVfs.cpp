// The benchmark's VFS library: the stand-in VFS (same description, same
// call bookkeeping, same checks of volumes, paths and sources, C calling
// convention) except that VFSFilePut reads the source whole and writes no
// card file. A card folder that grows by thousands of files would measure
// Wine's directory handling instead of the conduit.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "desktop/CardPath.h"
#include "desktop/Codes.h"
#include "desktop/Files.h"
#include "desktop/Handles.h"
#include "desktop/StandIn.h"

using namespace desktop;

namespace {

#pragma pack(push, 1)
struct VolumeInfo {
    std::uint32_t attributes;
    std::uint32_t fsType;
    std::uint32_t fsCreator;
    std::uint32_t mountClass;
    std::uint16_t slotLibRefNum;
    std::uint16_t slotRefNum;
    std::uint32_t mediaType;
    std::uint32_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(VolumeInfo) == 28);
static_assert(offsetof(VolumeInfo, mediaType) == 20);

template <class Body>
long WithVolume(const Desktop& desktop, unsigned short ref, Body&& body) {
    const Volume* volume = desktop.description.FindVolume(ref);
    if (!volume) return codes::kVfsVolumeBadRef;
    const std::string folder = desktop.VolumeFolder(*volume);
    if (!DirectoryExists(folder)) return codes::kVfsNoFileSystem;
    return body(folder);
}

bool ReadWhole(HANDLE file) {
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
        if (got == 0) return true;
    }
    return false;
}

long PutFile(const Desktop& desktop, unsigned short ref, const char* cardPath, const char* desktopPath) {
    if (!cardPath || !desktopPath) return codes::kSysParamErr;
    return WithVolume(desktop, ref, [&](const std::string& folder) {
        const auto components = SplitCardPath(cardPath);
        if (!components || components->empty()) return codes::kVfsBadName;
        if (const auto code = desktop.description.FailCopyCode(desktopPath)) return *code;
        const DWORD attributes = GetFileAttributesA(desktopPath);
        if (attributes == INVALID_FILE_ATTRIBUTES) return codes::kVfsFileNotFound;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return codes::kVfsIsADirectory;
        UniqueFile source(CreateFileA(desktopPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!source) return codes::kVfsFilePermissionDenied;
        const std::string target = *CardPathOnDisk(folder, cardPath);
        const std::string parent = ParentOf(target);
        if (FileExists(parent)) return codes::kVfsNotADirectory;
        if (!DirectoryExists(parent)) return codes::kVfsDirectoryNotFound;
        if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) return codes::kVfsFileAlreadyExists;
        return ReadWhole(source.get()) ? codes::kOk : codes::kVfsFileGeneric;
    });
}

long CreateDir(const Desktop& desktop, unsigned short ref, const char* cardPath) {
    if (!cardPath) return codes::kSysParamErr;
    return WithVolume(desktop, ref, [&](const std::string& folder) {
        const auto components = SplitCardPath(cardPath);
        if (!components || components->empty()) return codes::kVfsBadName;
        std::string path = folder;
        bool created = false;
        for (const auto& component : *components) {
            path = JoinPath(path, component);
            if (FileExists(path)) return codes::kVfsNotADirectory;
            if (DirectoryExists(path)) continue;
            if (!CreateDirectoryA(path.c_str(), nullptr)) return codes::kVfsFileGeneric;
            created = true;
        }
        return created ? codes::kOk : codes::kVfsFileAlreadyExists;
    });
}

long DeleteEntry(const Desktop& desktop, unsigned short ref, const char* cardPath) {
    if (!cardPath) return codes::kSysParamErr;
    return WithVolume(desktop, ref, [&](const std::string& folder) {
        const auto components = SplitCardPath(cardPath);
        if (!components || components->empty()) return codes::kVfsBadName;
        const std::string path = *CardPathOnDisk(folder, cardPath);
        if (FileExists(path)) return DeleteFileA(path.c_str()) ? codes::kOk : codes::kVfsFilePermissionDenied;
        if (!DirectoryExists(path)) return codes::kVfsFileNotFound;
        return codes::kVfsDirNotEmpty;
    });
}

}  // namespace

extern "C" long __cdecl VFSFilePut(unsigned short ref, const char* cardPath, const char* desktopPath) noexcept {
    return Run("VFSFilePut", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}, Text{desktopPath}); },
               [&](const Desktop& d) { return PutFile(d, ref, cardPath, desktopPath); });
}

extern "C" long __cdecl VFSFileDelete(unsigned short ref, const char* cardPath) noexcept {
    return Run("VFSFileDelete", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}); },
               [&](const Desktop& d) { return DeleteEntry(d, ref, cardPath); });
}

extern "C" long __cdecl VFSDirCreate(unsigned short ref, const char* cardPath) noexcept {
    return Run("VFSDirCreate", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}); },
               [&](const Desktop& d) { return CreateDir(d, ref, cardPath); });
}

extern "C" long __cdecl VFSVolumeEnumerate(unsigned short* count, unsigned short* refs) noexcept {
    return Run("VFSVolumeEnumerate", codes::kSysParamErr,
               [&] { return Args(Ref<unsigned short>{count}, Buffer{refs}); }, [&](const Desktop& d) {
                   if (!count) return codes::kSysParamErr;
                   const auto& volumes = d.description.volumes;
                   std::size_t filled = volumes.size();
                   if (refs) {
                       filled = std::min<std::size_t>(filled, *count);
                       for (std::size_t i = 0; i < filled; ++i) refs[i] = volumes[i].ref;
                   }
                   *count = static_cast<unsigned short>(filled);
                   return codes::kOk;
               });
}

extern "C" long __cdecl VFSVolumeInfo(unsigned short ref, void* info) noexcept {
    return Run("VFSVolumeInfo", codes::kSysParamErr, [&] { return Args(ref, Buffer{info}); }, [&](const Desktop& d) {
        if (!info) return codes::kSysParamErr;
        const Volume* volume = d.description.FindVolume(ref);
        if (!volume) return codes::kVfsVolumeBadRef;
        VolumeInfo record{};
        record.fsType = FourCC("vfat");
        record.slotRefNum = std::uint16_t(ref);
        record.mediaType = volume->mediaType;
        std::memcpy(info, &record, sizeof record);
        return codes::kOk;
    });
}
