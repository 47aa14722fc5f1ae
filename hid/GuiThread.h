#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

/// The one way across threads. The GUI thread owns the layer, the windows and every device's
/// state; the program's other threads (the call thread, each device's reader and writer, the
/// monitor's saves) hand their results over as values, through a GuiMailbox, and nothing else
/// of theirs reaches the GUI thread.
namespace hid {

/// How long an owner going away waits for its thread to come out of a system call under way.
/// Past that the thread is left to finish on its own (a write a board never takes can hold it
/// for seconds) and what it posts then goes nowhere.
inline constexpr std::chrono::milliseconds ShutdownGrace{50};

/// Hands calls from any thread to an object on the GUI thread, for as long as that object
/// wants them. The owner makes it, shares it with its threads, and closes it before it goes:
/// from then on a posted call is not queued, and one queued before does not run. Posting
/// never waits for the GUI thread.
class GuiMailbox : public std::enable_shared_from_this<GuiMailbox> {
public:
    static std::shared_ptr<GuiMailbox> create(QObject& receiver);
    GuiMailbox(const GuiMailbox&) = delete;
    GuiMailbox& operator=(const GuiMailbox&) = delete;

    /// Any thread: queues `call` to run on the receiver's thread, from its event loop. False
    /// once closed; `call` is then destroyed where it is.
    bool post(std::function<void()> call);
    /// The receiver's thread.
    void close();
    bool isOpen() const;

private:
    explicit GuiMailbox(QObject& receiver) : receiver_(&receiver) {}

    mutable std::mutex mutex_;
    QObject* receiver_; ///< null once closed
};

/// True on the application's thread, and where there is no application yet.
inline bool OnGuiThread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return !application || QThread::currentThread() == application->thread();
}

/// Where assertions are kept (debug builds, and ZOV_ASSERTIONS builds such as the sanitizer
/// build), stops the program when called off the GUI thread. Elsewhere the check is not even
/// evaluated: the layer's every call passes here.
inline void AssertOnGuiThread() {
    Q_ASSERT_X(OnGuiThread(), "hid", "the HID layer is used from the GUI thread only");
}

} // namespace hid
