#pragma once

#include "hidraw/HidrawBackend.h"

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

/// How the socket pair standing for a hidraw node behaves.
struct NodeTraits {
    /// hidraw's write waits for the board whatever O_NONBLOCK says: a blocking pair stands for
    /// that.
    bool blockingWrites = false;
    /// The console end's send buffer in bytes, 0 for the system's. A small one makes a board
    /// that stops reading block the console's writes soon.
    int sendBuffer = 0;
};

/// Makes an AF_UNIX SOCK_SEQPACKET pair standing for a hidraw node (a datagram a report, as a
/// node hands them out). Answers the console's end, as HidrawBackend::open does, and puts the
/// board's end in `boardEnd`; on failure answers -errno and leaves `boardEnd` alone.
int OpenFakeHidrawNode(int& boardEnd, NodeTraits traits = {});

/// A backend that lists what `enumerate` answers, on no USB port, and opens nodes with `open`.
/// Every open node answers the identity ioctls as the board (a socket pair cannot), and
/// warnings are dropped.
hidraw::HidrawBackend FakeHidrawBackend(std::function<std::vector<hid::DeviceInfo>()> enumerate,
                                        std::function<int(const std::string& node)> open);

} // namespace testsupport
