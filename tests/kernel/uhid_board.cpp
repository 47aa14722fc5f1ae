// The board stand-in of the real-kernel stage: a uhid device driven by commands.
//
//   uhid_board --control FIFO --log FILE
//
// Reads one command a line from FIFO (made if missing, writable by anyone):
//   plug [report-id]               create the board (its reports numbered: report id 1)
//   unplug                         destroy it
//   unplug-after-output            destroy it as soon as the next output report came
//   ad N | bits N | text WORDS     what the board answers to A/D, input bits and text requests
//   burst COUNT RATE               send COUNT A/D answers at RATE a second, each numbered
//   mode OCTAL                     chmod the board's hidraw node
//   sync                           take every event the kernel has queued, then say "sync"
//   quit
// and appends what happens to FILE, one line each, after the CLOCK_MONOTONIC time in ms:
//   ready, plugged, node /dev/hidrawN, unplugged, open, close, output SIZE HEX..., sync,
//   burst-done COUNT MS, mode NODE OCTAL, error TEXT.
// A burst's report k carries k at bytes 2 to 5 (little-endian) and k % 256 as the A/D value.
// A burst is paced as an interrupt endpoint delivers: one report per 1/RATE s, and when the
// stand-in was held up, no more than a few back to back to catch up; a USB board cannot put
// dozens of reports into the kernel at once after the host missed its polls.
#include "StandInWire.h"
#include "UhidBoard.h"
#include "board/BoardFirmware.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double BurstCatchUp = 16; // reports a late burst may send back to back

class Controller {
public:
    explicit Controller(int logFd)
        : logFd_(logFd), board_([this](const std::string& line) { log(line); }) {}

    int boardFd() const { return board_.fd(); }
    bool running() const { return running_; }
    /// How long poll may sleep: briefly while a burst runs or a node is awaited.
    int pollTimeoutMs() const { return burstLeft() > 0 ? 1 : awaitingNode_ ? 5 : -1; }

    void log(const std::string& line) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%.3f ", MonotonicMs());
        const std::string text = stamp + line + "\n";
        [[maybe_unused]] const auto written = ::write(logFd_, text.data(), text.size());
    }

    void readEvents() {
        if (!unplugAfterOutput_) {
            board_.readEvents();
        } else if (board_.readEvents(UhidBoard::StopAfterOutput) > 0) {
            // Whatever the console wrote after that output now meets no board.
            destroy();
        }
    }

    void execute(const std::string& line) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "plug") {
            options_ = {};
            for (std::string word; words >> word;)
                options_.reportId = options_.reportId || word == "report-id";
            plug();
        } else if (command == "unplug") {
            unplug();
        } else if (command == "unplug-after-output") {
            unplugAfterOutput_ = true;
        } else if (command == "ad" || command == "bits") {
            int value = 0;
            words >> value;
            if (command == "ad")
                board_.setAdValue(static_cast<std::uint8_t>(value));
            else
                board_.setInputBits(static_cast<std::uint8_t>(value));
        } else if (command == "text") {
            std::string text;
            std::getline(words >> std::ws, text);
            board_.setAnswerText(text);
        } else if (command == "burst") {
            burstCount_ = 0;
            words >> burstCount_ >> burstRate_;
            burstSent_ = 0;
            burstStart_ = burstTick_ = MonotonicMs();
            burstCredit_ = 1;
        } else if (command == "mode") {
            setMode(words);
        } else if (command == "sync") {
            readEvents();
            log("sync");
        } else if (command == "quit") {
            running_ = false;
        } else if (!command.empty()) {
            log("error unknown command: " + line);
        }
    }

    /// Sends what the running burst owes by now and says when it is done.
    void continueBurst() {
        if (burstLeft() == 0) return;
        const double now = MonotonicMs();
        burstCredit_ = std::min(BurstCatchUp, burstCredit_ + (now - burstTick_) * burstRate_ / 1e3);
        burstTick_ = now;
        for (; burstCredit_ >= 1 && burstLeft() > 0; burstCredit_ -= 1) {
            std::array<std::uint8_t, UhidBoard::PayloadSize> payload{};
            payload[board::firmware::Command - 1] = board::firmware::ReadAdc;
            for (std::size_t i = 0; i < 4; ++i)
                payload[BurstNumberStart - 1 + i] =
                    static_cast<std::uint8_t>(burstSent_ >> (8 * i));
            payload[board::firmware::AdValue - 1] = static_cast<std::uint8_t>(burstSent_);
            if (!board_.sendInput(payload)) {
                burstCount_ = burstSent_;
                break;
            }
            ++burstSent_;
        }
        if (burstLeft() == 0) {
            char line[64];
            std::snprintf(line, sizeof line, "burst-done %ld %.1f", burstSent_,
                          MonotonicMs() - burstStart_);
            log(line);
        }
    }

    void lookForNode() {
        if (!awaitingNode_ || board_.node().empty()) return;
        awaitingNode_ = false;
        log("node " + board_.node());
    }

