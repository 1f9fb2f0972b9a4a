#include "PatcherRun.h"

#include "tests/support/ProgramRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

namespace patchertest {

std::string InstallFolder(const tolktest::TempSystemRoot& sysroot)
{
    return sysroot.Path("/Library/Application Support/Orvex/Installers/R1");
}

void InstallSetupWithInfo(const tolktest::TempSystemRoot& sysroot, const std::string& dictBody)
{
    const std::string contents = InstallFolder(sysroot) + "/Setup.app/Contents";
    tolktest::MakeFolders(contents + "/MacOS");
    tolktest::WriteTextFile(contents + "/MacOS/Setup", "old program");
    tolktest::WriteTextFile(contents + "/Info.plist",
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + dictBody +
                                "</dict></plist>\n");
}

void InstallSetup(const tolktest::TempSystemRoot& sysroot, const std::string& version)
{
    InstallSetupWithInfo(sysroot, "<key>CFBundleVersion</key><string>" + version + "</string>");
}

std::string PlacePatcher(const std::string& folder)
{
    tolktest::MakeFolders(folder);
    const std::string copy = folder + "/SetupPatcher";
    std::filesystem::copy_file(SETUP_PATCHER_PROGRAM, copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    return copy;
}

PatcherResult RunPatcher(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& cwd, const std::string& argv0)
{
    const tolktest::ProgramResult run = tolktest::RunCapturingOutput(program, arguments, cwd, argv0);
    PatcherResult result;
    result.exitCode = run.exitCode;
    result.output = run.output;
    return result;
}

}  // namespace patchertest
