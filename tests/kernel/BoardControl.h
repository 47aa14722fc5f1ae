#pragma once

#include "GrowingFile.h"
#include "StandInWire.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// The test's end of the uhid board stand-in (uhid_board): commands go into its control FIFO,
/// and what it did is read back from its log while the event loop runs.
class BoardControl {
public:
    /// One line of the stand-in's log: "<ms> <word> <rest>".
    struct Line {
        double monotonicMs = 0;
        std::string word;
        std::string rest;
    };

    /// Uses the stand-in that the guest's scenario started; only lines logged from now on count.
    BoardControl();
    ~BoardControl();
    BoardControl(const BoardControl&) = delete;
    BoardControl& operator=(const BoardControl&) = delete;

    void send(const std::string& command);
    /// Sends a command and waits until the stand-in has carried it out: a request the console
    /// writes from then on meets its effect. The stand-in reads the kernel's events before its
    /// FIFO, so a request written right after a plain send() may be answered the old way.
    bool apply(const std::string& command);

    /// Runs the event loop until a line after `from` (an index into lines()) matches, or the
    /// deadline passes. The index of the line, or nullopt.
    std::optional<std::size_t>
    waitFor(const std::function<bool(const Line&)>& matches, std::size_t from = 0,
            std::chrono::milliseconds deadline = std::chrono::seconds(10));
    std::optional<std::size_t>
    waitForWord(const std::string& word, std::size_t from = 0,
                std::chrono::milliseconds deadline = std::chrono::seconds(10));

    /// Every line read so far.
    const std::vector<Line>& lines();
    std::size_t mark() { return lines().size(); }

    /// Plugs the board and waits for its node; the node path, empty on failure.
    std::string plug(const std::string& options = {});
    /// Unplugs it, if plugged; true when it was.
    bool unplug();
    /// Makes the stand-in take every event the kernel queued for it.
    bool sync();
    /// The output reports (their bytes as the board saw them) logged after `from`.
    std::vector<std::vector<std::uint8_t>> outputsSince(std::size_t from);

private:
    void readNewLines();

    int control_ = -1;
    GrowingFile log_;
    std::vector<Line> lines_;
};

/// A measured fact, printed for the guest's scenario to gather into the stage's result.
void Figure(const std::string& what, double value, const char* unit = "ms");
/// The bytes of an "output" line's rest: "SIZE HEX HEX ...".
std::vector<std::uint8_t> OutputBytes(const std::string& rest);
/// How long the burst of a "burst-done COUNT MS" line took, in ms.
double BurstMs(const BoardControl::Line& line);
