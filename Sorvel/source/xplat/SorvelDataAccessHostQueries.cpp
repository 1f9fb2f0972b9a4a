// The data-access methods that look at the host and its files rather than at the payloads: the
// system, volumes, paths, applications, ports, directory tokens, the user and restart flags and
// file loading. The queries particular to the platform are the Impl methods of the platform half.
#include "SorvelDataAccess.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "InstallerEngine.h"
#include "Shared/TolkConstants.h"
#include "SorvelJSPublisherUtilities.h"

#include <exception>
#include <set>
#include <sstream>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;
using SorvelJSPublisherUtilities::MakeJSONSuccessObj;

namespace {

std::string Serialized(const JSONUtilities::JSONBase& answer)
{
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

std::string WrongArgumentCount()
{
    return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
}

const std::uint32_t kArchitectureIntel32 = 2;
const std::uint32_t kArchitecturePPC = 4;
const std::uint32_t kArchitectureAMD64 = 8;
const std::uint32_t kArchitectureItanium64 = 16;

}  // namespace

// ---- SorvelDataAccess::FixedVolumeInfo ----

SorvelDataAccess::FixedVolumeInfo::FixedVolumeInfo(const std::string& friendlyName, bool isSystemVolume,
                                                   const FileSystemPath& imagePath, bool ownsImage)
    : friendlyName_(friendlyName),
      isSystemVolume_(isSystemVolume),
      imagePath_(imagePath),
      hasImage_(true),
      ownsImage_(ownsImage)
{
}

SorvelDataAccess::FixedVolumeInfo::FixedVolumeInfo(const std::string& friendlyName, bool isSystemVolume)
    : friendlyName_(friendlyName),
      isSystemVolume_(isSystemVolume),
      imagePath_(std::string("/")),
      hasImage_(false),
      ownsImage_(false)
{
}

SorvelDataAccess::FixedVolumeInfo::FixedVolumeInfo(const FixedVolumeInfo& other)
    : isSystemVolume_(false), imagePath_(other.imagePath_), hasImage_(false), ownsImage_(false)
{
    CommonConstruct(other);
}

SorvelDataAccess::FixedVolumeInfo& SorvelDataAccess::FixedVolumeInfo::operator=(const FixedVolumeInfo& other)
{
    if (this != &other) {
        // The file this record owned is nobody else's: it goes before the record takes another.
        if (ownsImage_ && FileSystemUtils::Exists(imagePath_))
            FileSystemUtils::DeleteFile(imagePath_, false);
        CommonConstruct(other);
    }
    return *this;
}

SorvelDataAccess::FixedVolumeInfo::~FixedVolumeInfo()
{
    if (ownsImage_ && FileSystemUtils::Exists(imagePath_))
        FileSystemUtils::DeleteFile(imagePath_, false);
}

void SorvelDataAccess::FixedVolumeInfo::CommonConstruct(const FixedVolumeInfo& other)
{
    friendlyName_ = other.friendlyName_;
    isSystemVolume_ = other.isSystemVolume_;
    imagePath_ = other.imagePath_;
    hasImage_ = other.hasImage_;
    ownsImage_ = other.ownsImage_;
    other.ownsImage_ = false;
}

// ---- Script methods ----

std::string SorvelDataAccess::IsPortForProtocolAvailable(const ArgumentList& arguments)
{
    if (arguments.size() != 2)
        return WrongArgumentCount();
    if (arguments[1] != "tcp")
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    unsigned int port = 0;
    // A number beyond the port range would be checked as its low 16 bits, another port than the
    // one asked about; and port 0 asks the system for any free port, which always binds.
    if (!ZEB::ChangeDiffTypeImpl<std::string, unsigned int>::ChangeType(arguments[0], port) || port == 0 ||
        port > 0xFFFF)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);

    bool available = false;
    if (!ImplIsPortForProtocolAvailable(port, kNetworkProtocolTCP, available))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPortCheckFailed);
    return available ? MakeJSONSuccessObj() : std::string();
}

