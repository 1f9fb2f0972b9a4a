#include "PayloadAccessor.h"

PayloadAccessor::PayloadAccessor(const FileSystemPath& mediaRoot, const FileSystemPath& proxyFilePath_,
                                 const FileSystemPath& payloadPath,
                                 const boost::shared_ptr<PayloadProxy::ProxyFileDataStore>& proxyDataStore_,
                                 const std::vector<ConfigurationData::VolumeInfo>& volumes)
    : proxyFilePath(proxyFilePath_),
      proxyDataStore(proxyDataStore_),
      isDriverPayload(false),
      mediaSource(mediaRoot, payloadPath, proxyDataStore_, volumes)
{
}
