#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <string>

namespace unixsignals {

/// Turns SIGINT and SIGTERM into a Qt signal on the GUI thread, so the program can close its
/// window, or end a board station, the ordinary way. A second SIGINT or SIGTERM after that takes
/// the default action and ends the program at once. One instance per program.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    SignalWatcher();
    ~SignalWatcher() override;

signals:
    /// `signalNumber` is the first of them that came: SIGINT or SIGTERM.
    void terminationRequested(int signalNumber);

private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

/// "SIGINT", "SIGTERM", or "signal N" for another.
std::string SignalName(int signalNumber);

} // namespace unixsignals
