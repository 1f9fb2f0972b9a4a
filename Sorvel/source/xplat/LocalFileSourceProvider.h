// LocalFileSourceProvider: where an install operation takes a payload's files from: the local
// path of its image or, for another maker's payload, of its package.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

class LocalFileSourceProvider {
public:
    explicit LocalFileSourceProvider(const FileSystemPath& path) : path_(path) {}

    const FileSystemPath& GetPath() const { return path_; }

private:
    FileSystemPath path_;
};
