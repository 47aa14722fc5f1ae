#include "monitor/BoardMonitor.h"

#include "hid/DeviceManager.h"
#include "monitor/BoardPanel.h"
#include "monitor/ChartsPanel.h"
#include "monitor/MonitorControls.h"
#include "monitor/SamplesCsv.h"
#include "monitor/TimingPanel.h"
#include "monitor/TrafficPanel.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace monitor {

using hid::ReportDirection;

BoardMonitor::BoardMonitor(hid::DeviceManager& layer, BoardIds board, ClockSource clock,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), layer_(layer), board_(board), clock_(std::move(clock)),
      origin_(clock_()) {
    setWindowTitle(tr("Board monitor"));
    setObjectName("boardMonitor");
    // Closing the main window ends the program even while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    charts_ = new ChartsPanel(this);
    controls_ = new MonitorControls(this);
    left->addWidget(charts_, 1);
    left->addWidget(controls_);
    auto* details = new QWidget(this);
    details->setFixedWidth(DetailsWidth);
    auto* right = new QVBoxLayout(details);
    right->setContentsMargins(0, 0, 0, 0);
    boardPanel_ = new BoardPanel(details);
    traffic_ = new TrafficPanel(details);
    timing_ = new TimingPanel(details);
    right->addWidget(boardPanel_);
    right->addWidget(traffic_);
    right->addWidget(timing_);
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addWidget(details);

    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    frame_.setInterval(Frame);
    connect(&frame_, &QTimer::timeout, this, &BoardMonitor::refresh);
    figures_.setSingleShot(true);
    connect(&figures_, &QTimer::timeout, this, [this] {
        const Clock::time_point now = clock_();
        log_.expire(now);
        showFigures(now);
    });
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &BoardMonitor::refresh);

    connect(controls_, &MonitorControls::pausedChanged, this, &BoardMonitor::setPaused);
    connect(controls_, &MonitorControls::longSpanChanged, this, [this](bool longSpan) {
        span_ = longSpan ? LongSpan : ShortSpan;
        if (!paused_) changed();
    });
    connect(controls_, &MonitorControls::savePictureAsked, this, [this] {
        askWhereToSave(tr("Save the monitor's picture"), QStringLiteral("board-monitor.png"),
                       tr("PNG pictures (*.png)"), &BoardMonitor::savePicture);
    });
    connect(controls_, &MonitorControls::saveSamplesAsked, this, [this] {
        askWhereToSave(tr("Save the span's samples"), QStringLiteral("board-samples.csv"),
                       tr("CSV files (*.csv)"), &BoardMonitor::saveSamples);
    });

    layer_.addObserver(*this);
    layer_.addProblemObserver(*this);
    layer_.addDeviceListObserver(*this);
    refresh();
}

BoardMonitor::~BoardMonitor() {
    layer_.removeObserver(*this);
    layer_.removeProblemObserver(*this);
    layer_.removeDeviceListObserver(*this);
}

void BoardMonitor::record(ReportDirection direction, hid::Handle, const hid::Report& report) {
    log_.add(direction, report, clock_());
    changed();
}

void BoardMonitor::reportsLost(hid::Handle, std::uint64_t count) {
    log_.addLost(count);
    changed();
}

void BoardMonitor::deviceProblem(const hid::DeviceProblem& problem) {
    problems_[problem.node] = problem;
    boardChanged_ = true;
    changed();
}

void BoardMonitor::devicesChanged() {
    boardChanged_ = true;
    changed();
}

void BoardMonitor::changed() {
    if (!frame_.isActive()) frame_.start();
}

void BoardMonitor::refresh() {
    ++refreshCount_;
    const Clock::time_point now = clock_();
    log_.expire(now);
    if (boardChanged_) showBoard();
    if (paused_) {
        controls_->showPausedNote(
            tr("Paused: %1 reports since").arg(QLocale().toString(log_.total() - totalAtPause_)));
    } else {
        charts_->showSpan(log_, now - span_, now);
        const auto sinceFigures = std::chrono::milliseconds(sinceFigures_.elapsed());
        if (!sinceFigures_.isValid() || sinceFigures >= FiguresInterval)
            showFigures(now);
        else if (!figures_.isActive())
            figures_.start(FiguresInterval - sinceFigures);
    }
    // A request waiting for its answer turns into a miss at its deadline, report or none.
    if (const auto next = log_.timing().nextDeadline())
        deadline_.start(std::chrono::ceil<std::chrono::milliseconds>(*next - now) +
                        std::chrono::milliseconds(1));
    else
        deadline_.stop();
}

void BoardMonitor::showFigures(Clock::time_point now) {
    if (paused_) return;
    sinceFigures_.start();
    traffic_->showTraffic(log_.rates(now), log_.counts());
    timing_->showTiming(log_.timing(), now - span_);
    charts_->showStats(span_);
}

void BoardMonitor::showBoard() {
    boardChanged_ = false;
    const hid::Handle handle = layer_.GetHandle(board_.vendorId, board_.productId);
    boardPanel_->showBoard(handle, layer_.deviceInfo(handle), problems_);
}

void BoardMonitor::setPaused(bool paused) {
    paused_ = paused;
    figures_.stop();
    totalAtPause_ = log_.total();
    controls_->showPausedNote(paused ? tr("Paused") : QString());
    if (!paused) changed();
}

void BoardMonitor::askWhereToSave(const QString& title, const QString& suggestedName,
                                  const QString& filter,
                                  void (BoardMonitor::*save)(const QString&)) {
    auto* dialog = new QFileDialog(this, title, QDir::home().filePath(suggestedName), filter);
    dialog->setObjectName("saveDialog");
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, save](const QString& path) { (this->*save)(path); });
    dialog->open();
}

void BoardMonitor::savePicture(const QString& path) {
    const QImage picture = grab().toImage();
    saver_.save(
        path,
        [picture] {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "PNG");
            return png;
        },
        [this, path](const QString& error) { controls_->showSaved(path, error); });
}

void BoardMonitor::saveSamples(const QString& path) {
    saver_.save(
        path,
        [series = charts_->shownSeries(), origin = origin_] { return samplesCsv(series, origin); },
        [this, path](const QString& error) { controls_->showSaved(path, error); });
}

} // namespace monitor
