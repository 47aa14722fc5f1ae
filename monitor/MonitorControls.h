#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace monitor {

/// The monitor's bottom bar: pause, the span shown, the two saves, and notes on the pause and
/// the latest save. Each button says what it does; the monitor does it.
class MonitorControls final : public QWidget {
    Q_OBJECT

public:
    explicit MonitorControls(QWidget* parent = nullptr);

    void showPausedNote(const QString& note);
    /// Where the latest save went, or why it failed where `error` is not empty.
    void showSaved(const QString& path, const QString& error);

signals:
    void pausedChanged(bool paused);
    void longSpanChanged(bool longSpan);
    void savePictureAsked();
    void saveSamplesAsked();

private:
    /// A checkable button that reads `off` or `on` by its state and emits `changed` with it.
    QPushButton* toggleButton(const char* name, const QString& off, const QString& on,
                              void (MonitorControls::*changed)(bool));

    QLabel* pausedNote_;
    QLabel* saveStatus_;
};

} // namespace monitor
