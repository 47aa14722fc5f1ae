#pragma once

#include "check/StationSession.h"
#include "stationwindow/FirstPassYield.h"

#include <QWidget>
#include <chrono>
#include <map>

class QHBoxLayout;
class QLabel;

namespace stationwindow {

class PromptPanel;
class RecordsPanel;
class SocketGrid;
class SocketPanel;

/// The station for an operator: the plan and the station at the top, the question being asked,
/// a panel for each socket holding a board (SocketPanel) in a grid that fits the window
/// however many there are (SocketGrid), with the line's records beside them
/// when the runs go to a database (RecordsPanel), and the tally with the first-pass yield
/// always in view at the bottom. Follows a StationSession by its signals; never waits on
/// it. Closing the window asks the station to stop, as SIGTERM does.
class StationWindow final : public QWidget {
    Q_OBJECT

public:
    /// The verdict of a board pulled during its check stays in view this long after it came,
    /// unless the next board takes its socket first: the operator was not told to unplug it,
    /// and may not have seen it yet.
    static constexpr std::chrono::milliseconds VerdictShown{5000};

    explicit StationWindow(QWidget* parent = nullptr);

    PromptPanel& prompt() { return *prompt_; }
    /// Shows `station` from now on.
    void follow(check::StationSession& station);

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void opened(hid::Handle socket, const QString& name, const hid::DeviceInfo& board);
    void closed(hid::Handle socket);
    /// Takes the panel of a socket whose board left out of the window.
    void drop(SocketPanel* panel);
    /// Scrolls the panel of the socket a question is for into view: the operator sees the
    /// board that asks.
    void asked(const QString& socket);
    void verdict(hid::Handle socket, const check::CheckRecord& record, bool counted, bool attached);
    void showTally();

    check::StationSession* station_ = nullptr;
    QLabel* plan_;
    PromptPanel* prompt_;
    QLabel* waiting_;
    SocketGrid* sockets_;
    QHBoxLayout* body_; ///< the sockets, and the records beside them
    RecordsPanel* records_ = nullptr;
    QLabel* tally_;
    std::map<hid::Handle, SocketPanel*> panels_;
    /// By socket name: the panels whose boards left while their verdicts stay in view.
    std::map<QString, SocketPanel*> lingering_;
    FirstPassYield yield_;
};

} // namespace stationwindow
