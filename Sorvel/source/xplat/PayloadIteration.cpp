#include "PayloadIteration.h"

#include "Common/source/xplat/FileSystemUtils.h"
#include "PayloadAccessor.h"
#include "Shared/ProxyFileDataStore.h"
#include "Shared/TolkConstants.h"

#include <exception>
#include <iterator>
#include <string>

namespace {

bool EndsWith(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

namespace PayloadIteration {

bool EnumerateTolkProxyAndPayloadPaths(const FileSystemPath& payloadsFolder,
                                       PayloadProxyFileConstants::ProxyFileType type,
                                       std::vector<ProxyAndPayloadPath>& found)
{
    found.clear();
    std::vector<FileSystemPath> entries;
    if (!FileSystemUtils::ChildrenForDirectory(payloadsFolder, entries))
        return false;
    for (const FileSystemPath& entry : entries) {
        bool isDirectory = false;
        if (!FileSystemUtils::IsDirectory(entry, isDirectory))
            return false;
        if (!isDirectory)
            continue;
        std::vector<FileSystemPath> files;
        if (!FileSystemUtils::ChildrenForDirectory(entry, files))
            return false;
        for (const FileSystemPath& file : files) {
            const std::string name = file.NameAsNative();
            std::string extension;
            if (type != PayloadProxyFileConstants::kProxyFileTypeFull && EndsWith(name, kMiniProxyFileExtension))
                extension = kMiniProxyFileExtension;
            else if (type != PayloadProxyFileConstants::kProxyFileTypeBoot && EndsWith(name, kProxyFileExtension))
                extension = kProxyFileExtension;
            else
                continue;
            FileSystemPath image(entry);
            image.AppendNativeSegment(name.substr(0, name.size() - extension.size()) +
                                      TolkConstants::kPlatformPayloadExtension);
            found.push_back(ProxyAndPayloadPath(file, image));
            break;
        }
    }
    return true;
}

bool LoadPayloadAccessors(const FileSystemPath& payloadsFolder,
                          const boost::shared_ptr<ConfigurationData::ConfigurationDataStore>& configuration,
                          PayloadProxyFileConstants::ProxyFileType type,
                          std::vector<boost::shared_ptr<PayloadAccessor> >& accessors,
                          std::vector<ProxyAndPayloadPath>& failures)
{
    accessors.clear();
    failures.clear();
    std::string driverFolder;
    std::vector<ConfigurationData::VolumeInfo> volumes;
    if (configuration) {
        ConfigurationData::DriverPayloadData driver = configuration->DriverPayload();
        if (!driver.Folder().Get(driverFolder))
            driverFolder.clear();
        if (!configuration->VolumeInfoList().Get(std::back_inserter(volumes)))
            volumes.clear();
    }
    const FileSystemPath mediaRoot = payloadsFolder.Parent();

    std::vector<ProxyAndPayloadPath> found;
    if (!EnumerateTolkProxyAndPayloadPaths(payloadsFolder, type, found))
        return true;

    bool driverFound = false;
    for (const ProxyAndPayloadPath& pair : found) {
        try {
            boost::shared_ptr<PayloadProxy::ProxyFileDataStore> store(new PayloadProxy::ProxyFileDataStore);
            if (!store->Load(pair.first.AsUTF8String())) {
                failures.push_back(pair);
                continue;
            }
            boost::shared_ptr<PayloadAccessor> accessor(
                new PayloadAccessor(mediaRoot, pair.first, pair.second, store, volumes));
            accessors.push_back(accessor);
            if (!driverFolder.empty() && !driverFound && pair.first.Parent().NameAsNative() == driverFolder) {
                accessor->isDriverPayload = true;
                driverFound = true;
            }
        } catch (const std::exception&) {
            failures.push_back(pair);
        }
    }
    return failures.empty();
}

}  // namespace PayloadIteration
