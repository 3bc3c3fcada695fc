// The result codes that the stand-ins return: Palm OS and Palm Desktop
// values, so that a conduit's error texts and logs read as they would with
// the real libraries.
#pragma once

namespace desktop::codes {

inline constexpr long kOk = 0;
inline constexpr long kFailed = -1;

// Palm OS system and VFS errors (VFS error class 0x2A00).
inline constexpr long kSysParamErr = 0x0502;
inline constexpr long kVfsFileGeneric = 0x2A02;
inline constexpr long kVfsFilePermissionDenied = 0x2A05;
inline constexpr long kVfsFileAlreadyExists = 0x2A06;
inline constexpr long kVfsFileNotFound = 0x2A08;
inline constexpr long kVfsVolumeBadRef = 0x2A09;
inline constexpr long kVfsNoFileSystem = 0x2A0B;
inline constexpr long kVfsDirNotEmpty = 0x2A0D;
inline constexpr long kVfsBadName = 0x2A0E;
inline constexpr long kVfsVolumeFull = 0x2A0F;
inline constexpr long kVfsNotADirectory = 0x2A11;
inline constexpr long kVfsIsADirectory = 0x2A12;
inline constexpr long kVfsDirectoryNotFound = 0x2A13;

// Conduit Manager.
inline constexpr long kCmNotFound = -1003;
inline constexpr long kCmAlreadyInUse = -1005;
inline constexpr long kCmAccess = -1006;
inline constexpr long kCmCannotSet = -1008;
inline constexpr long kCmBufferTooSmall = -1010;
inline constexpr long kCmValueNotFound = -1011;
inline constexpr long kCmBadCreator = -1012;
inline constexpr long kCmBadPointer = -1013;
inline constexpr long kCmBadType = -1015;

// User Data.
inline constexpr long kUmBadIndex = -501;
inline constexpr long kUmBufferTooSmall = -502;
inline constexpr long kUmIndexTooLarge = -514;
inline constexpr long kUmNullBuffer = -516;
inline constexpr long kUmNoUserDirectory = -551;

}  // namespace desktop::codes
