#pragma once

#include "hid/DeviceSource.h"

#include <QObject>

class QSocketNotifier;

namespace hid {

/// One hidraw device as the layer sees it. The device is known from its enumeration alone;
/// only when a descriptor is attached does it read and write. The descriptor is non-blocking
/// and watched by a QSocketNotifier, so all I/O of a device happens on the GUI thread.
///
/// Reports on the wire: an output report goes out as all 33 bytes (byte 0 is the report id 0,
/// which the kernel strips before the device sees it); an input report comes in as the
/// device's bytes without a report id and is placed at bytes 1 to 32, with byte 0 set to 0.
///
/// Any descriptor that keeps report boundaries will do: a hidraw node, or one end of an
/// AF_UNIX SOCK_SEQPACKET socket pair.
class HidrawDevice final : public QObject, public Device {
    Q_OBJECT

public:
    /// Bytes of an input report as the device sends them (the report without its id).
    static constexpr std::size_t InputReportSize = ReportSize - 1;
    /// Reports taken per wake-up before the event loop gets its turn again.
    static constexpr int MaxReadsPerWakeup = 64;

    explicit HidrawDevice(DeviceInfo info, QObject* parent = nullptr);
    ~HidrawDevice() override;
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    const DeviceInfo& info() const override { return info_; }
    /// Sends the 33 bytes as one report. False when the device is not open or refused it;
    /// a write that finds the device gone fails the device (later, from the event loop).
    bool write(const Report& report) override;

    /// Takes ownership of an open, non-blocking descriptor and starts reading from it.
    void attach(int fd);
    bool isOpen() const { return fd_ >= 0; }
    /// Stops reading and closes the descriptor; no signal.
    void close();

signals:
    /// One input report, placed as 33 bytes with byte 0 = 0.
    void reportReceived(const hid::Report& report);
    /// The descriptor reported the device gone (hang-up, end of file, read or write error)
    /// and has been closed. `error` is the errno seen, ENODEV for end of file.
    void failed(int error);

private:
    void readReports();
    void fail(int error);
    bool send(const Report& report);

    DeviceInfo info_;
    int fd_ = -1;
    bool isSocket_ = false;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace hid
