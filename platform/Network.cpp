#include "platform/Network.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

int ProbeTCPPort(std::uint16_t port, bool& available)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return errno;
    struct sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    available = bind(fd, reinterpret_cast<const struct sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return 0;
}

}  // namespace platform
