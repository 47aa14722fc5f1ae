#pragma once

#include "board/BoardFirmware.h"
#include "hid/DeviceSource.h"

#include <QByteArray>
#include <QObject>
#include <cstdint>

namespace hid {

class DeviceManager;

/// A board that lives inside the program and answers like the real firmware, so the
/// console can be tried and tested with no hardware. It is its own device source with
/// one device, plugged in from the start unless told otherwise.
///
/// Output reports it understands: 2 (answers its 16-character text), 4 (answers its A/D
/// value), 13 (answers its 8 input bits), 14 (sets port D), 1 (stores a text), 6 (stores
/// a clock text), 50 (resets the firmware state); index 23 of every report is its loop flag.
/// Answers arrive later through the event loop, never inside the write.
class VirtualBoard final : public QObject, public DeviceSource, private Device {
    Q_OBJECT

public:
    static constexpr int VendorId = firmware::VendorId;
    static constexpr int ProductId = firmware::ProductId;
    static constexpr int AnswerTextLength = 16;

    explicit VirtualBoard(bool plugged = true);
    ~VirtualBoard() override;

    /// Adds a new board, plugged in, to `layer` as one of its sources; `layer` owns it.
    static VirtualBoard& attachTo(DeviceManager& layer);

    void start(DeviceEvents& events) override;

    bool isPlugged() const { return plugged_; }
    void plug();
    void unplug();

    /// The board's inputs and its answer text: what the operator's side can change.
    std::uint8_t adValue() const { return adValue_; }
    void setAdValue(std::uint8_t value);
    std::uint8_t inputBits() const { return inputBits_; }
    void setInputBits(std::uint8_t bits);
    /// Windows-1252 bytes, cut or padded with zero bytes to 16.
    QByteArray answerText() const { return answerText_; }
    void setAnswerText(const QByteArray& text);

    /// What the console last told the board.
    std::uint8_t portD() const { return portD_; }
    std::uint8_t loopFlag() const { return loopFlag_; }
    /// Up to 17 bytes, up to the first zero byte.
    QByteArray lastText() const { return lastText_; }
    /// Up to 23 bytes, up to the first zero byte.
    QByteArray lastClockText() const { return lastClockText_; }
    /// The last output report received, all 33 bytes.
    const Report& lastReport() const { return lastReport_; }

    std::uint64_t reportsReceived() const { return reportsReceived_; }
    std::uint64_t reportsSent() const { return reportsSent_; }

    /// Sends an input report of any content, as if the firmware had sent it.
    void sendReport(const Report& report);

    /// When set, every write fails as a broken link would.
    void setWritesFail(bool fail) { writesFail_ = fail; }

signals:
    /// Anything above changed: state, plug state or a count.
    void stateChanged();
    /// An output report arrived (after the board has acted on it).
    void reportReceived(const hid::Report& report);

private:
    const DeviceInfo& info() const override { return info_; }
    WriteResult write(const Report& report) override;
    void answer(const Report& report);
    void resetFirmware();

    DeviceInfo info_;
    DeviceEvents* events_ = nullptr;
    bool plugged_;
    bool writesFail_ = false;
    std::uint64_t plugGeneration_ = 0; // answers from before an unplug are never delivered
    std::uint8_t adValue_ = 128;
    std::uint8_t inputBits_ = 0b1010'0101;
    QByteArray answerText_;
    std::uint8_t portD_ = 0;
    std::uint8_t loopFlag_ = 0;
    QByteArray lastText_;
    QByteArray lastClockText_;
    Report lastReport_{};
    std::uint64_t reportsReceived_ = 0;
    std::uint64_t reportsSent_ = 0;
};

} // namespace hid
