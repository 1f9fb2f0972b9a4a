// SetupPatcher: copies the patch folder that matches the installed Setup's version, found
// beside this program, over the folder of the installed Setup.
#include "patcher/SetupPatcher.h"

#include "platform/SystemRoot.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace SetupPatcher;

int main(int argc, char* argv[])
{
    if (FindArg(argc, argv, "-v") != 0)
        bVerbose = true;

    // A root that cannot be used would be taken as "/": the real installed Setup would be patched.
    std::string rootProblem;
    if (!platform::SystemRoot::CheckEnvironment(rootProblem)) {
        std::fprintf(stderr, "SetupPatcher: %s\n", rootProblem.c_str());
        return 1;
    }

    const std::string installed = platform::SystemRoot::Resolve(kInstalledSetupPath);
    const std::uint32_t version = GetBndleVersion(installed);
    Log("Version: %x\n", static_cast<unsigned>(version));
    if (version == 0) {
        std::puts("No ZR7 install setup found");
        return 1;
    }

    const char* patchFolder = nullptr;
    switch (version >> 16) {
    case 0x0100:
        patchFolder = kPatchFolder10;
        break;
    case 0x0101:
        patchFolder = kPatchFolder11;
        break;
    default:
        std::printf("No patch for Setup version %d.%d\n", static_cast<int>(version >> 24),
                    static_cast<int>((version >> 16) & 0xFF));
        return 2;
    }

    // The patch folders lie beside this program, as its own path names it.
    std::string source = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
    GetParentDir(source);
    AppendPath(source, patchFolder);
    std::string target = installed;
    GetParentDir(target);

    // The version file's path inside the folder copied over: "Setup.app/Contents/Info.plist".
    const std::string versionFile = installed.substr(target.size() + 1) + "/Contents/Info.plist";

    // Run as root, the copy must take nothing that another user can change, and not write through
    // what another user planted in the installed folder where others can write.
    std::string versionBytes;
    std::string refused = RefusedPatch(source, versionFile, versionBytes);
    if (refused.empty())
        refused = PlantedInTarget(source, target);
    if (!refused.empty()) {
        std::printf("%s: nothing was copied\n", refused.c_str());
        return kExitRefused;
    }

    int exitCode = 0;
    const std::string unready = ReadyTarget(source, target, versionFile);
    if (!unready.empty()) {
        std::fprintf(stderr, "SetupPatcher: %s\n", unready.c_str());
        exitCode = 1;
    }
    const PatchCopy copy = PlanPatchCopy(source, target, versionFile, bVerbose);
    for (const std::vector<std::string>& command : copy.commands) {
        if (exitCode != 0)
            break;
        Log("Executing command: %s\n", CommandText(command).c_str());
        exitCode = RunCommand(command);
    }
    if (exitCode == 0 && !copy.versionFile.empty()) {
        std::string refusal;
        if (const int error = PutVersionFileInPlace(copy, versionBytes, refusal)) {
            if (refusal.empty())
                std::fprintf(stderr, "SetupPatcher: cannot put \"%s\" in place: %s\n", copy.versionFile.c_str(),
                             std::strerror(error));
            else
                std::fprintf(stderr, "SetupPatcher: %s\n", refusal.c_str());
            exitCode = 1;
        }
    }
    std::printf("Exit code: %d\n", exitCode);
    return exitCode;
}
