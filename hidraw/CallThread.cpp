#include "hidraw/CallThread.h"

#include "hid/GuiThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace hidraw {

/// What the thread and the GUI thread share; every member but the mailbox is guarded by the
/// mutex.
struct CallThread::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    bool stopping = false;
    bool running = false;
    const std::shared_ptr<hid::GuiMailbox> mailbox;

    explicit Queue(QObject& owner) : mailbox(hid::GuiMailbox::create(owner)) {}

    void serve() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return !jobs.empty() || stopping; });
            if (stopping) return;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            std::function<void()> outcome = job();
            job = nullptr;
            // Once the owner has closed the mailbox, the outcome is dropped here.
            mailbox->post(std::move(outcome));
            lock.lock();
            running = false;
            wake.notify_all();
        }
    }
};

CallThread::CallThread(QObject& receiver)
    : queue_(std::make_shared<Queue>(receiver)), thread_([queue = queue_] { queue->serve(); }) {}

CallThread::~CallThread() {
    queue_->mailbox->close();
    bool stillRunning = false;
    {
        std::unique_lock lock(queue_->mutex);
        queue_->stopping = true;
        queue_->jobs.clear();
        queue_->wake.notify_all();
        stillRunning =
            !queue_->wake.wait_for(lock, hid::ShutdownGrace, [&] { return !queue_->running; });
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

} // namespace hidraw
