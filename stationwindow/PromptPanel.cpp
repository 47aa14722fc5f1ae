#include "stationwindow/PromptPanel.h"

#include "stationwindow/PlainLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace stationwindow {
namespace {

QFont Sized(QFont font, int pixels, bool bold) {
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

PromptPanel::PromptPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("prompt");
    setFrameShape(QFrame::Box);
    setLineWidth(3);
    setFocusPolicy(Qt::StrongFocus);
    socket_ = PlainLabel(this, 22, true);
    question_ = PlainLabel(this, 34, true);
    question_->setObjectName("question");
    field_ = new QLineEdit(this);
    field_->setObjectName("scanned");
    field_->setFont(Sized(field_->font(), 30, false));
    yes_ = new QPushButton(this);
    no_ = new QPushButton(this);
    for (QPushButton* button : {yes_, no_}) {
        button->setFont(Sized(button->font(), 26, true));
        button->setMinimumHeight(64);
        button->setFocusPolicy(Qt::NoFocus); // the keys answer, whatever has the focus
    }
    connect(yes_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(no_, &QPushButton::clicked, this, [this] { answer(false); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(yes_, 2);
    buttons->addWidget(no_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(socket_);
    layout->addWidget(question_);
    layout->addWidget(field_);
    layout->addLayout(buttons);
    hide();
}

void PromptPanel::ask(check::OperatorQuestion question, const QString& text,
                      const QString& socket) {
    using check::OperatorQuestion;
    asked_ = question;
    socket_->setText(socket.isEmpty() ? QString() : "Socket " + socket);
    question_->setText(text);
    field_->clear(); // what was typed before the question answers nothing
    field_->setVisible(question == OperatorQuestion::Text);
    yes_->setText(question == OperatorQuestion::Confirm ? "Done  [Enter]"
                  : question == OperatorQuestion::YesNo ? "Yes  [Enter]"
                                                        : "OK  [Enter]");
    no_->setText(question == OperatorQuestion::Confirm ? "Cannot be done  [Esc]"
                 : question == OperatorQuestion::YesNo ? "No  [Esc]"
                                                       : "Give up  [Esc]");
    show();
    if (question == OperatorQuestion::Text)
        field_->setFocus();
    else
        setFocus();
    emit asked(socket);
}

void PromptPanel::withdraw() {
    asked_.reset();
    hide();
}

void PromptPanel::keyPressEvent(QKeyEvent* event) {
    // The field lets Enter and Esc through to here, as a line edit does. A key held down
    // answers once: its repeats would answer the next socket's question, unread.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return event->isAutoRepeat() ? void() : answer(true);
    case Qt::Key_Escape:
        return event->isAutoRepeat() ? void() : answer(false);
    default:
        QFrame::keyPressEvent(event);
    }
}

void PromptPanel::answer(bool yes) {
    if (!asked_) return;
    using Kind = check::OperatorAnswer::Kind;
    const bool text = *asked_ == check::OperatorQuestion::Text;
    check::OperatorAnswer given{yes ? (text ? Kind::Text : Kind::Yes) : Kind::No,
                                yes && text ? field_->text().toStdString() : std::string()};
    withdraw();
    emit answered(given);
}

PromptOperator::PromptOperator(PromptPanel& panel) : panel_(panel) {
    connect(&panel_, &PromptPanel::answered, this, &Operator::answered);
}

void PromptOperator::ask(check::OperatorQuestion question, const std::string& text,
                         const std::string& socket) {
    panel_.ask(question, QString::fromStdString(text), QString::fromStdString(socket));
}

void PromptOperator::withdraw() {
    panel_.withdraw();
}

} // namespace stationwindow
