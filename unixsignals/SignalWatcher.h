#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <string>

namespace unixsignals {

/// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the GUI thread, so the program can close
/// its window, or end a check or a board station, the ordinary way. A second one of them after
/// that takes the default action and ends the program at once. One instance per program.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    SignalWatcher();
    ~SignalWatcher() override;

signals:
    /// `signalNumber` is the first of them that came: SIGINT, SIGTERM or SIGHUP.
    void terminationRequested(int signalNumber);

private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

/// "SIGINT", "SIGTERM", "SIGHUP", or "signal N" for another.
std::string SignalName(int signalNumber);

} // namespace unixsignals
