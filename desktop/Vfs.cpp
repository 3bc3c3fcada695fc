// The VFS library: the handheld's mounted card volumes, each played by a
// folder on disk (see CardPath.h for the paths that it accepts).
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "desktop/CardPath.h"
#include "desktop/Export.h"
#include "desktop/Files.h"
#include "desktop/Handles.h"

using namespace desktop;

namespace {

// The volume information record as the handheld reports it: 28 bytes, no
// gaps, the media type at offset 20.
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

// Runs `body` with the volume's folder on disk, or answers why there is none.
template <class Body>
long WithVolume(const Desktop& desktop, unsigned short ref, Body&& body) {
    const Volume* volume = desktop.description.FindVolume(ref);
    if (!volume) return codes::kVfsVolumeBadRef;
    const std::string folder = desktop.VolumeFolder(*volume);
    if (!DirectoryExists(folder)) return codes::kVfsNoFileSystem;
    return body(*volume, folder);
}

long PutFile(const Desktop& desktop, unsigned short ref, const char* cardPath, const char* desktopPath) {
    if (!cardPath || !desktopPath) return codes::kSysParamErr;
    return WithVolume(desktop, ref, [&](const Volume& volume, const std::string& folder) {
        const auto components = SplitCardPath(cardPath);
        if (!components || components->empty()) return codes::kVfsBadName;
        if (const auto code = desktop.description.FailCopyCode(desktopPath)) return *code;

        const DWORD sourceAttributes = GetFileAttributesA(desktopPath);
        if (sourceAttributes == INVALID_FILE_ATTRIBUTES) return codes::kVfsFileNotFound;
        if (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) return codes::kVfsIsADirectory;
        UniqueFile source(CreateFileA(desktopPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!source) return codes::kVfsFilePermissionDenied;

        const std::string target = *CardPathOnDisk(folder, cardPath);
        const std::string parent = ParentOf(target);
        if (FileExists(parent)) return codes::kVfsNotADirectory;
        if (!DirectoryExists(parent)) return codes::kVfsDirectoryNotFound;
        // The card keeps an older copy until the caller deletes it.
        if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) return codes::kVfsFileAlreadyExists;

        LARGE_INTEGER size{};
        if (!GetFileSizeEx(source.get(), &size)) return codes::kVfsFileGeneric;
        if (volume.capacity && TreeSize(folder) + std::uint64_t(size.QuadPart) > *volume.capacity)
            return codes::kVfsVolumeFull;
#ifdef DESKTOP_VFS_NO_CARD_WRITE
        // The benchmark's build: every check and the read of the source, but no
        // card file, so that a card folder growing by thousands of files does
        // not measure Wine's directory handling instead of the conduit.
        char sink[16384];
        DWORD read = 0;
        while (ReadFile(source.get(), sink, sizeof sink, &read, nullptr) && read > 0) {
        }
        return codes::kOk;
#endif

        UniqueFile copy(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!copy) return codes::kVfsFileGeneric;
        char chunk[16384];
        DWORD got = 0, written = 0;
        bool ok = true;
        while (ok && ReadFile(source.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
            ok = WriteFile(copy.get(), chunk, got, &written, nullptr) && written == got;
        copy.reset();
        if (!ok) {
            DeleteFileA(target.c_str());
            return codes::kVfsFileGeneric;
        }
        return codes::kOk;
    });
}

// Creates the directory and any missing parents; an existing directory
// answers "already exists", as on the handheld.
long CreateDir(const Desktop& desktop, unsigned short ref, const char* cardPath) {
    if (!cardPath) return codes::kSysParamErr;
    return WithVolume(desktop, ref, [&](const Volume&, const std::string& folder) {
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
    return WithVolume(desktop, ref, [&](const Volume&, const std::string& folder) {
        const auto components = SplitCardPath(cardPath);
        if (!components || components->empty()) return codes::kVfsBadName;
        const std::string path = *CardPathOnDisk(folder, cardPath);
        if (FileExists(path)) return DeleteFileA(path.c_str()) ? codes::kOk : codes::kVfsFilePermissionDenied;
        if (!DirectoryExists(path)) return codes::kVfsFileNotFound;
        if (TreeSize(path) > 0 || !RemoveDirectoryA(path.c_str())) return codes::kVfsDirNotEmpty;
        return codes::kOk;
    });
}

}  // namespace

DESKTOP_EXPORT long DESKTOP_CC VFSFilePut(unsigned short ref, const char* cardPath, const char* desktopPath) noexcept {
    return Run("VFSFilePut", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}, Text{desktopPath}); },
               [&](const Desktop& d) { return PutFile(d, ref, cardPath, desktopPath); });
}

DESKTOP_EXPORT long DESKTOP_CC VFSFileDelete(unsigned short ref, const char* cardPath) noexcept {
    return Run("VFSFileDelete", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}); },
               [&](const Desktop& d) { return DeleteEntry(d, ref, cardPath); });
}

DESKTOP_EXPORT long DESKTOP_CC VFSDirCreate(unsigned short ref, const char* cardPath) noexcept {
    return Run("VFSDirCreate", codes::kVfsFileGeneric, [&] { return Args(ref, Text{cardPath}); },
               [&](const Desktop& d) { return CreateDir(d, ref, cardPath); });
}

// Without an array, *count becomes the number of mounted volumes; with one,
// at most *count references are filled and *count becomes the number filled.
DESKTOP_EXPORT long DESKTOP_CC VFSVolumeEnumerate(unsigned short* count, unsigned short* refs) noexcept {
    return Run("VFSVolumeEnumerate", codes::kSysParamErr,
               [&] { return Args(Ref<unsigned short>{count}, Buffer{refs}); }, [&](const Desktop& d) {
                   if (!count) return codes::kSysParamErr;
                   const auto& volumes = d.description.volumes;
                   std::size_t filled = volumes.size();
                   if (refs) {
                       filled = std::min<std::size_t>(filled, *count);
                       for (std::size_t i = 0; i < filled; ++i) refs[i] = volumes[i].ref;
                   }
                   // [VolumeEnumerate] Extra: a library that claims more than it gives.
                   *count = static_cast<unsigned short>(filled + d.description.switches.extraVolumes);
                   return codes::kOk;
               });
}

DESKTOP_EXPORT long DESKTOP_CC VFSVolumeInfo(unsigned short ref, void* info) noexcept {
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