private:
    long burstLeft() const { return burstCount_ - burstSent_; }

    void plug() {
        if (!board_.plug(options_)) return;
        awaitingNode_ = true;
        log("plugged");
    }

    void unplug() {
        // Outputs already queued for the board are logged before it goes.
        board_.readEvents();
        destroy();
    }

    void destroy() {
        if (board_.unplug()) log("unplugged");
        awaitingNode_ = false;
        unplugAfterOutput_ = false;
        burstCount_ = burstSent_;
    }

    void setMode(std::istringstream& words) {
        std::string octal;
        words >> octal;
        const std::string& node = board_.node();
        if (node.empty() || ::chmod(node.c_str(), std::stoul(octal, nullptr, 8)) != 0) {
            log("error cannot chmod " + node + ": " + std::strerror(errno));
            return;
        }
        log("mode " + node + " " + octal);
    }

    int logFd_;
    UhidBoard board_;
    UhidBoard::Options options_;
    bool running_ = true;
    bool awaitingNode_ = false;
    bool unplugAfterOutput_ = false;
    long burstCount_ = 0;
    long burstSent_ = 0;
    double burstRate_ = 0;
    double burstStart_ = 0;
    double burstTick_ = 0;   ///< when the credit was last topped up
    double burstCredit_ = 0; ///< reports the burst may send now
};

int openControl(const std::string& path) {
    if (::mkfifo(path.c_str(), 0666) != 0 && errno != EEXIST) return -1;
    ::chmod(path.c_str(), 0666); // whatever the umask: the console may run as another user
    // Read-write, so that the FIFO never reports end of file between two writers.
    return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

int main(int argc, char** argv) {
    std::string controlPath;
    std::string logPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--control") == 0)
            controlPath = argv[i + 1];
        else if (std::strcmp(argv[i], "--log") == 0)
            logPath = argv[i + 1];
    }
    if (controlPath.empty() || logPath.empty()) {
        std::fprintf(stderr, "usage: %s --control FIFO --log FILE\n", argv[0]);
        return 2;
    }
    const int control = openControl(controlPath);
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (control < 0 || logFd < 0) {
        std::perror("uhid_board");
        return 1;
    }
    Controller controller(logFd);
    if (controller.boardFd() < 0) return 1;
    controller.log("ready");

    std::string pending;
    while (controller.running()) {
        pollfd fds[2] = {{controller.boardFd(), POLLIN, 0}, {control, POLLIN, 0}};
        ::poll(fds, 2, controller.pollTimeoutMs());
        if (fds[0].revents & POLLIN) controller.readEvents();
        if (fds[1].revents & POLLIN) {
            char buffer[4096];
            ssize_t size;
            while ((size = ::read(control, buffer, sizeof buffer)) > 0)
                pending.append(buffer, static_cast<std::size_t>(size));
            for (std::size_t end;
                 controller.running() && (end = pending.find('\n')) != pending.npos;) {
                controller.execute(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
        controller.lookForNode();
        controller.continueBurst();
    }
    return 0;
}
