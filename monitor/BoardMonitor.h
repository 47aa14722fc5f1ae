#pragma once

#include "hid/DeviceListObserver.h"
#include "hid/DeviceManager.h"
#include "hid/DeviceProblem.h"
#include "hid/ReportObserver.h"
#include "monitor/BackgroundSave.h"
#include "monitor/ReportLog.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <map>

namespace monitor {

class BoardPanel;
class ChartsPanel;
class MonitorControls;
class TimingPanel;
class TrafficPanel;

/// "Board monitor": a window of its own that shows what the board does over time: its A/D
/// readings as a strip chart, its input bits and the port D byte the console wrote as logic
/// lanes, the traffic by command code, how fast each request is answered, and the board's
/// details or why it cannot be used.
///
/// It only listens to the HID layer; it never sends a report and never touches the main window.
/// Reports are taken in as they come and the window is redrawn at most once a frame, only while
/// something changed. Pause freezes the picture; the reports go on being counted.
class BoardMonitor final : public QWidget,
                           private hid::ReportObserver,
                           private hid::DeviceProblemObserver,
                           private hid::DeviceListObserver {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds Frame{16};
    /// The numbers change at most this often: faster is no easier to read, and costs more.
    static constexpr std::chrono::milliseconds FiguresInterval{250};
    static constexpr std::chrono::seconds ShortSpan{10};
    static constexpr std::chrono::seconds LongSpan{60};
    /// The width of the column beside the charts: board, traffic and timing.
    static constexpr int DetailsWidth = 470;

    /// The board shown is the one the console talks to: the earliest attached with these ids.
    struct BoardIds {
        int vendorId;
        int productId;
    };

    /// Starts listening to `layer`, which must outlive the monitor.
    BoardMonitor(hid::DeviceManager& layer, BoardIds board, ClockSource clock = Clock::now,
                 QWidget* parent = nullptr);
    ~BoardMonitor() override;

    /// How often the monitor has taken in what changed.
    int refreshCount() const { return refreshCount_; }
    /// Something changed that is not shown yet; it will be at the next frame.
    bool refreshPending() const { return frame_.isActive() || figures_.isActive(); }

private:
    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override;
    void reportsLost(hid::Handle handle, std::uint64_t count) override;
    void deviceProblem(const hid::DeviceProblem& problem) override;
    void devicesChanged() override;

    void changed();
    void refresh();
    /// The traffic, timing and A/D figures; what expired by `now` is already forgotten.
    void showFigures(Clock::time_point now);
    void showBoard();
    void setPaused(bool paused);
    void askWhereToSave(const QString& title, const QString& suggestedName, const QString& filter,
                        void (BoardMonitor::*save)(const QString&));
    void savePicture(const QString& path);
    void saveSamples(const QString& path);

    hid::DeviceManager& layer_;
    BoardIds board_;
    ClockSource clock_;
    Clock::time_point origin_;
    ReportLog log_;
    std::map<std::string, hid::DeviceProblem> problems_; // the latest per node
    bool boardChanged_ = true;
    bool paused_ = false;
    std::uint64_t totalAtPause_ = 0;
    std::chrono::seconds span_ = ShortSpan;
    int refreshCount_ = 0;

    ChartsPanel* charts_;
    BoardPanel* boardPanel_;
    TrafficPanel* traffic_;
    TimingPanel* timing_;
    MonitorControls* controls_;

    QTimer frame_;
    QTimer figures_;
    QElapsedTimer sinceFigures_;
    QTimer deadline_;
    BackgroundSave saver_;
};

} // namespace monitor
