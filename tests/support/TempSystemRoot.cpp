#include "tests/support/TempSystemRoot.h"

#include "platform/Folders.h"
#include "platform/Semaphore.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace tolktest {

namespace {

// Unmounts what the stand-in disk-image tool still has mounted for this root (a test that
// failed between attach and eject), so that no mount outlives the test.
void DetachLeftOverImages(const std::string& root)
{
    std::error_code ignored;
    for (std::filesystem::directory_iterator it(root + "/.tolk/hdiutil", ignored), end; it != end;
         it.increment(ignored)) {
        std::string bytes;
        platform::PropertyValuePtr record;
        std::string mountPoint;
        if (platform::ReadWholeFile(it->path().string(), bytes) && platform::ParsePropertyList(bytes, record) &&
            record && record->GetString("mount-point", mountPoint))
            umount2(mountPoint.c_str(), MNT_DETACH);
    }
}

void SetOrUnset(const char* name, bool had, const std::string& value)
{
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

// Named locks are semaphore sets keyed by the root's "/tmp" folder, and sets outlive processes:
// each root would leave its own behind for good. A set that is held stays (its key may be
// another live root's too, since a key keeps only part of the folder's identity).
void RemoveNamedLockSets(const std::string& keyFolder)
{
    const int kNamedLockPermissions = 0600;
    for (int projectId = 0; projectId < 256; ++projectId) {
        key_t key;
        if (!platform::MakeIPCKey(keyFolder, projectId, key))
            return;
        const int setId = platform::OpenSemaphoreSet(key, kNamedLockPermissions);
        if (setId >= 0 && platform::SemaphoreValue(setId) > 0)
            platform::RemoveSemaphoreSet(setId);
    }
}

}  // namespace

TempSystemRoot::TempSystemRoot()
{
    char pattern[] = "/tmp/tolk-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    base_ = pattern;
    root_ = base_ + "/root";
    home_ = base_ + "/home";
    scratch_ = base_ + "/scratch";
    MakeFolders(home_);
    MakeFolders(scratch_);
    const int status = RunProgram("/bin/bash", {TOLK_SOURCE_DIR "/scripts/make-sysroot", root_, TOLK_BINARY_DIR});
    if (status != 0)
        throw std::runtime_error("make-sysroot failed");

    const char* root = std::getenv(platform::SystemRoot::kEnvironmentVariable);
    const char* home = std::getenv("HOME");
    hadRoot_ = root != nullptr;
    hadHome_ = home != nullptr;
    savedRoot_ = hadRoot_ ? root : "";
    savedHome_ = hadHome_ ? home : "";
    setenv(platform::SystemRoot::kEnvironmentVariable, root_.c_str(), 1);
    setenv("HOME", home_.c_str(), 1);
}

TempSystemRoot::~TempSystemRoot()
{
    SetOrUnset(platform::SystemRoot::kEnvironmentVariable, hadRoot_, savedRoot_);
    SetOrUnset("HOME", hadHome_, savedHome_);
    platform::ResetUserDomain();
    DetachLeftOverImages(root_);
    RemoveNamedLockSets(root_ + "/tmp");
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable so that removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(base_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(base_, ignored);
}

std::string TempSystemRoot::Path(const std::string& systemPath) const
{
    if (systemPath.empty() || systemPath == "/")
        return root_;
    return root_ + (systemPath[0] == '/' ? "" : "/") + systemPath;
}

void TempSystemRoot::WritePlatformSettings(const std::string& plistText) const
{
    WriteTextFile(Path("/.tolk/platform.plist"), plistText);
}

void WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << text;
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void MakeFolders(const std::string& path)
{
    std::filesystem::create_directories(path);
}

std::vector<std::string> DescribeTree(const std::string& path, bool modesAndOwners)
{
    namespace fs = std::filesystem;
    const auto describe = [&](const fs::path& object) {
        const std::string relative = object.lexically_relative(path).string();
        struct stat status;
        if (lstat(object.c_str(), &status) != 0)
            return relative + " missing";
        std::string line = relative;
        if (S_ISLNK(status.st_mode))
            line += " link->" + fs::read_symlink(object).string();
        else if (S_ISDIR(status.st_mode))
            line += " dir";
        else
            line += " " + ReadTextFile(object.string());
        if (modesAndOwners)
            line += " mode " + std::to_string(status.st_mode & 07777) + " owner " + std::to_string(status.st_uid);
        return line;
    };
    std::vector<std::string> lines;
    std::error_code ignored;
    if (fs::is_directory(fs::symlink_status(path, ignored)))
        for (fs::recursive_directory_iterator it(path), end; it != end; ++it)
            lines.push_back(describe(it->path()));
    std::sort(lines.begin(), lines.end());
    if (modesAndOwners)
        lines.insert(lines.begin(), describe(path));
    return lines;
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tolktest
