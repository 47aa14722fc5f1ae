#include "unixsignals/SignalWatcher.h"

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace unixsignals {

namespace {

int writeEnd = -1;

/// SIGHUP too: the terminal went (its window closed, an SSH connection dropped), which ends a
/// check as a Ctrl+C does rather than killing it before its teardown and its records.
constexpr int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

void SetAction(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No one of them interrupts the handler of another.
    for (const int signalNumber : HandledSignals)
        sigaddset(&action.sa_mask, signalNumber);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : HandledSignals)
        sigaction(signalNumber, &action, nullptr);
}

void onSignal(int signalNumber) {
    // Only async-signal-safe work here: the GUI thread does the rest.
    const int savedErrno = errno;
    // The next of them ends the program at once, so that one stuck in closing can
    // still be stopped.
    SetAction(SIG_DFL);
    const char byte = static_cast<char>(signalNumber); // each fits in a byte
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
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signalNumber);
    }
}

} // namespace unixsignals
