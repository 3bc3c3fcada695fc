// A handheld's card volumes played by test doubles of the VFS entries: the
// volumes they report, the copies that fail, and every call in CallLog().
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/memorycard.h"
#include "tests/unit/PalmDoubles.h"

namespace testing_card {

using testing_palm::CallLog;
using testing_palm::EntryOverride;

struct FakeVolume {
    uint16_t ref = 0;
    uint32_t mediaType = 0;
    bool infoFails = false;
};

struct FakeCard {
    std::vector<FakeVolume> volumes;
    int secondEnumerateFills = -1;                     // < 0: as many as asked for
    std::map<std::string, long> failingSources;        // desktop path -> VFSFilePut result
    std::function<void(const std::string&)> duringPut; // runs inside VFSFilePut with the desktop path
};

inline FakeCard& Card() {
    static FakeCard card;
    return card;
}

inline constexpr uint32_t FourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
inline constexpr uint32_t kSdig = FourCC("sdig");
inline constexpr uint32_t kMmcd = FourCC("mmcd");

inline long __cdecl FakeVolumeEnumerate(unsigned short* count, unsigned short* refs) {
    CallLog().push_back(refs ? "enumerate " + std::to_string(*count) : "enumerate count");
    const auto& volumes = Card().volumes;
    if (!refs) {
        *count = static_cast<unsigned short>(volumes.size());
        return 0;
    }
    size_t filled = std::min<size_t>(*count, volumes.size());
    if (Card().secondEnumerateFills >= 0) filled = std::min<size_t>(filled, size_t(Card().secondEnumerateFills));
    for (size_t i = 0; i < filled; ++i) refs[i] = volumes[i].ref;
    *count = static_cast<unsigned short>(filled);
    return 0;
}

inline long __cdecl FakeVolumeInfo(unsigned short ref, void* info) {
    CallLog().push_back("info " + std::to_string(ref));
    for (const FakeVolume& volume : Card().volumes) {
        if (volume.ref != ref) continue;
        if (volume.infoFails) return 0x2A0A;
        std::memcpy(static_cast<char*>(info) + 20, &volume.mediaType, 4);
        return 0;
    }
    return 0x2A0A;
}

inline long __cdecl FakeDirCreate(unsigned short ref, const char* dir) {
    CallLog().push_back("dircreate " + std::to_string(ref) + " " + dir);
    return 0x2A0C;  // "already exists": the conduit must not care
}

inline long __cdecl FakeFileDelete(unsigned short ref, const char* path) {
    CallLog().push_back("delete " + std::to_string(ref) + " " + path);
    return 0x2A04;
}

inline long __cdecl FakeFilePut(unsigned short ref, const char* cardPath, const char* desktopPath) {
    CallLog().push_back("put " + std::to_string(ref) + " " + cardPath + " " + desktopPath);
    if (Card().duringPut) Card().duringPut(desktopPath);
    const auto failing = Card().failingSources.find(desktopPath);
    return failing == Card().failingSources.end() ? 0 : failing->second;
}

// Puts the doubles in place of the VFS entries for one test's lifetime.
class VfsDoubles {
public:
    VfsDoubles() {
        Card() = FakeCard{};
        CallLog().clear();
    }

private:
    EntryOverride<palm::vfs::eVFSVolumeEnumerate> enumerate_{&FakeVolumeEnumerate};
    EntryOverride<palm::vfs::eVFSVolumeInfo> info_{&FakeVolumeInfo};
    EntryOverride<palm::vfs::eVFSDirCreate> dir_{&FakeDirCreate};
    EntryOverride<palm::vfs::eVFSFileDelete> delete_{&FakeFileDelete};
    EntryOverride<palm::vfs::eVFSFilePut> put_{&FakeFilePut};
};

}  // namespace testing_card
