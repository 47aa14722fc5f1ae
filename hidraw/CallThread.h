#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <thread>

namespace hidraw {

/// A thread of its own for system calls that may wait (enumerating devices through sysfs,
/// opening a device node, asking it for its details), so that the GUI thread never does.
/// Jobs run one at a time, in the order given. Each job returns what is to be done with its
/// outcome, and that runs later on the GUI thread, from the event loop, as a queued call on
/// `receiver`.
///
/// An outcome is delivered only while this object lives. One that cannot be delivered any
/// more is destroyed where it is (on this thread, or with the receiver's posted calls), so
/// whatever it holds (an open descriptor, say) must let go of itself when destroyed.
class CallThread {
public:
    /// Work for the thread; it returns the outcome's handling for the GUI thread.
    using Job = std::function<std::function<void()>()>;

    explicit CallThread(QObject& receiver);
    /// Runs no more jobs. A job still under way after hid::ShutdownGrace is not waited for: it
    /// finishes alone, and its outcome is dropped.
    ~CallThread();
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;

    void run(Job job);
    /// True when every job given has run and its outcome has been handled.
    bool idle() const { return unfinished_ == 0; }

private:
    struct Queue;

    std::shared_ptr<Queue> queue_;
    std::thread thread_;
    int unfinished_ = 0; ///< jobs given whose outcome the GUI thread has not handled yet
};

} // namespace hidraw
