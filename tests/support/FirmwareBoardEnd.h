#pragma once

#include <QSocketNotifier>
#include <cstddef>
#include <cstdint>

namespace testsupport {

/// The board's end of a fake hidraw node, watched from the GUI thread: answers A/D and input
/// requests as the firmware does, unless told to keep quiet. Closes the end when it goes.
class FirmwareBoardEnd {
public:
    explicit FirmwareBoardEnd(int fd);
    ~FirmwareBoardEnd();
    FirmwareBoardEnd(const FirmwareBoardEnd&) = delete;
    FirmwareBoardEnd& operator=(const FirmwareBoardEnd&) = delete;

    bool quiet = false;
    std::uint8_t adValue = 0;
    int requests = 0;

    int fd() const { return fd_; }

    /// The console's reports waiting in the socket, unread: 33 bytes each, the id and 32.
    int waitingRequests() const;

    /// One report from the board; false when its socket is full.
    bool send(const std::uint8_t* data, std::size_t length);

    /// Reads every request waiting and answers those that want an answer.
    void serve();

private:
    int fd_;
    QSocketNotifier notifier_;
};

} // namespace testsupport
