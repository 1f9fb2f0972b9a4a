#include "KVRFileVersion.h"

#include "VersionFactory.h"

#include <functional>

namespace {

bool HasUnsetPart(const KVR_FileVersion& version)
{
    return version.majorVersion == kKVR_UnsetPart || version.minorVersion == kKVR_UnsetPart
           || version.thirdVersion == kKVR_UnsetPart || version.fourthVersion == kKVR_UnsetPart;
}

}  // namespace

extern "C" KVR_Result KVR_GetFileVersion(const char* path, KVR_FileVersion* version, KVR_FileType* type)
{
    if (path == nullptr || version == nullptr || type == nullptr)
        return kKVR_BadArgument;
    try {
        std::string platformPath;
        if (!UTF8ToPlatformFilePath(path, platformPath) || !DoesFilePathExist(platformPath))
            return kKVR_FileNotFound;
        return VersionFactory::GetFileVersion(platformPath, *version, *type) ? kKVR_Success : kKVR_NotRecognized;
    } catch (...) {
        return kKVR_NotRecognized;
    }
}

extern "C" KVR_Result KVR_CompareVersions(const KVR_FileVersion* a, const KVR_FileVersion* b, int* result)
{
    if (a == nullptr || b == nullptr || result == nullptr || HasUnsetPart(*a) || HasUnsetPart(*b))
        return kKVR_BadArgument;
    try {
        const std::less<std::int32_t> ordering;
        if (VersionOps::CompareVersions(*a, *b, ordering))
            *result = -1;
        else if (VersionOps::CompareVersions(*b, *a, ordering))
            *result = 1;
        else
            *result = 0;
        return kKVR_Success;
    } catch (...) {
        return kKVR_NotRecognized;
    }
}

extern "C" KVR_Result KVR_CompareFiles(const char* pathA, const char* pathB, int requireSameType, int* result)
{
    KVR_FileVersion versionA = {kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart};
    KVR_FileVersion versionB = versionA;
    KVR_FileType typeA = kKVR_FileTypeUnknown;
    KVR_FileType typeB = kKVR_FileTypeUnknown;
    KVR_Result code = KVR_GetFileVersion(pathA, &versionA, &typeA);
    if (code != kKVR_Success)
        return code;
    code = KVR_GetFileVersion(pathB, &versionB, &typeB);
    if (code != kKVR_Success)
        return code;
    if (requireSameType != 0 && typeA != typeB)
        return kKVR_TypeMismatch;
    return KVR_CompareVersions(&versionA, &versionB, result);
}
