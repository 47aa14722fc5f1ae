#include "support/FakeHidrawNode.h"

#include "support/BoardNode.h"

#include <cerrno>
#include <sys/socket.h>
#include <utility>

namespace testsupport {

int OpenFakeHidrawNode(int& boardEnd, NodeTraits traits) {
    const int blocking = traits.blockingWrites ? 0 : SOCK_NONBLOCK;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | blocking | SOCK_CLOEXEC, 0, fds) != 0) return -errno;
    if (traits.sendBuffer > 0)
        ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &traits.sendBuffer, sizeof traits.sendBuffer);
    boardEnd = fds[1];
    return fds[0];
}

hidraw::HidrawBackend FakeHidrawBackend(std::function<std::vector<hid::DeviceInfo>()> enumerate,
                                        std::function<int(const std::string& node)> open) {
    hidraw::HidrawBackend backend;
    backend.enumerate = std::move(enumerate);
    backend.usbPort = [](const std::string&) { return std::string(); };
    backend.open = std::move(open);
    backend.describe = DescribeAsBoard;
    backend.warn = [](const std::string&) {};
    return backend;
}

} // namespace testsupport
