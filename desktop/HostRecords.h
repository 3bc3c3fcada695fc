// The records that the HotSync Manager passes to a conduit, in its byte
// layout: no gaps, little-endian 32-bit values, NUL-terminated 8-bit texts
// inside fixed arrays. Written for the stand-in host on its own, so that a
// layout fault in the conduit's copy shows when the two meet.
#pragma once
#include <cstddef>
#include <cstdint>

namespace desktop::host {

// Sync action codes and kinds of preference.
enum : std::int32_t { kActionSync = 0, kActionHandheldOverwrites = 2, kActionDesktopOverwrites = 3, kActionNothing = 6 };
enum : std::int32_t { kPrefPermanent = 1, kPrefTemporary = 2 };

#pragma pack(push, 1)

// Handed to OpenConduit. Conduits read the user's folder; the rest is the
// host's own, which the stand-in fills with a pattern that a conduit must
// leave alone.
struct SyncProperties {
    std::int32_t syncType;
    char pathName[256];
    std::uint8_t hostPrivate[508];
};
static_assert(offsetof(SyncProperties, pathName) == 4);
static_assert(sizeof(SyncProperties) == 768);

// Handed to CfgConduit, 352 bytes.
struct CfgConduitInfo {
    std::uint32_t infoVersion;
    std::uint32_t infoSize;
    std::uint32_t creatorCode;
    std::uint32_t userId;
    char userName[64];
    char pathName[256];
    std::int32_t syncPermanent;
    std::int32_t syncTemporary;
    std::int32_t syncNew;
    std::int32_t syncPref;
};
static_assert(offsetof(CfgConduitInfo, infoSize) == 4);
static_assert(offsetof(CfgConduitInfo, creatorCode) == 8);
static_assert(offsetof(CfgConduitInfo, userId) == 12);
static_assert(offsetof(CfgConduitInfo, userName) == 16);
static_assert(offsetof(CfgConduitInfo, pathName) == 80);
static_assert(offsetof(CfgConduitInfo, syncPermanent) == 336);
static_assert(offsetof(CfgConduitInfo, syncTemporary) == 340);
static_assert(offsetof(CfgConduitInfo, syncNew) == 344);
static_assert(offsetof(CfgConduitInfo, syncPref) == 348);
static_assert(sizeof(CfgConduitInfo) == 352);

// Handed to ConfigureConduit; a conduit uses its first 524 bytes.
struct SyncPreference {
    char pathName[256];
    std::uint8_t hostPrivate[260];
    std::int32_t syncPref;
    std::int32_t syncType;
};
static_assert(offsetof(SyncPreference, syncPref) == 516);
static_assert(offsetof(SyncPreference, syncType) == 520);
static_assert(sizeof(SyncPreference) == 524);

// Input of GetConduitInfo for the conduit's name.
struct ConduitRequestInfo {
    std::uint32_t infoVersion;  // 1
    std::uint32_t infoSize;     // 80
    std::uint8_t reserved[72];
};
static_assert(sizeof(ConduitRequestInfo) == 80);

#pragma pack(pop)

// GetConduitInfo's info types.
enum : std::int32_t { kInfoName = 0, kInfoHostFlags = 1, kInfoDefaultAction = 2 };

// The Conduit API, C calling convention.
using ProgressFn = void(__cdecl*)(const char*);
using GetConduitNameFn = long(__cdecl*)(char*, unsigned short);
using GetConduitVersionFn = unsigned long(__cdecl*)();
using GetConduitInfoFn = long(__cdecl*)(long, void*, void*, unsigned long*);
using OpenConduitFn = long(__cdecl*)(ProgressFn, const SyncProperties*);
using ConfigureConduitFn = long(__cdecl*)(SyncPreference*);
using CfgConduitFn = long(__cdecl*)(long, void*, unsigned long*);

}  // namespace desktop::host
