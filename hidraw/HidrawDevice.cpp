#include "hidraw/HidrawDevice.h"

#include "hid/GuiThread.h"
#include "hid/OwnedDescriptor.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hidraw {
namespace {

// How long the reader waits after a hand-over before it looks for the next reports.
constexpr int HandOffPause = 2; // milliseconds
// Reports the reader queues at most before it calls the GUI thread, when they keep coming.
constexpr std::size_t AnnounceEvery = 64;

// The write errors that mean the device itself is gone, not just this report.
bool meansGone(int error) {
    return error == ENODEV || error == ESHUTDOWN;
}

} // namespace

NodeCalls NodeCalls::system() {
    NodeCalls calls;
    calls.read = [](int fd, std::uint8_t* buffer, std::size_t size) {
        return ::read(fd, buffer, size);
    };
    calls.write = [](int fd, const std::uint8_t* data, std::size_t size) {
        // A socket whose peer has gone would raise SIGPIPE on a plain write.
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent >= 0 || errno != ENOTSOCK) return sent;
        return ::write(fd, data, size);
    };
    return calls;
}

struct HidrawDevice::Result {
    enum class Kind { Input, Written, WriteFailed, Gone };
    Kind kind;
    hid::Report report{};
    int error = 0;
};

/// What the device's threads and the GUI thread share; every member below the mutex is
/// guarded by it.
struct HidrawDevice::Channel {
    Channel(NodeCalls nodeCalls, int stopDescriptor, HidrawDevice* device)
        : calls(std::move(nodeCalls)), stopFd(stopDescriptor), receiver(device),
          mailbox(hid::GuiMailbox::create(*device)) {}
    ~Channel() { ::close(stopFd); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    void readLoop(int fd);
    void writeLoop(int fd);
    bool writeOne(int fd, const hid::Report& report, std::unique_lock<std::mutex>& lock,
                  int& error);
    /// Hands a result to the GUI thread; the mutex is held.
    void post(Result result);
    /// Queues a result for the GUI thread without calling it; the mutex is held.
    void queue(Result result);
    /// Calls the GUI thread to take what is queued, unless a call is on its way already; the
    /// mutex is held.
    void callReceiver();

    const NodeCalls calls;
    const int stopFd; ///< an eventfd, readable once the threads are to stop

    HidrawDevice* const receiver;
    /// Closed once the device closes: nothing more is handed over.
    const std::shared_ptr<hid::GuiMailbox> mailbox;

    std::mutex mutex;
    std::condition_variable wake; ///< a report queued, the stop, or a write returned
    bool stopping = false;
    bool abandoned = false;         ///< close went on without waiting for the writer
    bool inWrite = false;           ///< the writer is inside a write system call
    std::deque<hid::Report> writes; ///< the front one is being written
    std::vector<Result> results;    ///< for the GUI thread, oldest first
    std::size_t inputsWaiting = 0;  ///< input reports among `results`
    std::uint64_t inputsLost = 0;   ///< input reports not taken: `results` held too many
    bool takePosted = false;        ///< a call to takeResults is on its way
};

void HidrawDevice::Channel::post(Result result) {
    queue(result);
    callReceiver();
}

void HidrawDevice::Channel::queue(Result result) {
    if (result.kind == Result::Kind::Input) {
        if (inputsWaiting >= HandOffLimit) {
            ++inputsLost;
            return;
        }
        ++inputsWaiting;
    }
    results.push_back(result);
}

void HidrawDevice::Channel::callReceiver() {
    if (!takePosted && !results.empty())
        takePosted = mailbox->post([device = receiver] { device->takeResults(); });
}

void HidrawDevice::Channel::readLoop(int fd) {
    // Larger than any report this console expects; a longer report is cut to fit.
    std::array<std::uint8_t, 256> buffer;
    // A non-blocking node (as the console opens real ones) is read until it has nothing more,
    // without a poll before each read: in a stream that is a system call fewer for every
    // report. A blocking one is read only when poll says a report is there.
    const bool readUntilEmpty = (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
    std::size_t unannounced = 0; // reports queued since the last call to the GUI thread
    const auto announce = [&] {
        const std::lock_guard lock(mutex);
        callReceiver();
        unannounced = 0;
    };
    const auto gone = [this](int error) {
        const std::lock_guard lock(mutex);
        post(Result{Result::Kind::Gone, {}, error});
    };
    // -1 waits for the first report as long as it takes; 0 only takes the reports already there.
    int wait = -1;
    bool look = true; // poll before the next read
    // Everything there was is read and queued: one posted call hands it all over. Reports
    // that come during the pause after it wait for the next one, so at a thousand reports a
    // second neither thread wakes for each report, and none waits longer than the pause.
    // Answers whether a stop came during the pause.
    const auto handOver = [&] {
        wait = -1;
        look = true;
        if (unannounced == 0) return false;
        announce();
        pollfd stop{stopFd, POLLIN, 0};
        if (::poll(&stop, 1, HandOffPause) > 0) return true;
        look = !readUntilEmpty; // in a stream the next reports are there by now
        return false;
    };
    for (;;) {
        const bool looked = look;
        short events = POLLIN;
        if (look) {
            pollfd watched[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
            const int ready = ::poll(watched, 2, wait);
            if (ready < 0) {
                if (errno == EINTR) continue;
                return gone(errno);
            }
            if (watched[1].revents != 0) return;
            if (ready == 0) {
                if (handOver()) return;
                continue;
            }
            events = watched[0].revents;
            if (events & POLLNVAL) return gone(EBADF);
            if (!(events & (POLLIN | POLLHUP | POLLERR))) continue;
        }
        const ssize_t length = calls.read(fd, buffer.data(), buffer.size());
        if (length > 0) {
            Result input{Result::Kind::Input, {}, 0};
            std::copy_n(buffer.begin(),
                        std::min<std::size_t>(static_cast<std::size_t>(length), InputReportSize),
                        input.report.begin() + 1);
            {
                const std::lock_guard lock(mutex);
                queue(input);
            }
            // A flood that never lets up is still handed over as it is read, and the stop
            // looked for.
            const bool flood = ++unannounced == AnnounceEvery;
            if (flood) announce();
            wait = 0;
            look = !readUntilEmpty || flood;
            continue;
        }
        if (length == 0) return gone(ENODEV); // end of file: the other end is gone
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            if (events & (POLLHUP | POLLERR)) return gone(ENODEV);
            if (!looked && handOver()) return; // read until empty: as an empty poll
            continue;
        }
        return gone(error); // EIO or ENODEV once the node is unplugged
    }
}

void HidrawDevice::Channel::writeLoop(int fd) {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !writes.empty(); });
        if (stopping) return;
        const hid::Report report = writes.front();
        int error = 0;
        const bool sent = writeOne(fd, report, lock, error);
        // Left behind in the kernel: close has told this report and the rest cancelled.
        if (abandoned) return;
        // Stopped before the write was made: close tells it cancelled with the rest.
        if (!sent && error == ECANCELED) return;
        // A report the kernel took is told sent even while closing: its board did get it.
        writes.pop_front();
        post(Result{sent ? Result::Kind::Written : Result::Kind::WriteFailed, report, error});
        if (stopping) return;
        if (!sent && meansGone(error)) {
            post(Result{Result::Kind::Gone, {}, error});
            return; // what is still queued is told failed when the device is closed
        }
    }
}

