#include "support/FirmwareBoardEnd.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

FirmwareBoardEnd::FirmwareBoardEnd(int fd) : fd_(fd), notifier_(fd, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { serve(); });
}

FirmwareBoardEnd::~FirmwareBoardEnd() {
    notifier_.setEnabled(false);
    ::close(fd_);
}

int FirmwareBoardEnd::waitingRequests() const {
    int bytes = 0;
    return ::ioctl(fd_, FIONREAD, &bytes) == 0 ? bytes / 33 : -1;
}

bool FirmwareBoardEnd::send(const std::uint8_t* data, std::size_t length) {
    return ::send(fd_, data, length, MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(length);
}

void FirmwareBoardEnd::serve() {
    if (quiet) return;
    std::uint8_t request[64];
    ssize_t length;
    while ((length = ::recv(fd_, request, sizeof request, MSG_DONTWAIT)) > 0) {
        ++requests;
        if (length < 2 || request[1] != 4) continue;
        std::uint8_t answer[32] = {4};
        answer[18] = adValue; // index 19 once the report id is put in front
        send(answer, sizeof answer);
    }
}

} // namespace testsupport