std::string SorvelDataAccess::GetApplicationInfoFromIdentifier(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    PropertyMap information;
    if (!ImplGetApplicationInfoFromID(arguments[0], information))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddPropertyMap(information);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetApplicationInfo(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    const FileSystemPath bundle(arguments[0]);
    PropertyMap information;
    if (!ImplGetApplicationInfo(bundle, information))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddPropertyMap(information);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetPathInformation(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    const unsigned int check = FileSystemUtils::ValidateUTF8FullPathString(arguments[0]);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("isValidPath", check == FileSystemUtils::kPathValid);
    answer.AddProperty("isValidCharacters", check != 1);
    answer.AddProperty("isValidLength", check != FileSystemUtils::kPathTooLong);
    if (check != FileSystemUtils::kPathValid)
        return Serialized(answer);

    const FileSystemPath path(arguments[0]);
    const FileSystemVolume volume(path);
    JSONUtilities::JSONObject* volumeInfo = answer.AddObject("volumeInfo");

    bool isRoot = false;
    if (!FileSystemUtils::IsVolumeRoot(path, isRoot))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    answer.AddProperty("isRootPartition", isRoot);
    FileSystemPath root;
    if (volume.RootPath(root))
        volumeInfo->AddProperty("rootPath", root.AsUTF8String());
    answer.AddProperty("pathExists", FileSystemUtils::Exists(path));

    bool flag = false;
    if (volume.IsLocal(flag))
        volumeInfo->AddProperty("isLocal", flag);
    if (volume.IsWritable(flag))
        volumeInfo->AddProperty("isWritable", flag);
    if (volume.IsCaseSensitive(flag))
        volumeInfo->AddProperty("isCaseSensitive", flag);
    std::string typeName;
    if (volume.FileSystemTypeName(typeName))
        volumeInfo->AddProperty("fileSystemTypeName", typeName);
    return Serialized(answer);
}

std::string SorvelDataAccess::LoadFile(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    if (engine_ == nullptr)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    const FileSystemPath path(arguments[0]);
    if (!FileSystemUtils::Exists(path))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultFileLoadFailed);
    std::vector<std::uint8_t> bytes;
    if (!FileSystemUtils::LoadFileContents(path, bytes))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("data", std::string(bytes.begin(), bytes.end()));
    return Serialized(answer);
}

std::string SorvelDataAccess::GetSystemInfo(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();

    JSONUtilities::JSONObject answer;
    SorvelJSPublisherUtilities::JSResult failure = SorvelJSPublisherUtilities::JSResult();
    bool failed = false;
    // Each step runs only while every step before it succeeded. A run without a display (the
    // silent workflow, a terminal) has no display to describe: it is left out, and the facts
    // of the machine are still answered.
    std::uint32_t width = 0, height = 0;
    if (ImplGetDisplayWidthAndHeight(width, height)) {
        JSONUtilities::JSONObject* display = answer.AddObject("Display");
        display->AddProperty("width", width);
        display->AddProperty("height", height);
    }

    std::uint64_t megabytes = 0;
    if (!failed && !ImplGetTotalSystemRAM(megabytes)) {
        failed = true;
        failure = SorvelJSPublisherUtilities::kJSResultMemoryQueryFailed;
    } else if (!failed) {
        answer.AddObject("Memory")->AddProperty("system", megabytes);
    }

    std::uint32_t cpu = 0;
    if (!failed && !ImplGetSupportedCPUAttributes(cpu)) {
        failed = true;
        failure = SorvelJSPublisherUtilities::kJSResultProcessorQueryFailed;
    } else if (!failed) {
        JSONUtilities::JSONObject* object = answer.AddObject("CPU");
        object->AddProperty("MMX", (cpu & kCPUBitMMX) != 0);
        object->AddProperty("NX", (cpu & kCPUBitNX) != 0);
        object->AddProperty("PAE", (cpu & kCPUBitPAE) != 0);
        object->AddProperty("SSE", (cpu & kCPUBitSSE) != 0);
        object->AddProperty("SSE2", (cpu & kCPUBitSSE2) != 0);
        object->AddProperty("3DNow", (cpu & kCPUBit3DNow) != 0);
        object->AddProperty("AltiVec", (cpu & kCPUBitAltiVec) != 0);
    }

    std::uint32_t architecture = 0;
    if (!failed && !ImplGetCPUArchitectureFlags(architecture)) {
        failed = true;
        failure = SorvelJSPublisherUtilities::kJSResultProcessorQueryFailed;
    } else if (!failed) {
        JSONUtilities::JSONObject* object = answer.AddObject("Architecture");
        object->AddProperty("Intel32", (architecture & kArchitectureIntel32) != 0);
        object->AddProperty("PPC", (architecture & kArchitecturePPC) != 0);
        object->AddProperty("AMD64", (architecture & kArchitectureAMD64) != 0);
        object->AddProperty("Itanium64", (architecture & kArchitectureItanium64) != 0);
    }

    if (!failed && !ImplAppendOSJSONObject(answer)) {
        failed = true;
        failure = SorvelJSPublisherUtilities::kJSResultOSQueryFailed;
    }

    std::vector<std::string> drives;
    if (FileSystemUtils::GetRemovableDrives(drives)) {
        JSONUtilities::JSONObjectArray* removable = answer.AddObjectArray("RemovableDrives");
        for (const std::string& drive : drives)
            removable->AddObject()->AddProperty("root", drive);
    }

    if (failed)
        return MakeJSONErrorObj(failure);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetVolumeStatisticsFromPath(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    try {
        const FileSystemPath path(arguments[0]);
        const FileSystemVolume volume(path);
        std::uint64_t capacity = 0, freeSpace = 0;
        std::string name;
        FileSystemPath root;
        if (!volume.CapacityInBytes(capacity) || !volume.FreeSpaceInBytes(freeSpace) ||
            !volume.FriendlyNameUTF8(name) || !volume.RootPath(root))
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
        JSONUtilities::JSONObject answer;
        answer.AddProperty("totalSize", capacity);
        answer.AddProperty("freeSize", freeSpace);
        answer.AddProperty("friendlyName", name);
        answer.AddProperty("rootPath", root.AsUTF8String());
        return Serialized(answer);
    } catch (const std::exception& error) {
        SorvelJSPublisherUtilities::ExtraPropertyMap extra;
        extra["what"] = error.what();
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed, extra);
    }
}

std::string SorvelDataAccess::GetDirectoryTokenMap(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    JSONUtilities::JSONObject answer;
    const std::set<std::string> tokens = TolkConstants::GetAllSupportedDirectoryTokens();
    for (const std::string& token : tokens) {
        std::string folder;
        if (ImplGetPathFromDirectoryToken(token, folder))
            answer.AddProperty("[" + token + "]", folder);
    }
    return Serialized(answer);
}

std::string SorvelDataAccess::GetUserInfo(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    bool hasCredentials = false;
    if (!ImplDoesUserHaveSufficientCredentials(hasCredentials))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("hasCredentials", hasCredentials);
    return Serialized(answer);
}

std::string SorvelDataAccess::IsRestartNeeded(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    bool restartNeeded = false;
    if (!ImplIsRestartNeeded(restartNeeded))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("restartNeeded", restartNeeded);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetApplicationsForFileExtension(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    std::vector<FileSystemPath> applications;
    if (!ImplGetApplicationsForFileExtension(arguments[0], applications))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    std::vector<std::string> paths;
    for (const FileSystemPath& application : applications)
        paths.push_back(application.AsUTF8String());
    JSONUtilities::JSONObject answer;
    answer.AddArray("applications", paths);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetFixedDriveInfo(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    // The records of the last call delete their icon files here.
    fixedVolumes_.clear();
    if (!ImplGetFixedVolumeInfo(fixedVolumes_))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultVolumeQueryFailed);

    JSONUtilities::JSONObjectArray answer;
    for (const FixedVolumeMap::value_type& entry : fixedVolumes_) {
        JSONUtilities::JSONObject* volume = answer.AddObject();
        volume->AddProperty("driveID", entry.first);
        volume->AddProperty("friendlyName", entry.second.FriendlyName());
        volume->AddProperty("imagePath", entry.second.HasImage() ? entry.second.ImagePath().AsUTF8String() : std::string());
        volume->AddProperty("isSystemVolume", entry.second.IsSystemVolume());
    }
    return Serialized(answer);
}

std::string SorvelDataAccess::GetRunningApplications(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    ApplicationNamePairs applications;
    if (!ImplGetRunningApplicationNamePairs(applications))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    JSONUtilities::JSONObjectArray* list = answer.AddObjectArray("Applications");
    for (const ApplicationNamePairs::value_type& application : applications) {
        JSONUtilities::JSONObject* entry = list->AddObject();
        entry->AddProperty("osName", application.first);
        entry->AddProperty("friendlyName", application.second);
    }
    return Serialized(answer);
}
