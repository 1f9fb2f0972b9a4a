// Setup's process entry: finds the installer parent (the folder that holds the application
// bundle, or the last "--installerParent=") and runs one InstallerEngine over the arguments.
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "PrivilegedCopy.h"
#include "Sorvel/source/xplat/InstallerEngine.h"

#include "platform/Bundle.h"
#include "platform/ProgramArguments.h"
#include "platform/SystemRoot.h"
#include "platform/formats/UnicodeText.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Also the code of a run that cannot tell where its fixed system locations lie: like the
// location of the bundle, the system root is where Setup runs, and nothing can be checked or
// installed before it is known.
const int kExitNoBundleLocation = 5;
// As for a bad mode: the run did not do what its command line asked.
const int kExitOutputFailed = 1;
const std::string kInstallerParentArgument = "--installerParent=";

const char kUsage[] =
    "Usage: [TOLK_SYSTEM_ROOT=ROOT] Setup [--mode=gui|terminal|silent] [--installerParent=FOLDER]\n"
    "             [--deploymentFile=FILE] [--KEY=VALUE ...] [-norespawn]\n"
    "\n"
    "  --mode=gui|terminal|silent  the wizard (the default); print the installation properties; or\n"
    "                              run resources/common/scripts/silentWorkflow.js unattended\n"
    "  --installerParent=FOLDER    the medium, the folder of payloads/ and resources/ (default: the\n"
    "                              folder that holds Setup.app)\n"
    "  --deploymentFile=FILE       preset properties and an action per payload (silent mode)\n"
    "  --KEY=VALUE                 an install property, such as --INSTALLDIR=FOLDER or\n"
    "                              --installLanguage=de_DE\n"
    "  -norespawn                  the wizard runs as it is instead of relaunching itself as root\n"
    "  TOLK_SYSTEM_ROOT            the absolute path of a system root made by scripts/make-sysroot,\n"
    "                              under which every fixed system location lies (default: /)\n";

}  // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    platform::SetProgramArguments(argc, argv);

    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        if (argv[i] != nullptr)
            arguments.push_back(argv[i]);
    }
    // What the wizard's relaunch hands its privileged copy is taken before anything reads it.
    std::vector<std::string> valueProblems;
    PrivilegedCopy::TakeValues(arguments, valueProblems);
    // The platform's services read the arguments without the values taken ("-AppleLanguages" as
    // a value of one of them is none of theirs).
    platform::SetProgramArguments(arguments);
    for (const std::string& problem : valueProblems)
        std::cerr << "Setup: " << problem << std::endl;

    // Asked for among the arguments, never as one of the values taken before.
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--help") {
            // The usage is all this run makes: when it cannot be written, the run failed.
            if (!(std::cout << kUsage << std::flush)) {
                std::cerr << "Setup: the standard output could not be written: " << std::strerror(errno) << std::endl;
                return kExitOutputFailed;
            }
            return 0;
        }
    }

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

    for (const std::string& argument : arguments) {
        if (argument.compare(0, kInstallerParentArgument.size(), kInstallerParentArgument) == 0)
            installerParent = argument.substr(kInstallerParentArgument.size());
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
