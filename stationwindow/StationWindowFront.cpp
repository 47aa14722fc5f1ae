#include "stationwindow/StationWindowFront.h"

#include "check/StationSession.h"
#include "stationwindow/PromptPanel.h"
#include "stationwindow/StationWindow.h"

#include <QGuiApplication>
#include <csignal>

namespace stationwindow {
namespace {

class WindowFront final : public check::StationFront {
public:
    WindowFront() : person_(window_.prompt()) {}

    check::Operator& person() override { return person_; }
    void show(check::StationSession& station) override {
        window_.follow(station);
        // Closing the window ends the station as SIGTERM does: each check under way is
        // interrupted, its records written.
        QObject::connect(&window_, &StationWindow::closing, &station,
                         [&station] { station.stop(SIGTERM); });
        // The program ends when the station is done, not when its window closes: the checks
        // that were under way have their records to write first.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        window_.show();
    }

private:
    StationWindow window_;
    PromptOperator person_;
};

} // namespace

std::unique_ptr<check::StationFront> MakeStationWindow() {
    return std::make_unique<WindowFront>();
}

} // namespace stationwindow
