// The engine's platform half: the minimum-system check and the bootstrapper's image and folder.
#include "Sorvel/source/xplat/InstallerEngine.h"

#include "Common/source/mac/FolderResolver.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/FileSystemVolume.h"
#include "Common/source/xplat/Logger.h"
#include "Common/source/xplat/RunReport.h"
#include "QEN/source/mac/QENRunJournal.h"
#include "Sorvel/source/xplat/SorvelConstants.h"
#include "Sorvel/source/xplat/UIDriver.h"
#include "caps/caps.h"

#include "platform/Bundle.h"
#include "platform/Folders.h"
#include "platform/Gestalt.h"
#include "platform/Localization.h"
#include "platform/SystemRoot.h"

#include <exception>

namespace {

const int kExitSystemTooOld = 9;
const int kExitStartupVolume = 10;
const int kExitDatabaseDamaged = 12;

std::string Localized(const std::string& key)
{
    platform::BundlePtr bundle = platform::Bundle::Main();
    if (!bundle)
        return std::string();
    return platform::LocalizedString(*bundle, key, std::string(), "Localizable");
}

int Refuse(const boost::shared_ptr<UIDriver>& driver, const char* title, const char* body, const char* button, int code)
{
    if (driver)
        driver->Alert(Localized(title), Localized(body), Localized(button));
    return code;
}

// 10.4.6 or later, read as binary-coded decimal.
bool SystemIsRecentEnough()
{
    std::int32_t version = 0;
    if (platform::Gestalt(platform::FourCharCode('s', 'y', 's', 'v'), version) != 0)
        return false;
    const std::int32_t major = (version >> 8) & 0xFFF;
    const std::int32_t minor = (version >> 4) & 0xF;
    const std::int32_t bugFix = version & 0xF;
    return major > 0x10 || (major == 0x10 && minor > 4) || (major == 0x10 && minor == 4 && bugFix > 5);
}

bool StartupVolumeIsSuitable()
{
    try {
        FileSystemVolume volume(FileSystemPath(platform::SystemRoot::Resolve("/")));
        bool local = false;
        bool writable = false;
        bool caseSensitive = true;
        return volume.IsLocal(local) && volume.IsWritable(writable) && volume.IsCaseSensitive(caseSensitive) &&
               local && writable && !caseSensitive;
    } catch (const std::exception&) {
        return false;
    }
}

bool DatabaseIsIntact()
{
    if (capsVerifyIntegrity() == 0)
        return true;
    // Whatever the driver shows, the person who has to mend it needs both files named.
    std::string database;
    std::string backup;
    if (capsGetDatabaseFiles(database, backup))
        RunReport::NoteCause("The installation database \"" + database + "\" is damaged or missing; its backup copy is \"" +
                             backup + "\"" + (FileSystemUtils::Exists(FileSystemPath(backup)) ? "." : " (missing)."));
    return false;
}

}  // namespace

int InstallerEngine::InstallerEnginePlatformMethods::ValidateBareMinimumOSRequirements(boost::shared_ptr<UIDriver> driver)
{
    if (!SystemIsRecentEnough())
        return Refuse(driver, "UnsupportedOSAlertTitle", "UnsupportedOSAlertBody", "UnsupportedOSAlertButtonLabel",
                      kExitSystemTooOld);
    if (!StartupVolumeIsSuitable())
        return Refuse(driver, "UnsupportedFileSystemAlertTitle", "UnsupportedFileSystemAlertBody",
                      "UnsupportedFileSystemAlertButtonLabel", kExitStartupVolume);
    if (!DatabaseIsIntact())
        return Refuse(driver, "InvalidInstallerDatabaseTitle", "InvalidInstallerDatabaseBody",
                      "InvalidInstallerDatabaseButtonLabel", kExitDatabaseDamaged);
    return 0;
}

bool InstallerEngine::InstallerEnginePlatformMethods::GetBootstrapperPayloadPath(const FileSystemPath& base,
                                                                                 FileSystemPath& path)
{
    if (!FileSystemUtils::Exists(base))
        return false;
    FileSystemPath image(base);
    image.AppendUTF8Segment("Bootstrapper.dmg");
    path = image;
    return FileSystemUtils::Exists(image);
}

bool InstallerEngine::InstallerEnginePlatformMethods::GetBootstrapperINSTALLDIR(const std::string& sessionKey,
                                                                                FileSystemPath& path)
{
    if (sessionKey.empty())
        return false;
    FileSystemPath folder;
    if (!FolderResolver::ExpandPathKey("OrvexCommon", folder))
        return false;
    folder.AppendUTF8Segment(SorvelConstants::kBootstrapperSubdirPathComponent);
    folder.AppendUTF8Segment(sessionKey);
    path = folder;
    return true;
}

bool InstallerEngine::InstallerEnginePlatformMethods::OptimizeForMedia(const StringMap&, const StringMap&,
                                                                       Logger* logger)
{
    if (logger != nullptr)
        logger->AppendToLog(LogAppender::kLogInfo, "Media optimization not necessary on OSX");
    return true;
}

void InstallerEngine::InstallerEnginePlatformMethods::RecoverInterruptedRuns(Logger* logger)
{
    if (logger != nullptr)
        QENRunJournal::RecoverInterruptedRuns(*logger);
}
