#include "support/EventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace testsupport {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    QDeadlineTimer timer(deadline);
    QTimer wake; // keeps the blocking wait below from sleeping past the deadline
    wake.start(std::chrono::milliseconds(5));
    while (!done()) {
        if (timer.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void DrainEvents() {
    // Posted events may post more (a write answered by the board): drain until quiet.
    for (int round = 0; round < 8; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace testsupport
