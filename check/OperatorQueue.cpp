#include "check/OperatorQueue.h"

#include <algorithm>

namespace check {

/// One socket's way to the operator.
class OperatorQueue::Seat final : public Operator {
public:
    Seat(OperatorQueue& queue, std::string socket) : queue_(queue), socket_(std::move(socket)) {}
    ~Seat() override { queue_.withdraw(*this); }

    std::string unavailable() const override { return queue_.unavailable(); }
    void ask(OperatorQuestion question, const std::string& text, const std::string&) override {
        queue_.ask(*this, question, text);
    }
    void withdraw() override { queue_.withdraw(*this); }

    const std::string& socket() const { return socket_; }
    void tell(const OperatorAnswer& answer) { emit answered(answer); }

private:
    OperatorQueue& queue_;
    const std::string socket_;
};

OperatorQueue::OperatorQueue(Operator* person) : person_(person) {
    if (person_) connect(person_, &Operator::answered, this, &OperatorQueue::answered);
}

OperatorQueue::~OperatorQueue() = default;

std::unique_ptr<Operator> OperatorQueue::seat(std::string socket) {
    return std::make_unique<Seat>(*this, std::move(socket));
}

std::string OperatorQueue::unavailable() const {
    return person_ ? person_->unavailable() : "no one answers";
}

void OperatorQueue::ask(Seat& seat, OperatorQuestion question, const std::string& text) {
    queue_.push_back({&seat, question, text});
    askNext();
}

void OperatorQueue::withdraw(Seat& seat) {
    if (asking_ && queue_.front().seat == &seat) {
        asking_ = false;
        queue_.pop_front();
        person_->withdraw();
    }
    std::erase_if(queue_, [&](const Question& each) { return each.seat == &seat; });
    askNext();
}

void OperatorQueue::answered(const OperatorAnswer& answer) {
    if (!asking_) return;
    asking_ = false;
    Seat* const seat = queue_.front().seat;
    queue_.pop_front();
    seat->tell(answer); // its runner may ask again at once: that question queues behind the rest
    askNext();
}

void OperatorQueue::askNext() {
    // The operator's input ended while these waited: no one will answer them.
    while (!asking_ && !queue_.empty() && person_ && !person_->unavailable().empty()) {
        Seat* const seat = queue_.front().seat;
        queue_.pop_front();
        seat->tell({OperatorAnswer::Kind::Gone, {}});
    }
    if (asking_ || queue_.empty() || !person_) return;
    asking_ = true;
    const Question& next = queue_.front();
    person_->ask(next.question, next.text, next.seat->socket());
}

} // namespace check
