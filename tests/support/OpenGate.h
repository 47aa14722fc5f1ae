#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace testsupport {

/// Holds the opens that reach it until opened, like a device that takes its time to wake;
/// after ten seconds it opens by itself, so that a source that waits for it fails the test
/// instead of hanging it.
class OpenGate {
public:
    void pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(10), [this] { return open_; });
        --waiting_;
    }
    void open() {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void close() {
        const std::lock_guard lock(mutex_);
        open_ = false;
    }
    bool holdsOne() {
        const std::lock_guard lock(mutex_);
        return waiting_ > 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiting_ = 0;
};

// The window's thread enumerated and opened nodes itself: an open that waits for a device to
// wake froze the window meanwhile.

} // namespace testsupport
