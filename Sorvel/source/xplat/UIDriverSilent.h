// UIDriverSilent: the older silent driver. Nothing creates it: silent mode runs the script
// workflow of UIDriverSilentJSWorkflow, which reads the deployment file itself through the
// data-access method "GetCommandLineArguments". It is kept with the checks it offered: every set
// of silent parameters is valid, its run does nothing (and fails), and it can read the
// deployment file that the command line names.
#pragma once

#include "UIDriver.h"

#include <string>

namespace DeploymentFile {
class DeploymentFileDataStore;
}

class UIDriverSilent : public UIDriver {
public:
    explicit UIDriverSilent(InstallerEngine& engine) : UIDriver(engine) {}

    // Clears the error text; true.
    bool AreSilentParametersValid(std::string& error);
    // False: this driver has no work of its own (exit code 4, were it run).
    bool Run() override;
    // Loads the file that the "deploymentFile" argument names (a relative path from the current
    // folder) into the store. False without an argument map or such an argument, or when the file
    // does not load.
    bool LoadDeploymentFile(DeploymentFile::DeploymentFileDataStore& store);
};
