#include "check/TerminalOperator.h"

#include "check/ConsoleReport.h"
#include "hid/TerminalText.h"

#include <cerrno>
#include <termios.h>
#include <unistd.h>

namespace check {
namespace {

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

} // namespace

TerminalOperator::TerminalOperator(int fd, Console& console)
    : fd_(fd), console_(console), terminal_(isatty(fd) == 1) {
    if (!terminal_) return;
    notifier_.emplace(fd_, QSocketNotifier::Read);
    notifier_->setEnabled(false); // read only while a question is asked
    connect(&*notifier_, &QSocketNotifier::activated, this, &TerminalOperator::readable);
}

void TerminalOperator::endQuestion() {
    asked_.reset();
    if (notifier_) notifier_->setEnabled(false);
    console_.answered();
}

std::string TerminalOperator::unavailable() const {
    if (!terminal_) return "standard input is not a terminal";
    if (ended_) return "the terminal's input ended";
    return {};
}

void TerminalOperator::ask(OperatorQuestion question, const std::string& text,
                           const std::string& socket) {
    // What was typed ahead answers nothing.
    ::tcflush(fd_, TCIFLUSH);
    pending_.clear();
    asked_ = question;
    const std::string shown =
        (socket.empty() ? std::string() : SocketLabel(socket)) + hid::TerminalText(text);
    switch (question) {
    case OperatorQuestion::Confirm:
        question_ = ">> " + shown + "\n   Enter when done, n and Enter if it cannot be done: ";
        break;
    case OperatorQuestion::YesNo:
        question_ = "?? " + shown + " [y/n]: ";
        break;
    case OperatorQuestion::Text:
        question_ = ">> " + shown + "\n   Scan or type it, then Enter: ";
        break;
    }
    console_.ask(question_);
    if (notifier_) notifier_->setEnabled(true);
}

void TerminalOperator::withdraw() {
    if (!asked_) return;
    endQuestion();
    console_.print("\n");
}

void TerminalOperator::readable() {
    char bytes[512];
    const ssize_t got = ::read(fd_, bytes, sizeof bytes);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
        ended_ = true;
        notifier_->setEnabled(false);
        if (asked_) {
            endQuestion();
            console_.print("\n");
            emit answered({OperatorAnswer::Kind::Gone, {}});
        }
        return;
    }
    pending_.append(bytes, std::size_t(got));
    std::size_t end;
    while (asked_ && (end = pending_.find('\n')) != std::string::npos) {
        std::string text = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        line(std::move(text));
    }
}

void TerminalOperator::line(std::string text) {
    using Kind = OperatorAnswer::Kind;
    std::optional<Kind> kind;
    const std::string word = Lowered(text);
    switch (*asked_) {
    case OperatorQuestion::Confirm:
        if (word.empty() || word == "y" || word == "yes") kind = Kind::Yes;
        if (word == "n" || word == "no") kind = Kind::No;
        break;
    case OperatorQuestion::YesNo:
        if (word == "y" || word == "yes") kind = Kind::Yes;
        if (word == "n" || word == "no") kind = Kind::No;
        break;
    case OperatorQuestion::Text:
        kind = Kind::Text;
        break;
    }
    // Asked again whole: another socket's lines may come before the answer, and the operator
    // must still see whose question it is.
    if (!kind) return console_.ask(question_);
    endQuestion();
    emit answered({*kind, *kind == Kind::Text ? std::move(text) : std::string()});
}

} // namespace check
