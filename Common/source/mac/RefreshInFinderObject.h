// The confirmed Finder refresh of a whole path chain, done on the main thread: the free
// function RefreshInFinder, the carrier that takes the path there and the object that does
// the refresh and keeps its outcome.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include <memory>

// Carries a copy of a path from a worker thread to the main thread.
class FileSystemPathCarrier {
public:
    FileSystemPathCarrier() = default;
    explicit FileSystemPathCarrier(const FileSystemPath& path) : path_(new FileSystemPath(path)) {}

    const FileSystemPath* path() const { return path_.get(); }
    void setPath(const FileSystemPath& path) { path_.reset(new FileSystemPath(path)); }

private:
    std::unique_ptr<FileSystemPath> path_;
};

// Refreshes the chain of folders from the root down to a path, confirming each step.
class RefreshInFinderObject {
public:
    // Runs on the main thread. Any failure, an exception included, leaves refreshSucceeded false.
    void refreshInFinder(const FileSystemPathCarrier& carrier);
    bool refreshSucceeded() const { return refreshSucceeded_; }

private:
    bool refreshSucceeded_ = false;
};

// Refreshes every folder from the root down to the path in the Finder, on the main thread, and
// waits for it; true when every step was confirmed.
bool RefreshInFinder(const FileSystemPath& path);
