#include "AuthExec.h"

#include "platform/SystemLog.h"

#include <sys/wait.h>
#include <unistd.h>

#include <boost/format.hpp>

#include <cerrno>

AuthExec::AuthExec() : authorized_(false), waitStatus_(-1) {}

AuthExec::~AuthExec() = default;

int AuthExec::preAuthorize()
{
    std::unique_ptr<platform::Authorization> authorization;
    int status = platform::Authorization::Create(authorization);
    if (status != platform::kAuthorizationSuccess || !authorization) {
        platform::SystemLog((boost::format("Unable to create authorization (%d)") % status).str());
        authRef_.reset();
        return 2;
    }
    authRef_ = std::move(authorization);
    status = authRef_->CopyAdminRights();
    if (status == platform::kAuthorizationSuccess) {
        authorized_ = true;
        return 0;
    }
    if (status == platform::kAuthorizationCanceled) {
        platform::SystemLog("Authorization cancelled by user");
        return 1;
    }
    platform::SystemLog((boost::format("Unable to copy authorization rights (%d)") % status).str());
    return 2;
}

bool AuthExec::execute()
{
    if (!authorized_ || !authRef_) {
        platform::SystemLog("Must authorize before execution");
        return false;
    }
    if (command_.empty()) {
        platform::SystemLog("No command specified");
        return false;
    }
    // Every argument with its terminating NUL in one buffer, and a null-terminated vector of them.
    std::size_t size = 0;
    for (const std::string& argument : arguments_)
        size += argument.size() + 1;
    std::vector<char> buffer(size + 1);
    std::vector<char*> argv;
    std::size_t offset = 0;
    for (const std::string& argument : arguments_) {
        argument.copy(buffer.data() + offset, argument.size());
        buffer[offset + argument.size()] = '\0';
        argv.push_back(buffer.data() + offset);
        offset += argument.size() + 1;
    }
    argv.push_back(nullptr);

    platform::SystemLog("Calling AuthorizationExecuteWithPrivileges");
    pid_t child = -1;
    int pipe = -1;
    const int status = authRef_->ExecuteWithPrivileges(command_.c_str(), argv.data(), child, pipe);
    if (status != platform::kAuthorizationSuccess) {
        platform::SystemLog((boost::format("AuthorizationExecuteWithPrivileges failed with status: %d") % status).str());
        return false;
    }

    // Always read, delegate or not: a child whose output nobody takes blocks once the pipe is full.
    const StdoutDelegate delegate = stdoutDelegate_;
    platform::ReadChildOutput(child, pipe, [&delegate](const char* data, std::size_t length) {
        if (delegate) {
            const std::string piece(data, length);
            delegate(&piece);
        }
    });
    if (delegate)
        delegate(nullptr);
    close(pipe);

    // This child's own pid: a plain wait could reap (and lose) some other child of the process.
    int waited = 0;
    pid_t result;
    do {
        result = waitpid(child, &waited, 0);
    } while (result == -1 && errno == EINTR);
    const int waitError = errno;
    platform::SystemLog((boost::format("wait result is: %d") % result).str());
    if (result == -1) {
        platform::SystemLog((boost::format("wait failed with error: %d") % waitError).str());
        waitStatus_ = -1;
        return false;
    }
    waitStatus_ = waited;
    return true;
}

void AuthExec::processFile(int fd)
{
    char buffer[16384];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        if (stdoutDelegate_) {
            const std::string piece(buffer, static_cast<std::size_t>(count));
            stdoutDelegate_(&piece);
        }
    }
    if (stdoutDelegate_)
        stdoutDelegate_(nullptr);
}
