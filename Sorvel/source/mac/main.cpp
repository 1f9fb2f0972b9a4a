// Setup's process entry: finds the installer parent (the folder that holds the application
// bundle, or the last "--installerParent=") and runs one InstallerEngine over the arguments.
#include "FileSystemPath.h"
#include "FileSystemUtils.h"
#include "InstallerEngine.h"

#include "platform/Bundle.h"
#include "platform/ProgramArguments.h"
#include "platform/SystemRoot.h"
#include "platform/UnicodeText.h"

#include <csignal>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Also the code of a run that cannot tell where its fixed system locations lie: like the
// location of the bundle, the system root is where Setup runs, and nothing can be checked or
// installed before it is known.
const int kExitNoBundleLocation = 5;
const std::string kInstallerParentArgument = "--installerParent=";

}  // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    platform::SetProgramArguments(argc, argv);

    // A root that cannot be used would be taken as "/", the real system, where the start-up checks
    // then fail for reasons that are not the user's.
    std::string rootProblem;
    if (!platform::SystemRoot::CheckEnvironment(rootProblem)) {
        std::cerr << "Setup: " << rootProblem << std::endl;
        return kExitNoBundleLocation;
    }

    std::string installerParent;
    platform::BundlePtr bundle = platform::Bundle::Main();
    platform::UnicodeText checked;
    if (!bundle || !platform::UnicodeText::FromUTF8(bundle->Path(), checked)) {
        std::cerr << "Unable to read the location of the application bundle." << std::endl;
        return kExitNoBundleLocation;
    }
    installerParent = bundle->Path().substr(0, bundle->Path().find_last_of('/'));
    if (installerParent.empty())
        installerParent = "/";

    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        if (argv[i] == nullptr)
            continue;
        const std::string argument(argv[i]);
        if (argument.compare(0, kInstallerParentArgument.size(), kInstallerParentArgument) == 0)
            installerParent = argument.substr(kInstallerParentArgument.size());
        arguments.push_back(argument);
    }

    // A relative installer parent is taken from the working directory; one that cannot be a path
    // ends the run like an unreadable bundle location instead of aborting the process.
    FileSystemPath parent;
    try {
        parent = FileSystemPath::PathFromUTF8(installerParent);
        parent = FileSystemPath(parent.AsUTF8String());
    } catch (const std::runtime_error& error) {
        std::cerr << "Invalid installer parent \"" << installerParent << "\": " << error.what() << std::endl;
        return kExitNoBundleLocation;
    }

    InstallerEngine engine(parent);
    return engine.Main(arguments);
}