bool HidrawDevice::Channel::writeOne(int fd, const hid::Report& report,
                                     std::unique_lock<std::mutex>& lock, int& error) {
    for (;;) {
        // Checked under the lock before each system call: close either sees inWrite set and
        // leaves this thread to finish alone, or this thread sees stopping and makes no call.
        if (stopping) {
            error = ECANCELED;
            return false;
        }
        inWrite = true;
        lock.unlock();
        const ssize_t written = calls.write(fd, report.data(), report.size());
        const int writeError = errno;
        lock.lock();
        inWrite = false;
        wake.notify_all(); // close may be waiting for this write
        if (written == static_cast<ssize_t>(report.size())) return true;
        if (written >= 0) {
            error = EMSGSIZE; // the kernel took part of the report
            return false;
        }
        if (writeError == EINTR) continue;
        if (writeError != EAGAIN && writeError != EWOULDBLOCK) {
            error = writeError;
            return false;
        }
        // A non-blocking descriptor with a full buffer: wait until it takes more, or the stop.
        lock.unlock();
        pollfd watched[2] = {{fd, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        while (::poll(watched, 2, -1) < 0 && errno == EINTR) {
        }
        lock.lock();
    }
}

HidrawDevice::HidrawDevice(hid::DeviceInfo info, QObject* parent)
    : QObject(parent), info_(std::move(info)) {}

HidrawDevice::~HidrawDevice() {
    shutDown(false);
}

bool HidrawDevice::attach(int fd, NodeCalls calls) {
    close();
    const int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0) {
        ::close(fd);
        return false;
    }
    channel_ = std::make_shared<Channel>(std::move(calls), stopFd, this);
    // Whichever of the two threads finishes last closes the node.
    const auto node = std::make_shared<hid::OwnedDescriptor>(fd);
    reader_ = std::thread([channel = channel_, node] { channel->readLoop(node->get()); });
    writer_ = std::thread([channel = channel_, node] { channel->writeLoop(node->get()); });
    return true;
}

void HidrawDevice::close() {
    shutDown(true);
}

hid::WriteResult HidrawDevice::write(const hid::Report& report) {
    if (!channel_) return hid::WriteResult::Refused;
    {
        const std::lock_guard lock(channel_->mutex);
        if (channel_->writes.size() >= WriteQueueLimit) return hid::WriteResult::Refused;
        channel_->writes.push_back(report);
    }
    channel_->wake.notify_one();
    return hid::WriteResult::Queued;
}

void HidrawDevice::cancelQueuedWrites() {
    if (!channel_) return;
    std::deque<hid::Report> cancelled;
    {
        const std::lock_guard lock(channel_->mutex);
        std::deque<hid::Report>& writes = channel_->writes;
        if (writes.size() > 1) {
            cancelled.assign(writes.begin() + 1, writes.end());
            writes.resize(1);
        }
    }
    for (const hid::Report& report : cancelled)
        emit writeCompleted(report, false, ECANCELED);
}

void HidrawDevice::takeResults() {
    std::vector<Result> results;
    std::uint64_t lost = 0;
    {
        const std::lock_guard lock(channel_->mutex);
        results.swap(channel_->results);
        channel_->inputsWaiting = 0;
        lost = std::exchange(channel_->inputsLost, 0);
        channel_->takePosted = false;
    }
    deliver(results, lost, true);
}

void HidrawDevice::deliver(const std::vector<Result>& results, std::uint64_t lost, bool mayFail) {
    int goneError = 0;
    for (const Result& result : results) {
        switch (result.kind) {
        case Result::Kind::Input:
            emit reportReceived(result.report);
            break;
        case Result::Kind::Written:
            emit writeCompleted(result.report, true, 0);
            break;
        case Result::Kind::WriteFailed:
            emit writeCompleted(result.report, false, result.error);
            break;
        case Result::Kind::Gone:
            if (goneError == 0) goneError = result.error;
            break;
        }
    }
    if (lost > 0) emit reportsLost(lost);
    // Told last, so everything the threads handed over before it reaches the layer while the
    // device is still attached.
    if (mayFail && goneError != 0) {
        close();
        emit failed(goneError);
    }
}

void HidrawDevice::shutDown(bool deliverLeftovers) {
    if (!channel_) return;
    const std::shared_ptr<Channel> channel = std::move(channel_);
    bool writerInKernel = false;
    {
        std::unique_lock lock(channel->mutex);
        channel->stopping = true;
        channel->mailbox->close();
        // A write the kernel finishes at once is waited for, so the node is closed when close
        // returns; one it holds longer (a board that does not answer) is not.
        writerInKernel =
            !channel->wake.wait_for(lock, hid::ShutdownGrace, [&] { return !channel->inWrite; });
        channel->abandoned = writerInKernel;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t signalled = ::write(channel->stopFd, &one, sizeof one);
    channel->wake.notify_all();
    reader_.join(); // its poll wakes on the stop signal and its reads never block
    // A write the kernel holds can take seconds (a board that does not answer): that thread
    // is left to finish on its own. It makes no further call and posts nothing.
    if (writerInKernel)
        writer_.detach();
    else
        writer_.join();

    std::vector<Result> results;
    std::deque<hid::Report> unsent;
    std::uint64_t lost = 0;
    {
        const std::lock_guard lock(channel->mutex);
        results.swap(channel->results);
        unsent.swap(channel->writes);
        lost = std::exchange(channel->inputsLost, 0);
    }
    if (!deliverLeftovers) return;
    deliver(results, lost, false);
    for (const hid::Report& report : unsent)
        emit writeCompleted(report, false, ECANCELED);
}

} // namespace hidraw
