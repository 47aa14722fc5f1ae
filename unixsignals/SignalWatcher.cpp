#include "unixsignals/SignalWatcher.h"

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace unixsignals {

namespace {

int writeEnd = -1;

void SetAction(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Neither signal interrupts the handler of the other.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void onSignal(int signalNumber) {
    // Only async-signal-safe work here: the GUI thread does the rest.
    const int savedErrno = errno;
    // The next SIGINT or SIGTERM ends the program at once, so that one stuck in closing can
    // still be stopped.
    SetAction(SIG_DFL);
    const char byte = static_cast<char>(signalNumber); // SIGINT and SIGTERM fit in a byte
    [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalWatcher::SignalWatcher() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    writeEnd = fds_[0];
    notifier_ = new QSocketNotifier(fds_[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        int first = 0;
        while (::read(fds_[1], buffer, sizeof buffer) > 0)
            if (first == 0) first = static_cast<unsigned char>(buffer[0]);
        if (first != 0) emit terminationRequested(first);
    });
    SetAction(onSignal);
}

SignalWatcher::~SignalWatcher() {
    SetAction(SIG_DFL);
    writeEnd = -1;
    if (fds_[0] >= 0) {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
}

std::string SignalName(int signalNumber) {
    switch (signalNumber) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "signal " + std::to_string(signalNumber);
    }
}

} // namespace unixsignals
