#pragma once

#include "check/Console.h"
#include "check/Operator.h"

#include <QSocketNotifier>
#include <optional>
#include <string>

namespace check {

/// The operator at the terminal: a question is printed on standard output, its answer read
/// from the terminal line by line as it comes (a QSocketNotifier, never a blocking read).
/// A station's question starts with its socket's name in brackets. Enter confirms a prompt and "n"
/// refuses it; an ask takes y/yes or n/no; a scan takes the line as it is. What was typed before a
/// question is asked is thrown away, so that a key pressed early never answers it. Standard input
/// that is not a terminal has no operator.
class TerminalOperator final : public Operator {
    Q_OBJECT

public:
    /// Reads from `fd` and asks on `console` (standard input and output by default).
    explicit TerminalOperator(int fd = 0, Console& console = Console::standard());

    std::string unavailable() const override;
    void ask(OperatorQuestion question, const std::string& text,
             const std::string& socket) override;
    void withdraw() override;

private:
    /// The question is over: its line ends, and the console's other lines go on below it.
    void endQuestion();
    void readable();
    void line(std::string text);

    const int fd_;
    Console& console_;
    const bool terminal_;
    std::optional<QSocketNotifier> notifier_;
    std::string pending_; ///< bytes read after the last line's end
    std::optional<OperatorQuestion> asked_;
    std::string question_; ///< the question asked, as shown
    bool ended_ = false;   ///< the terminal's input ended (Ctrl+D)
};

} // namespace check
