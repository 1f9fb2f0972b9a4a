#include "QENChildStatusPipe.h"

#include "platform/FaultInjection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

QENChildStatusPipe::QENChildStatusPipe() : receiveEnd_(-1), sendEnd_(-1) {}

QENChildStatusPipe::~QENChildStatusPipe()
{
    if (receiveEnd_ >= 0)
        close(receiveEnd_);
    if (sendEnd_ >= 0)
        close(sendEnd_);
}

bool QENChildStatusPipe::Open()
{
    int ends[2];
    if (platform::InjectedFault("status-pipe", std::string()) != 0 || pipe2(ends, O_CLOEXEC) != 0)
        return false;
    receiveEnd_ = ends[0];
    sendEnd_ = ends[1];
    return true;
}

void QENChildStatusPipe::Send(int step, int error) const
{
    // One report is far below PIPE_BUF, so it arrives whole.
    const Report report = {step, error};
    ssize_t written;
    do {
        written = write(sendEnd_, &report, sizeof(report));
    } while (written < 0 && errno == EINTR);
}

std::vector<QENChildStatusPipe::Report> QENChildStatusPipe::ReceiveAll()
{
    if (sendEnd_ >= 0) {
        close(sendEnd_);
        sendEnd_ = -1;
    }
    std::vector<Report> reports;
    char buffer[sizeof(Report)];
    std::size_t filled = 0;
    for (;;) {
        const ssize_t count = read(receiveEnd_, buffer + filled, sizeof(buffer) - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        filled += static_cast<std::size_t>(count);
        if (filled == sizeof(buffer)) {
            Report report;
            std::memcpy(&report, buffer, sizeof(report));
            reports.push_back(report);
            filled = 0;
        }
    }
    return reports;
}
