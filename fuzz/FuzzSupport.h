#pragma once

#include "FuzzCheck.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace fuzzsupport {

/// The one QApplication of a fuzzing run, on the offscreen platform.
inline void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns about every message box it cannot raise; keep the fuzzer's
    // output to its own lines. Fatal messages still abort.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    static int argc = 1;
    static char name[] = "fuzzer";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
}

/// Everything already posted is delivered (a write answered by the board posts more).
inline void DrainEvents() {
    for (int round = 0; round < 8; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

/// Takes the fuzzer's bytes from the front; past the end every read answers 0.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data, size) {}

    bool empty() const { return data_.empty(); }
    std::size_t left() const { return data_.size(); }
    std::uint8_t byte() {
        if (data_.empty()) return 0;
        const std::uint8_t value = data_.front();
        data_ = data_.subspan(1);
        return value;
    }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    /// Up to `count` bytes, fewer at the end.
    std::span<const std::uint8_t> bytes(std::size_t count) {
        const std::size_t taken = count < data_.size() ? count : data_.size();
        const auto part = data_.first(taken);
        data_ = data_.subspan(taken);
        return part;
    }
    std::span<const std::uint8_t> rest() { return bytes(data_.size()); }

private:
    std::span<const std::uint8_t> data_;
};

} // namespace fuzzsupport
