#pragma once

#include <QObject>
#include <string>

namespace check {

/// What an operator step asks for.
enum class OperatorQuestion {
    Confirm, ///< "done" (Enter) or "not done"
    YesNo,
    Text, ///< a text typed or scanned (a barcode scanner types it and ends it with Enter)
};

/// The operator's answer to one question.
struct OperatorAnswer {
    enum class Kind {
        Yes,  ///< confirmed, or yes
        No,   ///< refused, or no
        Text, ///< `text` is what was typed or scanned
        Gone, ///< the operator's input ended: nothing more will be answered
    };
    Kind kind = Kind::Gone;
    std::string text; ///< UTF-8
};

/// Someone who answers the plan's operator steps: the terminal (TerminalOperator), a station
/// window's buttons, or a test's script. Asking never waits: the answer comes later, by
/// answered(), on the event loop, so the board's reports keep being handled meanwhile.
class Operator : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// Why no one can answer ("standard input is not a terminal"); empty when someone can.
    virtual std::string unavailable() const = 0;
    /// Shows `text` (UTF-8, from the plan) and asks `question` of the board in the station's
    /// socket named `socket` (empty: the one board of a check); answered() tells the answer,
    /// once, unless withdraw() comes first.
    virtual void ask(OperatorQuestion question, const std::string& text,
                     const std::string& socket) = 0;
    /// The question asked is no longer asked: its step timed out, or the run ended.
    virtual void withdraw() = 0;

signals:
    void answered(const check::OperatorAnswer& answer);
};

} // namespace check
