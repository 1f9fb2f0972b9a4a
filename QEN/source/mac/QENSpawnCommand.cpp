#include "QENSpawnCommand.h"

#include "Common/source/mac/ExecUtils.h"
#include "QENChildStatusPipe.h"

#include <boost/format.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

enum ChildStep { kChildExecFailed = 1 };

// The child's side, async-signal-safe calls only; it never returns.
[[noreturn]] void RunSpawnChild(const QENChildStatusPipe& status, char* const argv[], char* const envp[])
{
    ExecUtils::ResetChildSignals();
    execve(argv[0], argv, envp);
    status.Send(kChildExecFailed, errno);
    _exit(QENSpawnCommand::kExecFailedStatus);
}

}  // namespace

QENSpawnCommand::QENSpawnCommand(LogAppender& log, const FileSystemPath& executable, bool noWait,
                                 const std::vector<std::string>& arguments)
    : QENCommand(log), executable_(executable), noWait_(noWait), arguments_(arguments)
{
}

std::string QENSpawnCommand::GetName() const
{
    return "QENSpawnCommand";
}

bool QENSpawnCommand::DoPerform()
{
    const std::string path = executable_.AsUTF8String();

    // Everything the child needs is made before the fork.
    std::vector<std::string> all(1, path);
    all.insert(all.end(), arguments_.begin(), arguments_.end());
    std::vector<char> argBuffer;
    std::vector<char*> argv;
    ExecUtils::FormExecArgv(all, argBuffer, argv);
    // Programs see only the two variables of the user's login session; PATH, HOME and the rest of
    // the setup program's environment would let it steer them.
    const ExecUtils::ChildEnvironment environment;
    QENChildStatusPipe status;
    const bool reporting = status.Open();

    const pid_t pid = fork();
    if (pid < 0) {
        log_.AppendToLog(LogAppender::kLogError, (boost::format("Unable to spawn process \"%1%\"") % path).str());
        return false;
    }
    if (pid == 0)
        RunSpawnChild(status, argv.data(), environment.Entries());

    log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Preparing to spawn executable at \"%1%\"") % path).str());
    for (const std::string& argument : arguments_)
        log_.AppendToLog(LogAppender::kLogDebug, (boost::format("Preparing argument value \"%1%\"") % argument).str());
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Spawning executable at \"%1%\" with arguments") % path).str());
    if (reporting) {
        // Returns as soon as the child runs the program or has failed to.
        for (const QENChildStatusPipe::Report& report : status.ReceiveAll()) {
            if (report.step == kChildExecFailed)
                log_.AppendToLog(LogAppender::kLogError,
                                 (boost::format("Unable to exec \"%1%\" from forked process") % path).str());
        }
    }

    if (noWait_)
        return true;

    int childStatus = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &childStatus, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        log_.AppendToLog(LogAppender::kLogError,
                         (boost::format("Non-standard exit for spawned process \"%1%\" with error \"%2%\"") % path %
                          waited)
                             .str());
        return false;
    }
    if (WIFEXITED(childStatus)) {
        log_.AppendToLog(LogAppender::kLogWarn, (boost::format("Spawned process \"%1%\" exited with status \"%2%\"") %
                                                 path % WEXITSTATUS(childStatus))
                                                    .str());
    }
    return true;
}

bool QENSpawnCommand::DoRollback()
{
    log_.AppendToLog(LogAppender::kLogDebug,
                     (boost::format("Spawn of \"%1%\" ignored") % executable_.AsUTF8String()).str());
    return true;
}

bool QENSpawnCommand::DoCommit()
{
    return true;
}
