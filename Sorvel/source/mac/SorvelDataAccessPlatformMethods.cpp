// The platform half of the data-access publisher: the queries that ask the operating system
// (display, memory, processor, system version, volumes and their icons, running applications,
// bundles, application lookup, network ports) and the file writes of the stream method.
#include "Sorvel/source/xplat/SorvelDataAccess.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/mac/FolderResolver.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/PayloadAccessor.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/ThirdPartyPayloadSupportUtilites.h"

#include "platform/Bundle.h"
#include "platform/FaultInjection.h"
#include "platform/Folders.h"
#include "platform/Gestalt.h"
#include "platform/HostInfo.h"
#include "platform/Network.h"
#include "platform/SystemRoot.h"
#include "platform/desktop/LaunchServices.h"
#include "platform/desktop/RunningApplications.h"
#include "platform/desktop/WorkspaceIcons.h"
#include "platform/files/Files.h"

#include <boost/format.hpp>

#include <cstdio>

namespace {

const std::int32_t kPPCFeature64Bit = 64;     // bit value of 64-bit support in the 'ppcf' answer
const std::uint32_t kVolumeIconSize = 32;

std::uint32_t Selector(const char* name)
{
    return platform::FourCharCode(name[0], name[1], name[2], name[3]);
}

// The last path component of an executable path.
std::string LastComponent(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Warn(Logger* logger, const std::string& text)
{
    if (logger != nullptr)
        logger->AppendToLog(LogAppender::kLogWarn, text);
}

// The icon of a volume's root written to a new file in the temporary folder; the path of the
// file on success. Each failure writes its own warning.
bool WriteVolumeIcon(Logger* logger, const std::string& name, const std::string& root, FileSystemPath& imagePath)
{
    if (root.empty() || platform::InjectedFault("volume-icon-workspace", root) != 0) {
        Warn(logger, (boost::format("Unable to access both workspace and volume path for volume \"%1%.\"") % name).str());
        return false;
    }
    platform::IconImage icon;
    if (platform::InjectedFault("volume-icon-image", root) != 0 ||
        !platform::IconImageForPath(root, kVolumeIconSize, icon)) {
        Warn(logger, (boost::format("Unable to access volume image for volume \"%1%.\"") % name).str());
        return false;
    }
    std::string tiff;
    if (platform::InjectedFault("volume-icon-tiff", root) != 0 || !platform::TIFFRepresentation(icon, tiff)) {
        Warn(logger, (boost::format("Unable to access scaled image data for volume \"%1%.\"") % name).str());
        return false;
    }
    FileSystemPath folder(std::string("/"));
    FileSystemPath chosen(std::string("/"));
    if (platform::InjectedFault("volume-icon-tempname", root) != 0 || !FileSystemUtils::GetTempDirectory(folder) ||
        !FileSystemUtils::TempFilenameInDirectory(folder, chosen)) {
        Warn(logger, (boost::format("Unable to create temporary volume image for volume \"%1%.\"") % name).str());
        return false;
    }
    bool written = false;
    if (platform::InjectedFault("volume-icon-write", root) == 0) {
        // The name was free when chosen; creating it exclusively keeps anything planted there
        // since (a link into another place) from being written through.
        if (std::FILE* file = std::fopen(chosen.AsUTF8String().c_str(), "wbx")) {
            written = std::fwrite(tiff.data(), 1, tiff.size(), file) == tiff.size();
            written = std::fclose(file) == 0 && written;
            if (!written)
                FileSystemUtils::DeleteFile(chosen, false);
        }
    }
    if (!written) {
        Warn(logger, (boost::format("Unable to write volume image for volume \"%1%\" at path \"%2%.\"") % name %
                      chosen.AsUTF8String())
                         .str());
        return false;
    }
    imagePath = chosen;
    return true;
}

}  // namespace

bool SorvelDataAccess::ImplSaveBinaryStream(const FileSystemPath& path, const std::vector<unsigned char>& bytes)
{
    if (bytes.empty())
        return false;
    // The names in the temporary folder are predictable and the program often runs as root: a
    // new file renamed into place replaces whatever is there, a planted link included, instead
    // of writing through it.
    return platform::WriteFileAtomically(path.AsUTF8String(), std::string(bytes.begin(), bytes.end()));
}

void SorvelDataAccess::ImplOnSessionInitializedUpdate(bool, bool, Logger*)
{
}

bool SorvelDataAccess::ImplIsThirdPartyPayloadInstalled(InstallerEngine* engine, const std::string& orvexCode,
                                                        boost::shared_ptr<PayloadAccessor>& accessor, bool& installed)
{
    installed = false;
    if (engine == nullptr || orvexCode.empty() || !accessor || !accessor->proxyDataStore)
        return false;
    PayloadProxy::ThirdPartyComponent component = accessor->proxyDataStore->ThirdPartyComponentData();
    PayloadProxy::ThirdPartyMetadata metadata = component.ThirdPartyMetadataData();
    std::string script;
    metadata.IsInstalledScript().Get(script);
    if (script.empty())
        return true;
    std::string result;
    if (!ThirdPartyPayloadSupportUtilites::RunThirdPartyScript(engine, script, result))
        return false;
    installed = result == "1";
    return true;
}

bool SorvelDataAccess::ImplGetDisplayWidthAndHeight(std::uint32_t& width, std::uint32_t& height)
{
    std::uint32_t w = 0, h = 0;
    if (!platform::MainDisplaySize(w, h) || w == 0 || h == 0)
        return false;
    width = w;
    height = h;
    return true;
}

bool SorvelDataAccess::ImplGetTotalSystemRAM(std::uint64_t& megabytes)
{
    std::uint64_t bytes = 0;
    if (!platform::PhysicalMemoryBytes(bytes) || (bytes >> 20) == 0)
        return false;
    megabytes = bytes >> 20;
    return true;
}

bool SorvelDataAccess::ImplGetSupportedCPUAttributes(std::uint32_t& attributes)
{
    // What the processor itself reports. One that has none of these features is described as
    // such rather than taken for a failed query.
    platform::ProcessorFeatures features;
    if (!platform::ReadProcessorFeatures(features))
        return false;
    const std::uint32_t none = 0;
    attributes = (features.mmx ? kCPUBitMMX : none) | (features.nx ? kCPUBitNX : none) |
                 (features.pae ? kCPUBitPAE : none) | (features.sse ? kCPUBitSSE : none) |
                 (features.sse2 ? kCPUBitSSE2 : none) | (features.amd3DNow ? kCPUBit3DNow : none) |
                 (features.altiVec ? kCPUBitAltiVec : none);
    return true;
}

bool SorvelDataAccess::ImplGetCPUArchitectureFlags(std::uint32_t& flags)
{
    flags = 0;
    return true;
}

bool SorvelDataAccess::ImplDoesUserHaveSufficientCredentials(bool& hasCredentials)
{
    hasCredentials = true;
    return true;
}

bool SorvelDataAccess::ImplIsRestartNeeded(bool& restartNeeded)
{
    restartNeeded = false;
    return true;
}

bool SorvelDataAccess::ImplIsPortForProtocolAvailable(std::uint32_t port, NetworkProtocol protocol, bool& available)
{
    if (protocol != kNetworkProtocolTCP)
        return false;
    bool free = false;
    if (platform::ProbeTCPPort(static_cast<std::uint16_t>(port & 0xFFFF), free) != 0)
        return false;
    available = free;
    return true;
}

bool SorvelDataAccess::ImplGetPathFromDirectoryToken(const std::string& token, std::string& path)
{
    FileSystemPath folder(std::string("/"));
    if (!FolderResolver::ExpandPathKey(token, folder))
        return false;
    path = folder.AsUTF8String();
    return !path.empty();
}

bool SorvelDataAccess::ImplGetApplicationInfo(const FileSystemPath& bundlePath, PropertyMap& information)
{
    platform::BundlePtr bundle = platform::Bundle::Create(bundlePath.AsUTF8String());
    if (!bundle)
        return false;
    platform::ConstPropertyValuePtr dictionary = bundle->InfoDictionary();
    // A folder without an information property list is no application bundle.
    if (!dictionary || !dictionary->IsDictionary() || dictionary->DictionaryItems().empty())
        return false;
    for (const platform::PropertyValue::Dictionary::value_type& entry : dictionary->DictionaryItems()) {
        if (entry.second && entry.second->GetType() == platform::PropertyValue::kString)
            information[entry.first] = entry.second->StringValue();
    }
    return true;
}

bool SorvelDataAccess::ImplGetApplicationInfoFromID(const std::string&, PropertyMap& information)
{
    information.clear();
    return true;
}

bool SorvelDataAccess::ImplGetApplicationsForFileExtension(const std::string& extension,
                                                           std::vector<FileSystemPath>& applications)
{
    // An extension is one name's ending: a separator or NUL would make the probe file another
    // file than "test.<extension>" in the new folder.
    if (extension.find('/') != std::string::npos || extension.find('\0') != std::string::npos)
        return false;
    FileSystemPath folder(std::string("/"));
    if (!FileSystemUtilsMac::CreateTemporaryDirectory(folder))
        return false;
    FileSystemPath probe(folder);
    probe.AppendUTF8Segment("test." + extension);

    bool succeeded = false;
    if (std::FILE* file = std::fopen(probe.AsUTF8String().c_str(), "wx")) {
        std::fclose(file);
        std::vector<std::string> found;
        if (platform::ApplicationsForDocument(probe.AsUTF8String(), found)) {
            for (const std::string& application : found) {
                if (FileSystemUtils::ValidateUTF8FullPathString(application) == FileSystemUtils::kPathValid)
                    applications.push_back(FileSystemPath(application));
            }
            succeeded = true;
        }
        FileSystemUtils::DeleteFile(probe, false);
    }
    FileSystemUtilsMac::DeleteDirectory(folder, false);
    return succeeded;
}

bool SorvelDataAccess::ImplAppendOSJSONObject(JSONUtilities::JSONObject& object)
{
    JSONUtilities::JSONObject* macintosh = object.AddObject("Macintosh");
    const char* const kSelectors[] = {"sys1", "sys2", "sys3"};
    const char* const kNames[] = {"VersionMajor", "VersionMinor", "VersionDot"};
    std::string version;
    for (int part = 0; part < 3; ++part) {
        std::int32_t number = 0;
        if (platform::Gestalt(Selector(kSelectors[part]), number) != 0)
            return false;
        macintosh->AddProperty(kNames[part], number);
        version += (part == 0 ? "" : ".") + std::to_string(number);
    }
    macintosh->AddProperty("Version", version);

    std::int32_t features = 0;
    if (platform::Gestalt(Selector("ppcf"), features) == 0 && (features & kPPCFeature64Bit) != 0)
        macintosh->AddProperty("Is64Bit", true);
    if (FileSystemUtils::Exists(FileSystemPath(platform::SystemRoot::Resolve("/System/Library/CoreServices/ServerVersion.plist"))))
        macintosh->AddProperty("IsServer", true);
    return true;
}

bool SorvelDataAccess::ImplGetRunningApplicationNamePairs(ApplicationNamePairs& applications)
{
    applications.clear();
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    platform::ProcessSerialNumber process = platform::kNoProcess;
    int status = 0;
    while ((status = platform::GetNextProcess(process)) == 0) {
        platform::PropertyValuePtr information;
        if (!platform::CopyProcessInformation(process, information) || !information)
            continue;
        std::string executable;
        if (information->GetString("CFBundleExecutable", executable))
            executable = LastComponent(executable);
        std::string friendly;
        if (!information->GetString("CFBundleName", friendly)) {
            if (logger != nullptr)
                logger->AppendToLog(LogAppender::kLogDebug,
                                    (boost::format("Process \"%1%\" found has no friendly name, using executable name "
                                                   "instead.") % executable)
                                        .str());
            friendly = executable;
        }
        if (executable.empty()) {
            Warn(logger, "Found running application, but cannot determine it's executable file name.");
            continue;
        }
        applications.push_back(std::make_pair(executable, friendly.empty() ? executable : friendly));
    }
    return status == platform::kProcNotFoundErr;
}

bool SorvelDataAccess::ImplGetFixedVolumeInfo(FixedVolumeMap& volumes)
{
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    std::vector<boost::shared_ptr<FileSystemVolume> > mounted;
    if (!FileSystemUtilsMac::GetAllVolumes(mounted))
        return false;
    // The start-up volume, "/" on the Mac, is the system root's here.
    const std::string systemRoot = platform::SystemRoot::Resolve("/");
    for (const boost::shared_ptr<FileSystemVolume>& volume : mounted) {
        bool isLocal = false;
        if (!volume->IsLocal(isLocal))
            return false;
        if (!isLocal)
            continue;
        std::string name;
        FileSystemPath root(std::string("/"));
        if (!volume->FriendlyNameUTF8(name) || !volume->RootPath(root))
            return false;
        const std::string rootText = root.AsUTF8String();
        const bool isSystem = rootText == systemRoot;
        FileSystemPath image(std::string("/"));
        if (WriteVolumeIcon(logger, name, rootText, image))
            volumes.insert(std::make_pair(rootText, FixedVolumeInfo(name, isSystem, image, true)));
        else
            volumes.insert(std::make_pair(rootText, FixedVolumeInfo(name, isSystem)));
    }
    return true;
}
