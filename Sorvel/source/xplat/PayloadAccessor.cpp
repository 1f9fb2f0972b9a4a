#include "PayloadAccessor.h"

PayloadAccessor::PayloadAccessor(const FileSystemPath& mediaRoot, const FileSystemPath& proxyFile,
                                 const FileSystemPath& payloadPath,
                                 const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& store,
                                 const std::vector<ConfigurationData::VolumeInfo>& volumes)
    : proxyFilePath(proxyFile),
      proxyDataStore(store),
      isDriverPayload(false),
      mediaSource(mediaRoot, payloadPath, store, volumes)
{
}
