// QENChildStatusPipe: how a forked child tells its parent how far it got before it replaced its
// image. Between fork and exec a child of a threaded program may only make async-signal-safe
// calls (another thread may have held the log's lock at the moment of the fork), so the child
// sends numbered steps through a close-on-exec pipe and the parent writes the log lines.
#pragma once

#include <boost/noncopyable.hpp>

#include <vector>

class QENChildStatusPipe : private boost::noncopyable {
public:
    struct Report {
        int step;
        int error;  // the errno the step reports, 0 when none
    };

    QENChildStatusPipe();
    // Closes whichever ends are still open.
    ~QENChildStatusPipe();

    // Before the fork: makes the pipe (both ends close-on-exec); false when it cannot.
    bool Open();

    // In the child: sends one report. Async-signal-safe; a failed write is ignored.
    void Send(int step, int error = 0) const;

    // In the parent, after the fork: drops the parent's sending end, then collects every report
    // until the last sending end is gone, that is until every process that holds it has
    // replaced its image or ended.
    std::vector<Report> ReceiveAll();

private:
    int receiveEnd_;
    int sendEnd_;
};
