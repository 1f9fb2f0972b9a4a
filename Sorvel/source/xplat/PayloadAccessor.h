// PayloadAccessor: one payload of the session: its proxy file, the loaded proxy model, whether it
// is the session's driver payload, and where its image lies (its media source).
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "ConfigurationDataStore.h"
#include "PayloadMediaSource.h"
#include "Shared/ProxyFileDataStore.h"

#include <boost/shared_ptr.hpp>

#include <vector>

class PayloadAccessor {
public:
    // Builds the media source from the medium's root (the installer parent), the image path, the
    // proxy model and the volumes of "Setup.xml"; throws what that construction throws.
    PayloadAccessor(const FileSystemPath& mediaRoot, const FileSystemPath& proxyFilePath,
                    const FileSystemPath& payloadPath,
                    const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore,
                    const std::vector<ConfigurationData::VolumeInfo>& volumes);

    FileSystemPath proxyFilePath;
    boost::shared_ptr<PayloadProxy::ProxyFileDataStore> proxyDataStore;
    // True for the one payload whose folder "Setup.xml" names as the driver's.
    bool isDriverPayload;
    PayloadMediaSource mediaSource;
};
