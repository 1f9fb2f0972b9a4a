// How the stand-in disk-image tool shows an image at its mount point without copying it: a
// read-only bind mount of a folder image, where the process may mount; otherwise the image is
// laid out as a copy, and a read-only attach seals that copy with a read-only bind mount of the
// mount point onto itself. Either way stat shows the image's modes, set-id bits and owners, as
// a mounted disk image does; no mount runs a program with its set-id bits.
#pragma once

#include <string>

namespace tools {

// Whether the tool may mount at all under this root: true unless the root's platform settings
// say "disk-image-mounts" false (tests use it to try the copy that stands in where mounting is
// not permitted). Whether the kernel lets the process mount is found out by trying.
bool MountsAllowed(const std::string& root);

// Mounts source at target, read-only, with no set-id programs, devices or access-time updates;
// 0, or the errno value of the failure (nothing stays mounted then).
int BindReadOnly(const std::string& source, const std::string& target);

// Unmounts what BindReadOnly mounted at target; 0 also when nothing is mounted there any more,
// else the errno value (EBUSY while something uses it).
int Unbind(const std::string& target);

}  // namespace tools
