#pragma once

#include "hid/DeviceSource.h"

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace hidraw {

/// The system calls a device makes on its open node, from its own threads. Each answers as
/// read(2) and write(2) do: a length, or -1 with errno set. Tests put fakes in their place to
/// see how the device takes any error; a fake must be safe to call from another thread.
struct NodeCalls {
    std::function<ssize_t(int fd, std::uint8_t* buffer, std::size_t size)> read;
    std::function<ssize_t(int fd, const std::uint8_t* data, std::size_t size)> write;

    /// read(2); for writes send(2) without SIGPIPE on a socket, write(2) on anything else.
    static NodeCalls system();
};

/// One hidraw device as the layer sees it. The device is known from its enumeration alone;
/// only when a descriptor is attached does it read and write.
///
/// An attached descriptor belongs to two threads of the device's own: a reader that polls it
/// and reads each report as soon as the kernel has it, and a writer that writes the reports
/// queued by write(), one at a time (hidraw's write waits for the board, up to 5 s on USB,
/// whatever O_NONBLOCK says). Their results (input reports, write outcomes, the device gone)
/// are handed to the GUI thread through a locked queue and one posted call per batch, and
/// come out there as this object's signals. The reader queues each report as it reads it,
/// calls the GUI thread once it has read all there is (or 64 of a flood), then pauses 2 ms: a
/// report after a quiet spell goes over at once, a stream goes over a few reports per call,
/// none more than 2 ms late. The GUI thread never reads, writes or closes the descriptor; the
/// last of the two threads to finish closes it.
///
/// What counts as the device gone (signal failed): the end of the file, a read error other
/// than EAGAIN/EINTR (EIO or ENODEV once a hidraw node is unplugged), POLLHUP or POLLERR with
/// nothing left to read, or a write failing with ENODEV or ESHUTDOWN. Any other write error
/// (ETIMEDOUT, EPIPE, EPROTO, ...) fails that report only.
///
/// Reports on the wire: an output report goes out as all 33 bytes (byte 0 is the report id 0,
/// which the kernel strips before the device sees it); an input report comes in as the
/// device's bytes without a report id and is placed at bytes 1 to 32, with byte 0 set to 0.
/// Any descriptor that keeps report boundaries will do: a hidraw node, or one end of an
/// AF_UNIX SOCK_SEQPACKET socket pair.
class HidrawDevice final : public QObject, public hid::Device {
    Q_OBJECT

public:
    /// Bytes of an input report as the device sends them (the report without its id).
    static constexpr std::size_t InputReportSize = hid::ReportSize - 1;
    /// Output reports queued for the writer, the one it is writing included; one more is
    /// refused.
    static constexpr std::size_t WriteQueueLimit = 64;
    /// Input reports read but not yet taken by the GUI thread; more are lost, and counted.
    /// Four seconds of a full-speed USB board at 1000 reports a second.
    static constexpr std::size_t HandOffLimit = 4096;

    explicit HidrawDevice(hid::DeviceInfo info, QObject* parent = nullptr);
    ~HidrawDevice() override;
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    const hid::DeviceInfo& info() const override { return info_; }
    /// Queues the 33 bytes for the writer and returns at once: Queued, then writeCompleted
    /// tells how it went; Refused when the device is not open or WriteQueueLimit reports wait.
    hid::WriteResult write(const hid::Report& report) override;
    /// Every queued report but the one the writer has (being written, or about to be) is told
    /// failed with ECANCELED, and never written.
    void cancelQueuedWrites() override;

    /// Takes ownership of an open descriptor and starts the device's threads on it. False,
    /// with the descriptor closed, when the threads' stop signal cannot be made.
    bool attach(int fd, NodeCalls calls = NodeCalls::system());
    bool isOpen() const { return channel_ != nullptr; }
    /// Stops the threads and lets go of the descriptor. A write the kernel holds for longer
    /// than hid::ShutdownGrace is not waited for: its thread finishes on its own, posts nothing,
    /// and closes the descriptor then. Before it returns, what was read but not yet handed
    /// over comes out as signals, and every report still queued or being written is told
    /// failed with ECANCELED. Emits no failed signal.
    void close();

signals:
    /// One input report, placed as 33 bytes with byte 0 = 0.
    void reportReceived(const hid::Report& report);
    /// Input reports lost because the GUI thread fell HandOffLimit reports behind.
    void reportsLost(quint64 count);
    /// A queued report was written whole (`sent`), or its write failed with `error`.
    void writeCompleted(const hid::Report& report, bool sent, int error);
    /// The device is gone and has been closed; `error` is the errno seen, ENODEV for the end
    /// of the file or a hang-up.
    void failed(int error);

private:
    struct Channel;
    struct Result;

    void takeResults();
    void deliver(const std::vector<Result>& results, std::uint64_t lost, bool mayFail);
    void shutDown(bool deliverLeftovers);

    hid::DeviceInfo info_;
    std::shared_ptr<Channel> channel_;
    std::thread reader_;
    std::thread writer_;
};

} // namespace hidraw
