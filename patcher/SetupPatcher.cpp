#include "patcher/SetupPatcher.h"

#include "platform/Bundle.h"
#include "platform/ChildSignals.h"
#include "platform/files/Files.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"
#include "platform/formats/PropertyList.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace SetupPatcher {

const char* const kInstalledSetupPath = "/Library/Application Support/Orvex/Installers/R1/Setup.app";
const char* const kPatchFolder10 = "PatchZR7_1.0";
const char* const kPatchFolder11 = "PatchZR7_1.1";

bool bVerbose = false;

namespace {

// The version text is read into a buffer of this size: a longer text cannot be converted.
const std::size_t kVersionTextSize = 256;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAsciiText(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) > 0x7F)
            return false;
    }
    return true;
}

// Every copy removes a file that stands at a place it writes before it makes its own there
// (exclusively: a link put at the name meanwhile makes cp fail), instead of opening what stands
// there to write into it: a link swapped in after the patcher's checks, a pipe or a device that
// an earlier patch left would be written through.
const char* const kReplaceDestination = "--remove-destination";

bool NeedsQuotes(const std::string& argument)
{
    if (argument.empty())
        return true;
    for (char c : argument) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
                           std::string("-_./=+,:@%").find(c) != std::string::npos;
        if (!plain)
            return true;
    }
    return false;
}

}  // namespace

void Log(const char* format, ...)
{
    if (!bVerbose)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
}

namespace {

// The packed version of an information dictionary, from its "CFBundleVersion". Our bundle reader
// derives no numeric version of its own: it would come from this same key, so a dictionary
// without it has version 0.
std::uint32_t VersionOfInfo(const platform::PropertyValue& info)
{
    const platform::ConstPropertyValuePtr value = info.Get("CFBundleVersion");
    if (!value)
        return 0;
    // A value that is not ASCII text short enough for the buffer reads as the empty text.
    std::string text;
    if (value->GetType() == platform::PropertyValue::kString && value->StringValue().size() < kVersionTextSize &&
        IsAsciiText(value->StringValue()))
        text = value->StringValue();
    return VersionStrToUInt32(text);
}

}  // namespace

std::uint32_t GetBndleVersion(const std::string& bundlePath)
{
    const platform::BundlePtr bundle = platform::Bundle::Create(bundlePath);
    return bundle ? VersionOfInfo(*bundle->InfoDictionary()) : 0;
}

std::uint32_t VersionStrToUInt32(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && !IsDigit(text[at]))
        ++at;
    std::uint32_t result = 0;
    while (at < text.size()) {
        // Kept modulo 256 as it is read, so that no run of digits can overflow.
        std::uint32_t number = 0;
        while (at < text.size() && IsDigit(text[at]))
            number = (number * 10 + static_cast<std::uint32_t>(text[at++] - '0')) & 0xFF;
        while (at < text.size() && !IsDigit(text[at]))
            ++at;
        result = (result << 8) | number;
    }
    return result;
}

std::string& GetParentDir(std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        path.clear();
    else
        path.erase(slash);
    return path;
}

std::string& AppendPath(std::string& path, const std::string& name)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

int FindArg(int argc, const char* const argv[], const char* name)
{
    for (int index = argc - 1; index >= 1; --index) {
        if (argv[index] != nullptr && strcasecmp(argv[index], name) == 0)
            return index;
    }
    return 0;
}

std::vector<std::string> CopyCommand(const std::string& source, const std::string& target, bool verbose)
{
    // GNU cp copies a source folder given as "folder/" into the target as a whole; "-T" makes it
    // copy the folder's contents instead. "--" keeps a folder name that begins with "-" from
    // being read as an option. See kReplaceDestination.
    std::string from = source;
    if (from.empty() || from.back() != '/')
        from += '/';
    std::string into = target;
    if (into.empty() || into.back() != '/')
        into += '/';
    return {"/bin/cp", verbose ? "-rfvT" : "-rfT", kReplaceDestination, "--", from, into};
}

std::string StagedName(const std::string& versionFile)
{
    return "." + versionFile.substr(versionFile.rfind('/') + 1) + ".patch";
}

std::string RefusedPatch(const std::string& source, const std::string& versionFile, std::string& versionBytes)
{
    versionBytes.clear();
    // Judged by its absolute path, whose every folder is judged too; the copy then takes it as given.
    std::error_code error;
    const std::string patch = std::filesystem::absolute(source, error).string();
    if (error)
        return "Refused to read \"" + source + "\": " + error.message();
    std::string refusal;
    const int judged = platform::CheckKeptTree(patch, refusal);
    if (judged == EPERM)
        return refusal;
    // A missing patch is the copy's to report, as it always was.
    if (judged == ENOENT)
        return std::string();
    if (judged != 0)
        return "Refused to read \"" + patch + "\": " + std::strerror(judged);

    const std::string patchVersionFile = patch + "/" + versionFile;
    std::string staged = patchVersionFile;
    GetParentDir(staged);
    AppendPath(staged, StagedName(versionFile));
    if (std::filesystem::exists(std::filesystem::symlink_status(staged, error)))
        return "Refused to copy \"" + staged +
               "\": that name is the patcher's own, the one it stages the version file by";

    if (!platform::ReadKeptFile(patchVersionFile, versionBytes, refusal)) {
        const int failed = errno;
        versionBytes.clear();
        if (!refusal.empty())
            return refusal;
        // A patch without the version file (or without its folders) leaves the installed one.
        if (failed == ENOENT || failed == ENOTDIR)
            return std::string();
        return "Refused to read \"" + patchVersionFile + "\": " + std::strerror(failed);
    }
    // Put in place, it is what the next run finds its patch by: it must hold a version.
    platform::PropertyValuePtr info;
    if (!platform::ParsePropertyList(versionBytes, info) || !info->IsDictionary() || VersionOfInfo(*info) == 0) {
        versionBytes.clear();
        return "Refused to copy \"" + patchVersionFile +
               "\": it is no property list that holds a version (\"CFBundleVersion\")";
    }
    return std::string();
}

