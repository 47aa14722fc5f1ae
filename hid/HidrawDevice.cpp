#include "hid/HidrawDevice.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hid {
namespace {

// Errors that say nothing about the device itself: try again later.
bool isTransient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

HidrawDevice::HidrawDevice(DeviceInfo info, QObject* parent)
    : QObject(parent), info_(std::move(info)) {}

HidrawDevice::~HidrawDevice() {
    close();
}

void HidrawDevice::attach(int fd) {
    close();
    fd_ = fd;
    struct stat status {};
    isSocket_ = ::fstat(fd_, &status) == 0 && S_ISSOCK(status.st_mode);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &HidrawDevice::readReports);
}

void HidrawDevice::close() {
    if (notifier_) {
        // The notifier may be the one calling us: switch it off now, delete it later. It must
        // be off before the descriptor is closed, or the dispatcher would poll a stale number.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool HidrawDevice::write(const Report& report) {
    if (fd_ < 0) return false;
    return send(report);
}

bool HidrawDevice::send(const Report& report) {
    ssize_t written;
    do {
        // A socket whose peer has gone would raise SIGPIPE on a plain write.
        written = isSocket_ ? ::send(fd_, report.data(), report.size(), MSG_NOSIGNAL)
                            : ::write(fd_, report.data(), report.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(report.size())) return true;
    if (written < 0 && !isTransient(errno)) {
        // The caller is still inside the layer's write: report the loss from the event loop.
        const int error = errno;
        QMetaObject::invokeMethod(
            this, [this, error] { fail(error); }, Qt::QueuedConnection);
    }
    return false;
}

void HidrawDevice::readReports() {
    // Larger than any report this console expects; a longer report is cut to fit.
    std::uint8_t buffer[256];
    for (int count = 0; count < MaxReadsPerWakeup && fd_ >= 0; ++count) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length > 0) {
            Report report{};
            std::copy_n(buffer,
                        std::min<std::size_t>(static_cast<std::size_t>(length), InputReportSize),
                        report.begin() + 1);
            emit reportReceived(report);
            continue;
        }
        if (length == 0) {
            fail(ENODEV); // end of file: the other end is gone
            return;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        fail(errno); // ENODEV or EIO after an unplug
        return;
    }
}

void HidrawDevice::fail(int error) {
    if (fd_ < 0) return;
    close();
    emit failed(error);
}

} // namespace hid
