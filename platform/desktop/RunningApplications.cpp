#include "platform/desktop/RunningApplications.h"

#include "platform/Bundle.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {

namespace {

// The Process Manager's "cannot read the process table" answer.
const int kProcessTableErr = -50;

std::mutex gTableMutex;  // guards gTable
boost::shared_ptr<const ProcessTableForTesting> gTable;

boost::shared_ptr<const ProcessTableForTesting> TestTable()
{
    std::lock_guard<std::mutex> lock(gTableMutex);
    return gTable;
}

bool ParsePid(const char* name, ProcessSerialNumber& pid)
{
    if (*name == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(name, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0)
        return false;
    pid = value;
    return true;
}

// The executable of a process, without the kernel's mark for a replaced file.
bool ExecutableOf(ProcessSerialNumber pid, std::string& path)
{
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink(link.c_str(), buffer, PATH_MAX);
    if (length <= 0)
        return false;
    path.assign(buffer, static_cast<std::size_t>(length));
    static const std::string kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.erase(path.size() - kDeleted.size());
    return !path.empty() && path[0] == '/';
}

// "<bundle>/Contents/MacOS/<executable>" gives the bundle's folder.
bool EnclosingApplicationBundle(const std::string& executable, std::string& bundle)
{
    static const std::string kMacOS = "/Contents/MacOS/";
    const std::string::size_type slash = executable.find_last_of('/');
    if (slash == std::string::npos || slash < kMacOS.size())
        return false;
    const std::string::size_type start = slash + 1 - kMacOS.size();
    if (executable.compare(start, kMacOS.size(), kMacOS) != 0 || start == 0)
        return false;
    bundle = executable.substr(0, start);
    return true;
}

}  // namespace

int GetNextProcess(ProcessSerialNumber& process)
{
    if (boost::shared_ptr<const ProcessTableForTesting> table = TestTable()) {
        if (process >= table->processes.size())
            return table->endError;
        ++process;
        return 0;
    }

    DIR* folder = opendir("/proc");
    if (folder == nullptr)
        return kProcessTableErr;
    ProcessSerialNumber next = 0;
    while (struct dirent* entry = readdir(folder)) {
        ProcessSerialNumber pid = 0;
        if (ParsePid(entry->d_name, pid) && pid > process && (next == 0 || pid < next))
            next = pid;
    }
    closedir(folder);
    if (next == 0)
        return kProcNotFoundErr;
    process = next;
    return 0;
}

bool CopyProcessInformation(ProcessSerialNumber process, PropertyValuePtr& information)
{
    if (boost::shared_ptr<const ProcessTableForTesting> table = TestTable()) {
        if (process == kNoProcess || process > table->processes.size() || !table->processes[process - 1])
            return false;
        information = table->processes[process - 1]->Clone();
        return true;
    }

    std::string executable;
    if (!ExecutableOf(process, executable))
        return false;
    PropertyValuePtr dictionary = PropertyValue::MakeDictionary();
    dictionary->Set("CFBundleExecutable", PropertyValue::MakeString(executable));
    dictionary->Set("pid", PropertyValue::MakeInteger(static_cast<std::int64_t>(process)));
    std::string folder;
    if (EnclosingApplicationBundle(executable, folder)) {
        if (BundlePtr bundle = Bundle::Create(folder)) {
            dictionary->Set("BundlePath", PropertyValue::MakeString(folder));
            for (const char* key : {"CFBundleName", "CFBundleIdentifier"}) {
                std::string value;
                if (bundle->InfoString(key, value))
                    dictionary->Set(key, PropertyValue::MakeString(value));
            }
        }
    }
    information = dictionary;
    return true;
}

void SetProcessTableForTesting(const boost::shared_ptr<const ProcessTableForTesting>& table)
{
    std::lock_guard<std::mutex> lock(gTableMutex);
    gTable = table;
}

}  // namespace platform
