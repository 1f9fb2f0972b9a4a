// Network ports: whether this machine could take connections on a port right now.
#pragma once

#include <cstdint>

namespace platform {

// Makes a new IPv4 stream socket, binds it to the wildcard address and the port, without
// address reuse, and closes it again. 0 with available set to whether the bind worked; the errno
// value of the failure when no socket could be made.
int ProbeTCPPort(std::uint16_t port, bool& available);

}  // namespace platform
