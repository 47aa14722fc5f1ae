#include "hidraw/CallThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace hid {
namespace {

// How long the destructor waits for a job under way before it leaves the thread alone.
constexpr auto JobGrace = std::chrono::milliseconds(50);

} // namespace

/// What the thread and the GUI thread share; every member is guarded by the mutex.
struct CallThread::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    QObject* receiver; ///< null once the owner is going: nothing more is delivered
    bool running = false;

    explicit Queue(QObject* owner) : receiver(owner) {}

    void serve() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return !jobs.empty() || !receiver; });
            if (!receiver) return;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            std::function<void()> outcome = job();
            job = nullptr;
            lock.lock();
            running = false;
            wake.notify_all();
            // Posted under the lock: the owner cannot be half destroyed meanwhile.
            if (receiver)
                QMetaObject::invokeMethod(receiver, std::move(outcome), Qt::QueuedConnection);
            else
                return; // the outcome is dropped here, with the lock released on return
        }
    }
};

CallThread::CallThread(QObject& receiver)
    : queue_(std::make_shared<Queue>(&receiver)), thread_([queue = queue_] { queue->serve(); }) {}

CallThread::~CallThread() {
    bool stillRunning = false;
    {
        std::unique_lock lock(queue_->mutex);
        queue_->receiver = nullptr;
        queue_->jobs.clear();
        queue_->wake.notify_all();
        stillRunning = !queue_->wake.wait_for(lock, JobGrace, [&] { return !queue_->running; });
    }
    // A job that waits on a device (an open that waits for the device to wake up) can take
    // seconds: the thread finishes it alone and drops its outcome.
    if (stillRunning)
        thread_.detach();
    else
        thread_.join();
}

void CallThread::run(Job job) {
    ++unfinished_;
    // Counted down on the GUI thread, once the outcome has been handled.
    Job counted = [this, job = std::move(job)]() -> std::function<void()> {
        std::function<void()> outcome = job();
        return [this, outcome = std::move(outcome)] {
            --unfinished_;
            if (outcome) outcome();
        };
    };
    {
        const std::lock_guard lock(queue_->mutex);
        queue_->jobs.push_back(std::move(counted));
    }
    queue_->wake.notify_one();
}

} // namespace hid
