// How the stand-in disk-image tool shows an image at its mount point without copying it: a
// read-only bind mount of a folder image, where the process may mount and where the mount
// shows exactly what a laid-out copy would (same owners, no set-id bits); otherwise the image
// is laid out as a copy, and a read-only attach seals that copy with a read-only bind mount of
// the mount point onto itself. Either way the modes that stat shows are the image's.
#pragma once

#include <string>

namespace tools {

// Whether the tool may mount at all under this root: true unless the root's platform settings
// say "disk-image-mounts" false (tests use it to try the copy that stands in where mounting is
// not permitted). Whether the kernel lets the process mount is found out by trying.
bool MountsAllowed(const std::string& root);

// Whether a view of the folder shows what a copy laid out by this process would: every entry
// (the folder itself included) owned by the effective user and group, and none carrying a
// set-user-id or set-group-id bit, which a copy drops.
bool ShowsAsLaidOut(const std::string& folder);

// Mounts source at target, read-only, with no set-id programs, devices or access-time updates;
// 0, or the errno value of the failure (nothing stays mounted then).
int BindReadOnly(const std::string& source, const std::string& target);

// Unmounts what BindReadOnly mounted at target; 0 also when nothing is mounted there any more,
// else the errno value (EBUSY while something uses it).
int Unbind(const std::string& target);

}  // namespace tools
