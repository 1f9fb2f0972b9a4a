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
// what is there and replacing its files (each removed before the copy makes its own), as an
// argument vector for RunCommand.
std::vector<std::string> CopyCommand(const std::string& source, const std::string& target, bool verbose);

// The name that the version file (versionFile, a path relative to the folders copied) is staged
// by beside itself: ".Info.plist.patch". It is the patcher's own; no patch may carry it.
std::string StagedName(const std::string& versionFile);

// Where the patch folder source may not be copied as it stands: the refusal for the first thing in
// the way, naming it; empty when there is none. Run as root, the copy takes only what root (or the
// user running it) owns and no other user can change: the patch folder, everything in it and the
// folders that lead to it (see platform::CheckKeptTree). The patch holds nothing at the staged
// name. And the patch's version file (versionFile, relative to source), when it carries one, is
// what the next run reads the installed version from: a plain file holding a property list with a
// version, as the installed one must be; versionBytes receives it (empty when there is none). A
// missing patch folder is no refusal: the copy reports it.
std::string RefusedPatch(const std::string& source, const std::string& versionFile, std::string& versionBytes);

// The copies that put the patch folder source over the folder target, in the order they run.
// A kill at any point must leave what a rerun of the same patch completes, and the rerun finds
// its patch by the version in the bundle's version file (versionFile, relative to both folders).
// So when the patch carries that file, everything else is copied first (the entries beside each
// folder on the way to it), and the file itself is left to PutVersionFileInPlace once every copy
// succeeded. Otherwise one copy of the whole folder.
struct PatchCopy {
    std::vector<std::vector<std::string> > commands;  // argument vectors for RunCommand
    std::string versionFile;                          // the installed version file to replace last; empty when none is
};
PatchCopy PlanPatchCopy(const std::string& source, const std::string& target, const std::string& versionFile,
                        bool verbose);

// Puts the bytes of the patch's version file in the place of the installed one, by way of the
// staged name beside it (see platform::WriteFileStaged: made in the folder held open, never
// through a link, with that one's mode and owners as a copy over it would have kept them, and
// renamed into place). 0, or the errno value; EPERM with the refusal.
int PutVersionFileInPlace(const PatchCopy& copy, const std::string& bytes, std::string& refusal);

// Where the copy of the folder source over the folder target would go through what another user
// planted where others can write (see platform::TrustedPath): the refusal for the first such
// place, naming it and its owner; empty when there is none. The copy follows links, and is run
// as root: it is not started then.
std::string PlantedInTarget(const std::string& source, const std::string& target);

// Readies the places in target that the copy of the folder source writes over, the version file
// (versionFile) aside: a link there is removed, so that the copy replaces it by the patch's entry
// instead of writing through it, and an installed file gives up the set-ID bits that the patch's
// file lacks (see platform::ReadyForCopyOver). Empty, or why the first place could not be readied.
std::string ReadyTarget(const std::string& source, const std::string& target, const std::string& versionFile);

// The exit code when the copy was refused before it started (by RefusedPatch or PlantedInTarget):
// nothing was copied.
const int kExitRefused = 3;

// The argument vector as one line, quoted the way a shell would need it (for display only).
std::string CommandText(const std::vector<std::string>& arguments);

// Runs arguments[0] (an absolute path) with the rest as its arguments, without a shell, and
// answers its exit status: 128 + the signal number when a signal ended it, 127 when it could not
// be started.
int RunCommand(const std::vector<std::string>& arguments);

}  // namespace SetupPatcher
