// SetupPatcher's routines: reading the installed Setup's bundle version, packing version texts,
// path and argument helpers, and running the copy of a patch folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SetupPatcher {

// Where the shared copy of Setup is installed; its parent folder is what a patch is copied over.
extern const char* const kInstalledSetupPath;
extern const char* const kPatchFolder10;  // the patch for installed versions 1.0
extern const char* const kPatchFolder11;  // the patch for installed versions 1.1

// Set by the argument "-v": turns on Log and makes the copy list what it copies.
extern bool bVerbose;

// printf-style output to standard output, in verbose mode only.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The packed version of the bundle at bundlePath, from its "CFBundleVersion"; 0 when the bundle
// cannot be opened or carries no readable version.
std::uint32_t GetBndleVersion(const std::string& bundlePath);

// Packs the numbers of a version text one byte each (modulo 256), the last in the lowest byte;
// only the last four fit. "1.0.0.23" -> 0x01000017, "1.0b2" -> 0x010002, no digits -> 0.
std::uint32_t VersionStrToUInt32(const std::string& text);

// Cuts path at its last "/" (dropping the "/"); a path without one, or whose only "/" is the
// first character, becomes empty. Answers path.
std::string& GetParentDir(std::string& path);

// Appends "/" (unless path is empty or ends in one) and name. Answers path.
std::string& AppendPath(std::string& path, const std::string& name);

// The highest index from argc - 1 down to 1 whose argument equals name, ignoring case; 0 when none.
int FindArg(int argc, const char* const argv[], const char* name);

// The copy that puts the contents of the folder source into the folder target, merging with
// and overwriting what is there, as an argument vector for RunCommand.
std::vector<std::string> CopyCommand(const std::string& source, const std::string& target, bool verbose);

// The copies that put the patch folder source over the folder target, in the order they run.
// A kill at any point must leave what a rerun of the same patch completes, and the rerun finds
// its patch by the version in the bundle's version file (versionFile, relative to both folders).
// So when the patch carries that file, everything else is copied first (the entries beside each
// folder on the way to it), and the file itself last, to staged beside it; the caller renames it
// into place once every copy succeeded. Otherwise one copy of the whole folder.
struct PatchCopy {
    std::vector<std::vector<std::string> > commands;  // argument vectors for RunCommand
    std::string staged;                               // empty when the patch carries no version file
    std::string versionFile;                          // the installed version file staged replaces
};
PatchCopy PlanPatchCopy(const std::string& source, const std::string& target, const std::string& versionFile,
                        bool verbose);

// Puts the staged version file in the place of the installed one, with that one's mode and
// owners (as a copy over it would have kept them), by a rename. false, with errno, when it fails.
bool PutVersionFileInPlace(const PatchCopy& copy);

// Where the copy of the folder source over the folder target would go through what another user
// planted where others can write (see platform::TrustedPath): the refusal for the first such
// place, naming it and its owner; empty when there is none. The copy follows links, and is run
// as root: it is not started then.
std::string PlantedInTarget(const std::string& source, const std::string& target);

// The exit code when the copy was not started for such a place.
const int kExitPlantedInTarget = 3;

// The argument vector as one line, quoted the way a shell would need it (for display only).
std::string CommandText(const std::vector<std::string>& arguments);

// Runs arguments[0] (an absolute path) with the rest as its arguments, without a shell, and
// answers its exit status: 128 + the signal number when a signal ended it, 127 when it could not
// be started.
int RunCommand(const std::vector<std::string>& arguments);

}  // namespace SetupPatcher
