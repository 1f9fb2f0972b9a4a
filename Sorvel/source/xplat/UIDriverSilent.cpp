#include "UIDriverSilent.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "DeploymentFileDataStore.h"
#include "InstallerEngine.h"

#include <stdexcept>

bool UIDriverSilent::AreSilentParametersValid(std::string& error)
{
    error.clear();
    return true;
}

bool UIDriverSilent::Run()
{
    return false;
}

bool UIDriverSilent::LoadDeploymentFile(DeploymentFile::DeploymentFileDataStore& store)
{
    const boost::shared_ptr<InstallerEngine::StringMap> arguments = engine_.GetArgumentMap();
    if (!arguments)
        return false;
    InstallerEngine::StringMap::const_iterator file = arguments->find("deploymentFile");
    if (file == arguments->end())
        return false;
    try {
        return store.Load(FileSystemPath::PathFromUTF8(file->second).AsUTF8String());
    } catch (const std::runtime_error&) {
        return false;  // no usable path
    }
}
