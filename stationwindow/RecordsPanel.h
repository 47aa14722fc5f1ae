#pragma once

#include <QFrame>
#include <QImage>
#include <memory>

class QLabel;

namespace check {
class RunStore;
}
namespace hid {
class GuiMailbox;
}

namespace stationwindow {

/// The line's records beside the sockets (--records): the picture `records --plot` draws, the
/// yield per day and the failing steps, scaled to the panel; or why the database cannot be
/// read, as plain text. Asks the store for a fresh picture at its start and at refresh(), one
/// at a time: the store draws it on its own thread and posts it here, so nothing waits on it.
class RecordsPanel final : public QFrame {
    Q_OBJECT

public:
    explicit RecordsPanel(check::RunStore& store, QWidget* parent = nullptr);
    ~RecordsPanel() override;

    /// Asks for the picture again: after one under way, when one is.
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void received(const QImage& picture, const QString& problem);
    void fitPicture();

    check::RunStore& store_;
    std::shared_ptr<hid::GuiMailbox> mailbox_;
    QLabel* picture_;
    QImage shown_;
    bool asking_ = false;
    bool askAgain_ = false;
};

} // namespace stationwindow
