// PayloadIteration: finding the payloads of an installation medium (one proxy file per payload
// sub-folder of "payloads") and loading an accessor for each.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "ConfigurationDataStore.h"
#include "Shared/PayloadProxyFileConstants.h"

#include <boost/shared_ptr.hpp>

#include <utility>
#include <vector>

class PayloadAccessor;

namespace PayloadIteration {

// A proxy file and the image beside it (which need not exist).
typedef std::pair<FileSystemPath, FileSystemPath> ProxyAndPayloadPath;

// One pair per payload sub-folder of the payloads folder that holds a proxy file of the type,
// the first such file in directory order. False when the folder, an entry's kind or a sub-folder
// cannot be read; the pairs found before stay.
bool EnumerateTolkProxyAndPayloadPaths(const FileSystemPath& payloadsFolder,
                                       PayloadProxyFileConstants::ProxyFileType type,
                                       std::vector<ProxyAndPayloadPath>& found);

// One accessor per proxy file that loads and whose media source can be built; the others go to
// failures. The configuration (may be empty) names the driver payload's folder and the media
// volumes. A payloads folder that cannot be enumerated gives no accessors and true. True when no
// proxy file failed.
bool LoadPayloadAccessors(const FileSystemPath& payloadsFolder,
                          const boost::shared_ptr<ConfigurationData::ConfigurationDataStore>& configuration,
                          PayloadProxyFileConstants::ProxyFileType type,
                          std::vector<boost::shared_ptr<PayloadAccessor> >& accessors,
                          std::vector<ProxyAndPayloadPath>& failures);

}  // namespace PayloadIteration
