// GzipMember: gzip compression of a whole file onto the end of a gzip file, on several cores.
//
// The input is cut into blocks that worker threads deflate at once, each block primed with the
// 32 KiB before it, so the result is one ordinary gzip member at zlib's default level, as small as
// a single-threaded one give or take a few bytes a block. Memory stays bounded (a block or two per
// worker), whatever the size of the input, and a short input touches no more than it fills.
//
// It runs while the process exits (logs are finished by static destructors), so the workers use
// nothing but zlib and their own buffers; all reading and writing stays on the calling thread.
#pragma once

#include <string>

// Reads `input` (an open file descriptor) from its current offset to its end and appends what it
// read, as one gzip member, to the file at `destination` (created when missing, mode 0666 less the
// umask, as gzopen makes it; what stands there and is no plain file of this user or the
// super-user is put aside for a new one, see platform::OpenLogForAppending). True only when every byte was read and the whole member written;
// otherwise a partly written member may remain. Every worker has ended when it returns.
bool AppendGzipMember(int input, const std::string& destination);
