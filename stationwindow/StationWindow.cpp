#include "stationwindow/StationWindow.h"

#include "check/CheckSession.h"
#include "check/ConsoleReport.h"
#include "hid/CodePage1252.h"
#include "stationwindow/PlainLabel.h"
#include "stationwindow/PromptPanel.h"
#include "stationwindow/RecordsPanel.h"
#include "stationwindow/SocketGrid.h"
#include "stationwindow/SocketPanel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace stationwindow {
StationWindow::StationWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle("ZOV-USB test station");
    plan_ = PlainLabel(this, 20, false, "plan");
    prompt_ = new PromptPanel(this);
    connect(prompt_, &PromptPanel::asked, this, &StationWindow::asked);
    waiting_ = PlainLabel(this, 40, true, "waiting");
    waiting_->setText("Waiting for a board...");
    waiting_->setAlignment(Qt::AlignCenter);
    tally_ = PlainLabel(this, 28, true, "tally");
    sockets_ = new SocketGrid(this);
    sockets_->hide();
    auto* socketArea = new QWidget(this);
    auto* socketLayout = new QVBoxLayout(socketArea);
    socketLayout->setContentsMargins(0, 0, 0, 0);
    socketLayout->addWidget(waiting_);
    socketLayout->addWidget(sockets_);
    body_ = new QHBoxLayout;
    body_->addWidget(socketArea, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plan_);
    layout->addWidget(prompt_);
    layout->addLayout(body_, 1);
    layout->addWidget(tally_);
    showTally();
    // Room for two sockets side by side and for 20 in a grid, within the smallest screen a station
    // has (1366 x 768) with a desktop's panel and the window's title bar: the tally stays in view.
    QSize size(1300, 680);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
}

void StationWindow::follow(check::StationSession& station) {
    station_ = &station;
    const check::Provenance& provenance = station.provenance();
    QString plan = "Plan: " + QString::fromStdString(station.plan().name) + " (" +
                   QString::fromStdString(check::StepCount(station.plan())) + ")";
    if (provenance.stationId)
        plan += "   Station: " + QString::fromStdString(*provenance.stationId);
    if (provenance.operatorName)
        plan += "   Operator: " + QString::fromStdString(*provenance.operatorName);
    plan += "   Records: " + station.records().path();
    plan_->setText(plan);
    if (check::RunStore* store = station.store()) {
        records_ = new RecordsPanel(*store, this);
        body_->addWidget(records_, 1);
    }
    connect(&station, &check::StationSession::socketOpened, this, &StationWindow::opened);
    connect(&station, &check::StationSession::socketClosed, this, &StationWindow::closed);
    connect(&station, &check::StationSession::stepStarted, this,
            [this](hid::Handle socket, const check::StepResult& step) {
                if (const auto it = panels_.find(socket); it != panels_.end())
                    it->second->stepStarted(step);
            });
    connect(&station, &check::StationSession::stepFinished, this,
            [this](hid::Handle socket, const check::StepResult& step) {
                if (const auto it = panels_.find(socket); it != panels_.end())
                    it->second->stepFinished(step);
            });
    connect(&station, &check::StationSession::verdict, this, &StationWindow::verdict);
}

void StationWindow::opened(hid::Handle socket, const QString& name, const hid::DeviceInfo& board) {
    if (const auto left = lingering_.find(name); left != lingering_.end()) drop(left->second);
    auto* panel = new SocketPanel(name, board);
    panels_[socket] = panel;
    sockets_->add(panel, name);
    waiting_->hide();
    sockets_->show();
}

void StationWindow::closed(hid::Handle socket) {
    const auto it = panels_.find(socket);
    if (it == panels_.end()) return;
    SocketPanel* panel = it->second;
    panels_.erase(it);
    const auto shown = panel->pulledVerdictShownFor();
    const bool taken = std::ranges::any_of(panels_, [panel](const auto& each) {
        return each.second->socket() == panel->socket();
    }); // the next board is in the socket already
    if (!shown || *shown >= VerdictShown || taken) return drop(panel);
    if (const auto earlier = lingering_.find(panel->socket()); earlier != lingering_.end())
        drop(earlier->second);
    lingering_[panel->socket()] = panel;
    QTimer::singleShot(VerdictShown - *shown, panel, [this, panel] { drop(panel); });
}

void StationWindow::drop(SocketPanel* panel) {
    std::erase_if(lingering_, [panel](const auto& each) { return each.second == panel; });
    sockets_->remove(panel);
    const bool none = panels_.empty() && lingering_.empty();
    waiting_->setVisible(none);
    sockets_->setVisible(!none);
}

void StationWindow::asked(const QString& socket) {
    for (const auto& [handle, panel] : panels_)
        if (panel->socket() == socket) sockets_->bringIntoView(panel);
}

void StationWindow::verdict(hid::Handle socket, const check::CheckRecord& record, bool counted,
                            bool attached) {
    if (counted)
        yield_.add(hid::fromWindows1252(record.board.serialNumber).toStdString(),
                   record.exitCode() == check::AllPassed);
    if (const auto it = panels_.find(socket); it != panels_.end())
        it->second->showVerdict(record, counted, attached);
    showTally();
    // The store took the run before the verdict came: the picture asked now includes it.
    if (records_) records_->refresh();
}

void StationWindow::showTally() {
    const check::StationTally tally = station_ ? station_->tally() : check::StationTally{};
    tally_->setText(QString::fromStdString(check::TallyLine(tally)).trimmed() + "   " +
                    QString::fromStdString(yield_.text()));
}

void StationWindow::closeEvent(QCloseEvent* event) {
    emit closing();
    QWidget::closeEvent(event);
}

} // namespace stationwindow