namespace {

// The names in folder, but skip, in order; false when folder cannot be read.
bool NamesBeside(const std::string& folder, const std::string& skip, std::vector<std::string>& names)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name != skip)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return !error;
}

bool IsFolder(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A place that the copy of a patch writes: the entry of the patch, where it goes, and whether it
// is a folder (not a link to one).
struct PatchPlace {
    std::string from;
    std::string into;
    std::string relative;
    bool folder;
};

// Each entry of the patch folder source (cp copies the source's own links as links), folders
// before what they hold, with its place in target.
std::vector<PatchPlace> PatchPlaces(const std::string& source, const std::string& target)
{
    std::vector<PatchPlace> places;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(source, error), end; !error && it != end;
         it.increment(error)) {
        const std::string relative = it->path().lexically_relative(source).string();
        places.push_back({it->path().string(), target + "/" + relative, relative,
                          it->is_directory(error) && !it->is_symlink(error)});
    }
    return places;
}

}  // namespace

PatchCopy PlanPatchCopy(const std::string& source, const std::string& target, const std::string& versionFile,
                        bool verbose)
{
    PatchCopy plan;
    std::string from = source;
    std::string into = target;
    for (std::size_t begin = 0; begin < versionFile.size();) {
        std::size_t end = versionFile.find('/', begin);
        if (end == std::string::npos)
            end = versionFile.size();
        const std::string name = versionFile.substr(begin, end - begin);
        begin = end + 1;
        // Folders of their own on both sides, not links: cp would copy or follow a link whole.
        std::vector<std::string> names;
        if (name.empty() || !IsFolder(from) || !IsFolder(into) || !NamesBeside(from, name, names)) {
            plan.commands = {CopyCommand(source, target, verbose)};
            return plan;
        }
        if (!names.empty()) {
            std::vector<std::string> command = {"/bin/cp", verbose ? "-rfv" : "-rf", kReplaceDestination, "--"};
            for (const std::string& entry : names)
                command.push_back(from + "/" + entry);
            command.push_back(into + "/");
            plan.commands.push_back(command);
        }
        from += "/" + name;
        into += "/" + name;
    }
    struct stat status;
    if (versionFile.empty() || lstat(from.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        plan.commands = {CopyCommand(source, target, verbose)};
        return plan;
    }
    plan.versionFile = into;
    return plan;
}

int PutVersionFileInPlace(const PatchCopy& copy, const std::string& bytes, std::string& refusal)
{
    // A fixed name, so that a rerun takes up what a killed run left there.
    return platform::WriteFileStaged(copy.versionFile, StagedName(copy.versionFile), bytes, refusal);
}

std::string PlantedInTarget(const std::string& source, const std::string& target)
{
    // Each place the copy writes: the target folder, and the target's place of every entry of the
    // source (cp follows the links that it finds in the target).
    std::vector<PatchPlace> places = PatchPlaces(source, target);
    places.insert(places.begin(), PatchPlace{source, target, std::string(), true});
    for (const PatchPlace& place : places) {
        platform::TrustedPath walked;
        int refused = walked.Walk(place.into, true);
        if (refused == 0 && !place.folder)
            refused = walked.CheckObject();
        if (refused == EPERM)
            return walked.Refusal();
    }
    return std::string();
}

std::string ReadyTarget(const std::string& source, const std::string& target, const std::string& versionFile)
{
    for (const PatchPlace& place : PatchPlaces(source, target)) {
        if (place.relative == versionFile)
            continue;
        std::string refusal;
        const int error = platform::ReadyForCopyOver(place.from, place.into, refusal);
        if (error != 0)
            return refusal.empty() ? "cannot ready \"" + place.into + "\" for the copy: " + std::strerror(error)
                                   : refusal;
    }
    return std::string();
}

std::string CommandText(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty())
            text += ' ';
        if (!NeedsQuotes(argument)) {
            text += argument;
            continue;
        }
        text += '"';
        for (char c : argument) {
            if (c == '"' || c == '\\' || c == '$' || c == '`')
                text += '\\';
            text += c;
        }
        text += '"';
    }
    return text;
}

int RunCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return 127;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // The child writes to the same standard output: what we printed must come out first.
    std::fflush(stdout);
    pid_t pid = 0;
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return 127;
    const bool spawned = platform::SetChildSignals(attributes) == 0 &&
                         posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ) == 0;
    posix_spawnattr_destroy(&attributes);
    if (!spawned)
        return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 127;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 127;
}

}  // namespace SetupPatcher
