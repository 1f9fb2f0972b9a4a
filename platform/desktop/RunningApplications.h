// The Process Manager's walk over the running applications: one serial number per process, and
// for each an information dictionary ("CFBundleExecutable" the executable's full path,
// "CFBundleName" and "CFBundleIdentifier" when the executable lies in an application bundle).
// Here every process whose executable can be read counts, found in /proc.
#pragma once

#include "platform/formats/PropertyList.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace platform {

typedef std::uint64_t ProcessSerialNumber;

// The serial number to start a walk from.
const ProcessSerialNumber kNoProcess = 0;
// The answer of GetNextProcess after the last process.
const int kProcNotFoundErr = -600;

// Moves the serial number on to the next running process: 0, kProcNotFoundErr when none is
// left, or another negative error when the process table cannot be read.
int GetNextProcess(ProcessSerialNumber& process);

// The information dictionary of the process; false when it has none (it has ended meanwhile, or
// its executable cannot be seen from here).
bool CopyProcessInformation(ProcessSerialNumber process, PropertyValuePtr& information);

// Test hook: a process table in place of /proc. Each entry is one process's information
// dictionary, or null for a process without one; after the last entry the walk ends with
// endError. An empty pointer restores /proc.
struct ProcessTableForTesting {
    std::vector<PropertyValuePtr> processes;
    int endError = kProcNotFoundErr;
};
void SetProcessTableForTesting(const boost::shared_ptr<const ProcessTableForTesting>& table);

}  // namespace platform
