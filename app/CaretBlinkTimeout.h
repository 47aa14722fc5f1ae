#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace app {

/// Stops the text cursor blinking once nobody has typed, clicked or scrolled for a while, as
/// desktops do (GNOME after 10 s): the cursor then stays shown, and no timer runs while the
/// console sits idle. The next key, click or scroll makes it blink again. The blink rate is
/// the application's, so this holds for every window of the program.
class CaretBlinkTimeout final : public QObject {
public:
    static constexpr std::chrono::milliseconds DefaultTimeout{10000};

    /// Watches the application's input from now on; the cursor blinks until `timeout` has
    /// passed without any.
    explicit CaretBlinkTimeout(std::chrono::milliseconds timeout = DefaultTimeout);
    /// Leaves the cursor blinking.
    ~CaretBlinkTimeout() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rest();

    int flashTime_; ///< the blink period the platform gave, in ms
    QTimer timeout_;
};

} // namespace app
