#pragma once

#include "check/Operator.h"

#include <QFrame>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace stationwindow {

/// The operator's question, large, across the station window, worked with the keyboard alone:
/// Enter confirms (done, yes, or the text typed or scanned into its field), Esc refuses (not
/// done, no, or gives a scan up with no text). The buttons do the same for a mouse. Hidden
/// while nothing is asked. The plan's text and the socket's name are shown as plain text.
class PromptPanel final : public QFrame {
    Q_OBJECT

public:
    explicit PromptPanel(QWidget* parent = nullptr);

    void ask(check::OperatorQuestion question, const QString& text, const QString& socket);
    void withdraw();

signals:
    /// A question for `socket` is shown (empty: for no socket in particular).
    void asked(const QString& socket);
    void answered(const check::OperatorAnswer& answer);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void answer(bool yes);

    QLabel* socket_;
    QLabel* question_;
    QLineEdit* field_;
    QPushButton* yes_;
    QPushButton* no_;
    std::optional<check::OperatorQuestion> asked_;
};

/// The operator at the station window: asks through a PromptPanel.
class PromptOperator final : public check::Operator {
    Q_OBJECT

public:
    explicit PromptOperator(PromptPanel& panel);

    std::string unavailable() const override { return {}; }
    void ask(check::OperatorQuestion question, const std::string& text,
             const std::string& socket) override;
    void withdraw() override;

private:
    PromptPanel& panel_;
};

} // namespace stationwindow
