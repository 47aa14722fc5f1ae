#include "stationwindow/SocketPanel.h"

#include "check/CheckSession.h"
#include "check/ConsoleReport.h"
#include "hid/CodePage1252.h"
#include "stationwindow/PlainLabel.h"

#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace stationwindow {
namespace {

QString BoardText(const QString& socket, const hid::DeviceInfo& board) {
    const QString serial = hid::fromWindows1252(board.serialNumber);
    return socket + "   serial " + (serial.isEmpty() ? "(none)" : serial);
}

} // namespace

SocketPanel::SocketPanel(const QString& socket, const hid::DeviceInfo& board, QWidget* parent)
    : QFrame(parent) {
    setObjectName("socket " + socket);
    setFrameShape(QFrame::StyledPanel);
    board_ = PlainLabel(this, 24, true, "board");
    board_->setText(BoardText(socket, board));
    running_ = PlainLabel(this, 20, false, "running");
    steps_ = new QListWidget(this);
    steps_->setObjectName("steps");
    steps_->setFocusPolicy(Qt::NoFocus);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(15);
    steps_->setFont(mono);

    verdict_ = new QFrame(this);
    verdict_->setObjectName("verdict");
    verdict_->setAutoFillBackground(true);
    word_ = PlainLabel(verdict_, 96, true, "verdict word");
    word_->setAlignment(Qt::AlignCenter);
    word_->setWordWrap(false);
    notes_ = PlainLabel(verdict_, 20, true, "verdict notes");
    auto* unplug = PlainLabel(verdict_, 30, true, "unplug");
    unplug->setText("Unplug the board.");
    unplug->setAlignment(Qt::AlignCenter);
    auto* verdictLayout = new QVBoxLayout(verdict_);
    verdictLayout->addWidget(word_, 3);
    verdictLayout->addWidget(notes_, 1);
    verdictLayout->addWidget(unplug);
    verdict_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(board_);
    layout->addWidget(running_);
    layout->addWidget(steps_, 1);
    layout->addWidget(verdict_, 4);
}

void SocketPanel::stepStarted(const check::StepResult& step) {
    running_->setText("Running: " + QString::fromStdString(step.title()));
}

void SocketPanel::stepFinished(const check::StepResult& step) {
    steps_->addItem(QString::fromStdString(check::StepLine(step)));
    steps_->scrollToBottom();
}

QColor SocketPanel::VerdictColour(int exitCode, bool counted) {
    if (!counted) return QColor(0x75, 0x75, 0x75);
    return exitCode == check::AllPassed    ? QColor(0x1b, 0x7f, 0x2e)
           : exitCode == check::StepFailed ? QColor(0xc6, 0x28, 0x28)
                                           : QColor(0xff, 0xb3, 0x00);
}

void SocketPanel::showVerdict(const check::CheckRecord& record, bool counted) {
    const int exitCode = record.exitCode();
    if (!record.label.empty())
        board_->setText(board_->text() + "   label " + QString::fromStdString(record.label));
    running_->clear();
    steps_->hide();
    QStringList notes;
    for (const std::string& note : check::VerdictNotes(record))
        notes << QString::fromStdString(note);
    if (!counted) notes.prepend("not counted: the check was stopped, or its records not written");
    notes_->setText(notes.join('\n'));
    word_->setText(counted ? QString::fromStdString(check::VerdictWord(exitCode)) : "STOPPED");
    const QColor back = VerdictColour(exitCode, counted);
    QPalette palette = verdict_->palette();
    palette.setColor(QPalette::Window, back);
    // Black on amber, white on the rest: each as far from its ground as it gets.
    palette.setColor(QPalette::WindowText, back.lightness() > 140 ? Qt::black : Qt::white);
    verdict_->setPalette(palette);
    verdict_->show();
    fitVerdict();
}

void SocketPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitVerdict();
}

void SocketPanel::fitVerdict() {
    // As large as the panel allows: at 1366 x 768 with two sockets, letters some 150 px high.
    QFont font = word_->font();
    const int byWidth = width() * 10 / (std::max<int>(3, int(word_->text().size())) * 8);
    font.setPixelSize(std::clamp(std::min(byWidth, height() / 3), 24, 220));
    word_->setFont(font);
}

} // namespace stationwindow
