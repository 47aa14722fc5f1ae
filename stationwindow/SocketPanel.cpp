#include "stationwindow/SocketPanel.h"

#include "check/CheckSession.h"
#include "check/ConsoleReport.h"
#include "hid/CodePage1252.h"
#include "stationwindow/PlainLabel.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace stationwindow {
namespace {

// A panel of this size or larger shows its text at full size; a smaller one, smaller in
// proportion, down to SmallestText: a fixture of many boards has small panels.
constexpr QSize FullSizePanel{420, 300};
constexpr int SmallestText = 12; // the serial still reads at arm's length
constexpr int BoardPixels = 24;
constexpr int RunningPixels = 20;
constexpr int StepPixels = 15;
constexpr int NotesPixels = 20;
constexpr int UnplugPixels = 30;
// A layout's usual margins and spacing, tightened with the text.
constexpr int Margin = 9;
constexpr int Spacing = 6;
constexpr int LargestWord = 220;
// The most of the height the verdict word and its notes share that the notes take, in whole
// lines: the word has the rest.
constexpr int NotesShare = 35; // percent

void SetPixelSize(QWidget* widget, int pixels) {
    QFont font = widget->font();
    font.setPixelSize(pixels);
    widget->setFont(font);
}

} // namespace

SocketPanel::SocketPanel(const QString& socket, const hid::DeviceInfo& board, QWidget* parent)
    : QFrame(parent), socket_(socket), serial_(hid::fromWindows1252(board.serialNumber)) {
    setObjectName("socket " + socket);
    setFrameShape(QFrame::StyledPanel);
    board_ = PlainLabel(this, BoardPixels, true, "board");
    running_ = PlainLabel(this, RunningPixels, false, "running");
    steps_ = new QListWidget(this);
    steps_->setObjectName("steps");
    steps_->setFocusPolicy(Qt::NoFocus);
    steps_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored); // it scrolls
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(StepPixels);
    steps_->setFont(mono);

    verdict_ = new QFrame(this);
    verdict_->setObjectName("verdict");
    verdict_->setAutoFillBackground(true);
    word_ = PlainLabel(verdict_, LargestWord, true, "verdict word");
    word_->setAlignment(Qt::AlignCenter);
    word_->setWordWrap(false);
    // The word takes the room left to it and fits its letters to that, never the other way.
    word_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    word_->installEventFilter(this);
    verdict_->installEventFilter(this);
    notes_ = PlainLabel(verdict_, NotesPixels, true, "verdict notes");
    notes_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    unplug_ = PlainLabel(verdict_, UnplugPixels, true, "unplug");
    unplug_->setText("Unplug the board.");
    unplug_->setAlignment(Qt::AlignCenter);
    auto* verdictLayout = new QVBoxLayout(verdict_);
    verdictLayout->addWidget(word_, 1);
    verdictLayout->addWidget(notes_);
    verdictLayout->addWidget(unplug_);
    verdict_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(board_);
    layout->addWidget(running_);
    layout->addWidget(steps_, 1);
    layout->addWidget(verdict_, 4);
    fitBoard();
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

void SocketPanel::showVerdict(const check::CheckRecord& record, bool counted, bool attached) {
    const int exitCode = record.exitCode();
    label_ = QString::fromStdString(record.label);
    fitBoard();
    running_->hide();
    steps_->hide();
    QStringList notes;
    for (const std::string& note : check::VerdictNotes(record))
        notes << QString::fromStdString(note);
    if (!counted) notes.prepend("not counted: the check was stopped, or its records not written");
    notes_->setText(notes.join('\n'));
    notes_->setVisible(!notes.isEmpty());
    word_->setText(counted ? QString::fromStdString(check::VerdictWord(exitCode)) : "STOPPED");
    const QColor back = VerdictColour(exitCode, counted);
    QPalette palette = verdict_->palette();
    palette.setColor(QPalette::Window, back);
    // Black on amber, white on the rest: each as far from its ground as it gets.
    palette.setColor(QPalette::WindowText, back.lightness() > 140 ? Qt::black : Qt::white);
    verdict_->setPalette(palette);
    verdict_->show();
    fitVerdict();
    unplug_->setVisible(attached);
    if (!attached) pulledVerdictShown_.emplace().start();
}

std::optional<std::chrono::milliseconds> SocketPanel::pulledVerdictShownFor() const {
    if (!pulledVerdictShown_) return std::nullopt;
    return std::chrono::milliseconds(pulledVerdictShown_->elapsed());
}

void SocketPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitContents();
}

bool SocketPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize) {
        if (watched == word_) fitVerdict();
        if (watched == verdict_) fitNotes();
    }
    return QFrame::eventFilter(watched, event);
}

void SocketPanel::fitContents() {
    const double scale = std::min(
        {1.0, double(width()) / FullSizePanel.width(), double(height()) / FullSizePanel.height()});
    const auto scaled = [scale](int pixels) {
        return std::max(SmallestText, int(std::lround(pixels * scale)));
    };
    SetPixelSize(board_, scaled(BoardPixels));
    SetPixelSize(running_, scaled(RunningPixels));
    SetPixelSize(steps_, scaled(StepPixels));
    SetPixelSize(notes_, scaled(NotesPixels));
    SetPixelSize(unplug_, scaled(UnplugPixels));
    const int margin = std::max(2, int(std::lround(Margin * scale)));
    const int spacing = std::max(2, int(std::lround(Spacing * scale)));
    for (QLayout* each : {layout(), verdict_->layout()}) {
        each->setContentsMargins(margin, margin, margin, margin);
        each->setSpacing(spacing);
    }
    fitBoard();
    fitNotes();
}

void SocketPanel::fitBoard() {
    const QMargins margins = layout()->contentsMargins();
    const int room = contentsRect().width() - margins.left() - margins.right();
    const QFontMetrics metrics(board_->font());
    // The serial takes what the socket leaves of the first line, the label what its word leaves
    // of a second: two lines at most, however long both are.
    const auto fitted = [&](const QString& lead, const QString& text) {
        const int left = std::max(room - metrics.horizontalAdvance(lead), room / 2);
        return lead + metrics.elidedText(text, Qt::ElideMiddle, left);
    };
    QString text = fitted(socket_ + "   serial ", serial_.isEmpty() ? "(none)" : serial_);
    if (!label_.isEmpty()) text += "   " + fitted("label ", label_);
    board_->setText(text);
}

void SocketPanel::fitNotes() {
    const int line = notes_->fontMetrics().lineSpacing();
    const int shared = word_->height() + notes_->height(); // the word takes what the notes leave
    notes_->setMaximumHeight(shared * NotesShare / 100 / line * line);
}

void SocketPanel::fitVerdict() {
    // As large as the word's room allows: at 1366 x 768 with two sockets, letters some 200 px
    // high; in a panel of a fixture of 20, some 60.
    const QString word = word_->text();
    // A twentieth of the width left clear: the letters stand off the edges of their ground.
    const QSize room(word_->contentsRect().width() * 19 / 20, word_->contentsRect().height());
    if (word.isEmpty() || room.isEmpty()) return;
    QFont font = word_->font();
    font.setPixelSize(LargestWord);
    const QFontMetrics largest(font);
    int pixels =
        std::min({LargestWord, LargestWord * room.width() / largest.horizontalAdvance(word),
                  LargestWord * room.height() / largest.height()});
    // Hinting keeps the letters from growing quite in proportion: smaller until they fit.
    for (; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(word) <= room.width() && metrics.height() <= room.height())
            break;
    }
    font.setPixelSize(std::max(pixels, 1));
    word_->setFont(font);
}

} // namespace stationwindow
