#include "PatcherRun.h"

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
    std::vector<std::string> strings{argv0.empty() ? program : argv0};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings)
        argv.push_back(&s[0]);
    argv.push_back(nullptr);

    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    PatcherResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fds[0], buffer, sizeof(buffer));
        if (count > 0)
            result.output.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace patchertest
