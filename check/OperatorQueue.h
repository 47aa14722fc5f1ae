#pragma once

#include "check/Operator.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <memory>
#include <string>

namespace check {

/// One operator for the several sockets of a station: each socket asks through a seat of its
/// own (an Operator), and the operator is asked one question at a time, labelled with the
/// socket it is for, in the order the sockets asked. A withdrawn question leaves the queue,
/// and its answer, if the operator was answering it, is asked no more. Each answer goes to
/// the seat whose question it answers, and to no other. Once the operator's input has ended,
/// each question still queued is answered Gone, as the one being asked was.
class OperatorQueue final : public QObject {
    Q_OBJECT

public:
    /// `person` answers (none: the seats cannot be answered); it must outlive the queue.
    explicit OperatorQueue(Operator* person);
    ~OperatorQueue() override;

    /// A seat for the socket named `socket`. It must not outlive the queue.
    std::unique_ptr<Operator> seat(std::string socket);

private:
    class Seat;
    struct Question {
        Seat* seat;
        OperatorQuestion question;
        std::string text;
    };

    void ask(Seat& seat, OperatorQuestion question, const std::string& text);
    void withdraw(Seat& seat);
    void answered(const OperatorAnswer& answer);
    /// Asks the operator the first question queued, unless one is being answered.
    void askNext();
    std::string unavailable() const;

    Operator* const person_;
    std::deque<Question> queue_; ///< the first is being asked when `asking_`
    bool asking_ = false;
};

} // namespace check
