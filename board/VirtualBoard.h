#pragma once

#include "board/BoardFirmware.h"
#include "hid/DeviceManager.h"
#include "hid/DeviceSource.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace board {

/// How a virtual board is made: who it says it is, what it answers, how late, and when it is
/// plugged in. The defaults make the built-in board, which answers at once.
struct VirtualBoardSetup {
    /// Windows-1252 bytes, as a real board's names reach DeviceInfo.
    std::string manufacturer = "ZOV Electronics";
    std::string product = "ZOV-USB Virtual Board";
    std::string serialNumber = "VB-0001";
    std::string path = "virtual";
    std::string port = "virtual"; ///< its fixture position, hid::DeviceInfo::port
    std::uint8_t adValue = 128;
    std::uint8_t inputBits = 0b1010'0101;
    QByteArray answerText = "Hello from ZOV!!"; ///< Windows-1252 bytes
    /// Every answer leaves this late after its request, give or take up to answerJitter.
    std::chrono::milliseconds answerDelay{0};
    std::chrono::milliseconds answerJitter{0};
    /// 0: every request is answered; N: every Nth request that wants an answer is not.
    int missEvery = 0;
    /// When the board plugs itself in and pulls itself out, counted from its start (when it
    /// is attached to a layer). No plugAt: not until plug(); no unplugAt: it stays.
    std::optional<std::chrono::milliseconds> plugAt = std::chrono::milliseconds(0);
    std::optional<std::chrono::milliseconds> unplugAt;
};

/// A board that lives inside the program and answers like the real firmware, so the
/// console can be tried and tested with no hardware. It is its own device source with
/// one device, plugged in from the start unless told otherwise.
///
/// Output reports it understands: 2 (answers its 16-character text), 4 (answers its A/D
/// value), 13 (answers its 8 input bits), 14 (sets port D), 1 (stores a text), 6 (stores
/// a clock text), 50 (resets the firmware state); index 23 of every report is its loop flag.
/// Answers arrive later through the event loop, never inside the write: at once, or as late
/// as the setup says, always in the order of their requests.
class VirtualBoard final : public QObject, public hid::DeviceSource, private hid::Device {
    Q_OBJECT

public:
    static constexpr int VendorId = firmware::VendorId;
    static constexpr int ProductId = firmware::ProductId;
    static constexpr int AnswerTextLength = 16;

    explicit VirtualBoard(bool plugged = true);
    explicit VirtualBoard(const VirtualBoardSetup& setup);
    ~VirtualBoard() override;

    /// Adds a new board, plugged in, to `layer` as one of its sources; `layer` owns it.
    static VirtualBoard& attachTo(hid::DeviceManager& layer);

    void start(hid::DeviceEvents& events) override;

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
    const hid::Report& lastReport() const { return lastReport_; }

    std::uint64_t reportsReceived() const { return reportsReceived_; }
    std::uint64_t reportsSent() const { return reportsSent_; }

    /// Sends an input report of any content, as if the firmware had sent it.
    void sendReport(const hid::Report& report);

    /// When set, every write fails as a broken link would.
    void setWritesFail(bool fail) { writesFail_ = fail; }

signals:
    /// Anything above changed: state, plug state or a count.
    void stateChanged();
    /// An output report arrived (after the board has acted on it).
    void reportReceived(const hid::Report& report);

private:
    const hid::DeviceInfo& info() const override { return info_; }
    hid::WriteResult write(const hid::Report& report) override;
    void answer(const hid::Report& report);
    /// Queues `reply` to leave after the answer delay, never before the answer queued last.
    void scheduleAnswer(const hid::Report& reply);
    /// Sends the queued answers that are due, and waits for the next.
    void sendDueAnswers();
    void waitForNextAnswer();
    void resetFirmware();

    struct ScheduledAnswer {
        std::chrono::steady_clock::time_point due;
        hid::Report reply;
    };

    hid::DeviceInfo info_;
    hid::DeviceEvents* events_ = nullptr;
    std::chrono::milliseconds answerDelay_;
    std::chrono::milliseconds answerJitter_;
    int missEvery_;
    std::uint64_t requestsToAnswer_ = 0;           // codes 2, 4 and 13, answered or not
    std::deque<ScheduledAnswer> scheduledAnswers_; // in request order; emptied by an unplug
    QTimer answerTimer_;
    std::optional<std::chrono::milliseconds> plugAt_;
    std::optional<std::chrono::milliseconds> unplugAt_;
    bool plugged_;
    bool writesFail_ = false;
    std::uint64_t plugGeneration_ = 0; // answers from before an unplug are never delivered
    std::uint8_t adValue_;
    std::uint8_t inputBits_;
    QByteArray answerText_;
    std::uint8_t portD_ = 0;
    std::uint8_t loopFlag_ = 0;
    QByteArray lastText_;
    QByteArray lastClockText_;
    hid::Report lastReport_{};
    std::uint64_t reportsReceived_ = 0;
    std::uint64_t reportsSent_ = 0;
};

} // namespace board
