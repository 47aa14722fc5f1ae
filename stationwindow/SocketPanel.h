#pragma once

#include "check/CheckRecord.h"
#include "hid/DeviceSource.h"

#include <QElapsedTimer>
#include <QFrame>
#include <chrono>
#include <optional>

class QLabel;
class QListWidget;

namespace stationwindow {

/// One socket of the station: its board's serial (and the label scanned for it), the step
/// running, each step's line (value, limits, outcome) as it comes, and at the end a verdict
/// filling most of the panel: PASS on green, FAIL on red, ERROR on amber, in a large bold
/// font, with the steps that did not pass, then "Unplug the board.". Its text follows its size:
/// a small panel, of a fixture of many boards, shows it smaller. Everything from the board and
/// the plan is shown as plain text.
class SocketPanel final : public QFrame {
    Q_OBJECT

public:
    SocketPanel(const QString& socket, const hid::DeviceInfo& board, QWidget* parent = nullptr);

    void stepStarted(const check::StepResult& step);
    void stepFinished(const check::StepResult& step);
    /// The check ended; `counted`: it is in the tally (else it was interrupted, or its records
    /// could not be written); `attached`: its board is still there, to be unplugged.
    void showVerdict(const check::CheckRecord& record, bool counted, bool attached = true);
    const QString& socket() const { return socket_; }
    /// For a board pulled before its verdict came, how long the verdict has been shown: the
    /// operator, who was not told to unplug it, may not have seen it yet. Nothing for any other.
    std::optional<std::chrono::milliseconds> pulledVerdictShownFor() const;

    /// The background of a verdict: green, red, amber; grey for a check that is not counted.
    static QColor VerdictColour(int exitCode, bool counted);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Sizes the text, the margins and the verdict word's share to the panel: as they are in
    /// a large panel, smaller in a small one.
    void fitContents();
    /// The notes as many lines as leave the verdict word most of the room: the first ones.
    void fitNotes();
    /// The verdict word's letters as large as its room holds.
    void fitVerdict();
    /// The socket, the serial and the label, each whole on a line where the line wraps; a
    /// serial or label longer than a line loses its middle, keeping both ends, where boards'
    /// numbers differ.
    void fitBoard();

    const QString socket_;
    const QString serial_;
    QString label_; ///< scanned, known at the verdict
    QLabel* board_;
    QLabel* running_;
    QListWidget* steps_;
    QFrame* verdict_;
    QLabel* word_;
    QLabel* notes_;
    QLabel* unplug_;
    std::optional<QElapsedTimer> pulledVerdictShown_;
};

} // namespace stationwindow
