#pragma once

#include "check/Operator.h"

#include <QTimer>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;

/// Answers the operator steps from a script, a moment after each question: an answer for each
/// question in turn, nothing (the question stays unanswered) for a missing one.
class ScriptedOperator final : public check::Operator {
public:
    using Answer = std::optional<check::OperatorAnswer>;
    explicit ScriptedOperator(std::vector<Answer> script, bool there = true)
        : script_(std::move(script)), there_(there) {}
    std::string unavailable() const override { return there_ ? "" : "no one is at the station"; }
    void ask(check::OperatorQuestion question, const std::string& text,
             const std::string& socket) override {
        asked.push_back({question, text});
        sockets.push_back(socket);
        const std::size_t number = asked.size();
        if (number > script_.size() || !script_[number - 1]) return;
        QTimer::singleShot(5ms, this, [this, number, answer = *script_[number - 1]] {
            if (asked.size() == number && withdrawn < number) emit answered(answer);
        });
    }
    void withdraw() override { withdrawn = asked.size(); }

    std::vector<std::pair<check::OperatorQuestion, std::string>> asked;
    std::vector<std::string> sockets; ///< of each question asked
    std::size_t withdrawn = 0;        ///< how many questions were asked when the last was withdrawn

private:
    const std::vector<Answer> script_;
    const bool there_;
};

} // namespace testsupport
