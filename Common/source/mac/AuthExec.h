// AuthExec: runs a command with administrator rights and waits for it; the full-GUI driver
// relaunches Setup through it. Obtain the rights first (preAuthorize), then set the command and its
// arguments and execute. Its log lines go to the system log.
#pragma once

#include "platform/Authorization.h"

#include <boost/function.hpp>
#include <boost/noncopyable.hpp>

#include <memory>
#include <string>
#include <vector>

class AuthExec : private boost::noncopyable {
public:
    // Receives the child's output piece by piece, then null once the output has ended.
    typedef boost::function<void(const std::string* data)> StdoutDelegate;

    AuthExec();
    ~AuthExec();

    // 0 authorised, 1 cancelled by the user, 2 failed.
    int preAuthorize();

    const std::vector<std::string>& arguments() const { return arguments_; }
    // The arguments, without the program path.
    void setArguments(const std::vector<std::string>& arguments) { arguments_ = arguments; }
    const std::string& command() const { return command_; }
    // The path of the program to run; empty means none.
    void setCommand(const std::string& command) { command_ = command; }
    void setStdoutDelegate(const StdoutDelegate& delegate) { stdoutDelegate_ = delegate; }

    // -1 until a wait succeeded; then the child's raw wait status.
    int waitStatus() const { return waitStatus_; }

    // Runs the command with administrator rights and blocks until it has ended. The child's output
    // goes to the delegate, or is read and dropped when there is none. False without rights,
    // without a command, when the command cannot be started or when its end cannot be awaited.
    bool execute();

    // Relays everything readable from the descriptor to the delegate until its end, then null.
    void processFile(int fd);

private:
    std::unique_ptr<platform::Authorization> authRef_;
    bool authorized_;
    std::string command_;
    std::vector<std::string> arguments_;
    int waitStatus_;
    StdoutDelegate stdoutDelegate_;
};
