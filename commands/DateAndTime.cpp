#include "protocol/DateAndTimeText.h"
#include "window/MainForm.h"

namespace window {

QString MainForm::fncDateAndTime() const {
    // One reading for both: two could pair one day's date with the next day's midnight.
    const QDateTime now = clock_();
    return protocol::DateAndTimeText(QLocale(), now.date(), now.time());
}

} // namespace window
