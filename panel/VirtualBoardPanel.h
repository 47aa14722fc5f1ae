#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace board {
class VirtualBoard;
}

namespace panel {

/// A small window, "Virtual board", that shows and drives the board's side: whether it is
/// plugged in, its A/D input and eight input bits, its answer text, and what the console last
/// told it (port D, text, clock text, loop flag), with the counts of reports both ways.
///
/// The board may change a hundred times a second while the console polls it: the panel
/// redraws at most once per RefreshInterval. It never keeps the program running on its own.
class VirtualBoardPanel final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds RefreshInterval{50};

    /// `board` must outlive the panel.
    explicit VirtualBoardPanel(board::VirtualBoard& board, QWidget* parent = nullptr);
    ~VirtualBoardPanel() override;

    /// How often the panel has redrawn from the board's state.
    int refreshCount() const { return refreshCount_; }

private:
    void scheduleRefresh();
    void refresh();
    void inputBitToggled();

    board::VirtualBoard& board_;
    QCheckBox* plugged_;
    QSlider* adSlider_;
    QLabel* adValue_;
    std::array<QCheckBox*, 8> inputBits_{};
    std::array<QLabel*, 8> portDLamps_{};
    QLabel* lastText_;
    QLabel* lastClockText_;
    QLineEdit* answerText_;
    QLabel* loopFlag_;
    QLabel* reportsIn_;
    QLabel* reportsOut_;
    QTimer refreshTimer_;
    int refreshCount_ = 0;
};

} // namespace panel
