#include "stationwindow/RecordsPanel.h"

#include "check/RunStore.h"
#include "hid/GuiThread.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <utility>

namespace stationwindow {

RecordsPanel::RecordsPanel(check::RunStore& store, QWidget* parent)
    : QFrame(parent), store_(store), mailbox_(hid::GuiMailbox::create(*this)) {
    setObjectName("records");
    setFrameShape(QFrame::StyledPanel);
    auto* title = new QLabel("Line records", this);
    QFont font = title->font();
    font.setPixelSize(20);
    font.setBold(true);
    title->setFont(font);
    picture_ = new QLabel("Reading the records...", this);
    picture_->setObjectName("records picture");
    picture_->setTextFormat(Qt::PlainText);
    picture_->setWordWrap(true);
    picture_->setAlignment(Qt::AlignCenter);
    // The picture follows the panel's size, never the other way round.
    picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(picture_, 1);
    refresh();
}

RecordsPanel::~RecordsPanel() {
    mailbox_->close(); // a picture drawn from now on goes nowhere
}

void RecordsPanel::refresh() {
    // The store takes requests in turn: one more while one is under way would only queue
    // pictures already stale behind it.
    if (asking_) {
        askAgain_ = true;
        return;
    }
    asking_ = true;
    store_.drawPicture([this, mailbox = mailbox_](const QImage& picture, const QString& problem) {
        mailbox->post([this, picture, problem] { received(picture, problem); });
    });
}

void RecordsPanel::received(const QImage& picture, const QString& problem) {
    asking_ = false;
    shown_ = picture;
    if (picture.isNull()) {
        picture_->setPixmap({});
        picture_->setText(problem);
    } else {
        fitPicture();
    }
    if (std::exchange(askAgain_, false)) refresh();
}

void RecordsPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    fitPicture();
}

void RecordsPanel::fitPicture() {
    if (shown_.isNull()) return;
    picture_->setPixmap(QPixmap::fromImage(
        shown_.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace stationwindow
