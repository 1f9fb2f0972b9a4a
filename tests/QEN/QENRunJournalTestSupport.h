// The fixture of the run journal's tests: runs in processes of their own that journal real
// changes and die without finishing, as a killed run leaves its journal.
#pragma once

#include "QENDatabaseTestSupport.h"

#include "QEN/source/mac/QENRunJournal.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <vector>

namespace qentest {

class RunJournalTest : public WithDatabase<tolktest::SystemRootTest> {
protected:
    std::string S(const std::string& name) const { return sysroot_.Scratch() + "/" + name; }

    // A run in a process of its own that journals what `changes` does and dies without finishing;
    // its files can grow to fileSizeLimit bytes at most.
    void DeadRun(const std::function<void(QENRunJournal&)>& changes, rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const struct rlimit limit = {fileSizeLimit, fileSizeLimit};
            signal(SIGXFSZ, SIG_IGN);
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(2);
            RecordingLog log;
            QENRunJournal journal(log);
            if (!journal.Begin("test run"))
                _exit(1);
            changes(journal);
            _exit(0);  // no destructor: the journal stays, as a killed process leaves it
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    static unsigned Mode(const std::string& path)
    {
        struct stat info;
        return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    std::vector<std::string> Journals() const
    {
        std::vector<std::string> journals;
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(Base() + "/caps")) {
            if (entry.path().extension() == ".journal")
                journals.push_back(entry.path().string());
        }
        return journals;
    }

    void RecoverInterruptedRuns()
    {
        std::string folder;
        ASSERT_TRUE(QENRunJournal::JournalFolder(folder));
        QENRunJournal::RecoverInterruptedRuns(folder, log_);
    }

    RecordingLog log_;
};

}  // namespace qentest
