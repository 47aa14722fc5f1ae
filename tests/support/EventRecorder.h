#pragma once

#include "hid/HidEvent.h"

#include <QObject>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

/// A window stand-in that keeps every HidEvent it receives as "code:handle", in order,
/// optionally into a log shared with other recorders.
class EventRecorder final : public QObject {
public:
    explicit EventRecorder(std::vector<std::string>* sharedLog = nullptr)
        : log_(sharedLog ? sharedLog : &ownLog_) {}

    const std::vector<std::string>& log() const { return *log_; }
    void clear() { log_->clear(); }
    /// The events of one code received so far.
    int count(std::uint32_t code) const {
        const std::string prefix = "window " + std::to_string(code) + ":";
        return static_cast<int>(std::count_if(log_->begin(), log_->end(), [&](const auto& line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != hid::HidEvent::messageType()) return QObject::event(event);
        const auto* message = static_cast<const hid::HidEvent*>(event);
        log_->push_back("window " + std::to_string(message->wParam()) + ":" +
                        std::to_string(message->lParam()));
        return true;
    }

private:
    std::vector<std::string> ownLog_;
    std::vector<std::string>* log_;
};

} // namespace testsupport
