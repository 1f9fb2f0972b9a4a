// The plain-function interface that reads and compares the four-part versions of shared
// resource files (fonts, colour profiles, character maps, conversion tables, script files).
#pragma once

#include <cstdint>

extern "C" {

// Four parts, most significant first; kKVR_UnsetPart marks a part that was never read.
struct KVR_FileVersion {
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t thirdVersion;
    std::uint32_t fourthVersion;
};

const std::uint32_t kKVR_UnsetPart = 0xFFFFFFFFu;

// The kind of a versioned file. Unknown and platform native are never reported by a versioner.
enum KVR_FileType : std::uint32_t {
    kKVR_FileTypeUnknown = 0,
    kKVR_FileTypePlatformNative = 1,
    kKVR_FileTypeColorProfile = 2,
    kKVR_FileTypeOpenTypeFont = 3,
    kKVR_FileTypeType1Font = 4,
    kKVR_FileTypeUnicodeMap = 5,
    kKVR_FileTypeICUData = 6,
    kKVR_FileTypeFontDatabase = 7,
    kKVR_FileTypeCMap = 8,
    kKVR_FileTypeScriptFile = 9,
    kKVR_FileTypeReserved = 0xFFFFFFFFu
};

// Result codes of the three entry points.
typedef std::int32_t KVR_Result;
const KVR_Result kKVR_Success = 0;
const KVR_Result kKVR_NotRecognized = 1;  // not a known kind of file, or an internal failure
const KVR_Result kKVR_FileNotFound = 2;   // missing, not readable, or a folder
const KVR_Result kKVR_BadArgument = 4;    // a null argument, or a version part unset
const KVR_Result kKVR_TypeMismatch = 5;   // two files of different kinds where one kind was required

// The version and kind of the file at the UTF-8 path. Both are written only when the file was
// recognised (kKVR_Success).
KVR_Result KVR_GetFileVersion(const char* path, KVR_FileVersion* version, KVR_FileType* type);

// result: -1, 0 or 1 as a is lower than, equal to or higher than b, each part compared as a
// signed 32-bit number. kKVR_BadArgument, result untouched, when a part of either is unset.
KVR_Result KVR_CompareVersions(const KVR_FileVersion* a, const KVR_FileVersion* b, int* result);

// Reads both files' versions and compares them; the first failure of a read is answered as it
// is. With requireSameType non-zero, files of different kinds give kKVR_TypeMismatch.
KVR_Result KVR_CompareFiles(const char* pathA, const char* pathB, int requireSameType, int* result);

}  // extern "C"
