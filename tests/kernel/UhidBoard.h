#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

/// The ZOV-USB board as the kernel sees it, made with /dev/uhid: a USB HID device 1234:0001
/// whose vendor-defined descriptor has one 32-byte input and one 32-byte output report. It
/// answers the console's requests the way the firmware does.
///
/// Positions below are those of the console's 33-byte report (byte 0 the report id); on the
/// wire, without a report id, each byte sits one place lower.
class UhidBoard {
public:
    struct Options {
        /// The descriptor numbers its reports (id 1), which the console must refuse.
        bool reportId = false;
    };
    /// Told of what the board saw, one line each: "output <hex>", "open", "close", ...
    using Log = std::function<void(const std::string& line)>;

    static constexpr std::size_t PayloadSize = 32;

    explicit UhidBoard(Log log);
    ~UhidBoard();
    UhidBoard(const UhidBoard&) = delete;
    UhidBoard& operator=(const UhidBoard&) = delete;

    /// The /dev/uhid descriptor, to wait on for readiness.
    int fd() const { return fd_; }
    bool plugged() const { return plugged_; }
    /// The hidraw node of the plugged board once the kernel made it; empty before.
    const std::string& node();

    bool plug(const Options& options);
    bool unplug();
    static constexpr bool StopAfterOutput = true;
    /// Takes every event the kernel has queued for the board (outputs, open, close, ...), or
    /// those up to the first output report. Answers how many output reports it took.
    int readEvents(bool stopAfterOutput = false);
    /// Sends one input report of 32 bytes (33-byte positions 1 to 32).
    bool sendInput(const std::array<std::uint8_t, PayloadSize>& payload);

    void setAdValue(std::uint8_t value) { adValue_ = value; }
    void setInputBits(std::uint8_t bits) { inputBits_ = bits; }
    void setAnswerText(const std::string& text);

private:
    void handleOutput(const std::uint8_t* data, std::size_t size);
    void answer(std::uint8_t command);

    Log log_;
    int fd_ = -1;
    bool plugged_ = false;
    Options options_;
    int generation_ = 0; ///< tells the nodes of successive plugs apart (HID_UNIQ)
    std::string node_;
    std::uint8_t adValue_ = 0;
    std::uint8_t inputBits_ = 0;
    std::array<char, 16> answerText_{};
};
