#include "BoardControl.h"

#include "support/EventLoop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

} // namespace

void Figure(const std::string& what, double value, const char* unit) {
    std::printf("figure: %s: %.0f %s\n", what.c_str(), value, unit);
    std::fflush(stdout);
}

std::vector<std::uint8_t> OutputBytes(const std::string& rest) {
    std::istringstream words(rest);
    std::size_t size = 0;
    words >> size;
    std::vector<std::uint8_t> bytes;
    for (unsigned value; bytes.size() < size && words >> std::hex >> value;)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

BoardControl::BoardControl()
    : control_(::open(environment("ZOV_BOARD_CONTROL").c_str(), O_WRONLY | O_CLOEXEC)),
      log_(environment("ZOV_BOARD_LOG"), true) {
    if (control_ < 0 || !log_.exists())
        throw std::runtime_error("the board stand-in is not running");
}

BoardControl::~BoardControl() {
    if (control_ >= 0) ::close(control_);
}

void BoardControl::send(const std::string& command) {
    const std::string line = command + "\n";
    [[maybe_unused]] const auto written = ::write(control_, line.data(), line.size());
}

void BoardControl::readNewLines() {
    for (const std::string& text : log_.newLines()) {
        std::istringstream words(text);
        Line line;
        words >> line.monotonicMs >> line.word;
        std::getline(words >> std::ws, line.rest);
        lines_.push_back(std::move(line));
    }
}

const std::vector<BoardControl::Line>& BoardControl::lines() {
    readNewLines();
    return lines_;
}

std::optional<std::size_t> BoardControl::waitFor(const std::function<bool(const Line&)>& matches,
                                                 std::size_t from,
                                                 std::chrono::milliseconds deadline) {
    std::optional<std::size_t> found;
    testsupport::WaitUntil(
        [&] {
            const auto& all = lines();
            for (std::size_t i = from; i < all.size(); ++i)
                if (matches(all[i])) {
                    found = i;
                    return true;
                }
            return false;
        },
        deadline);
    return found;
}

std::optional<std::size_t> BoardControl::waitForWord(const std::string& word, std::size_t from,
                                                     std::chrono::milliseconds deadline) {
    return waitFor([&](const Line& line) { return line.word == word; }, from, deadline);
}

std::string BoardControl::plug(const std::string& options) {
    const std::size_t from = mark();
    send("plug " + options);
    const auto node =
        waitFor([](const Line& line) { return line.word == "node" || line.word == "error"; }, from);
    if (!node || lines_[*node].word != "node") return {};
    return lines_[*node].rest;
}

bool BoardControl::apply(const std::string& command) {
    send(command);
    // The stand-in takes its commands in order and answers every sync, plugged or not.
    return sync();
}

bool BoardControl::unplug() {
    const std::size_t from = mark();
    if (!apply("unplug")) return false;
    const auto& all = lines();
    return std::any_of(all.begin() + static_cast<std::ptrdiff_t>(from), all.end(),
                       [](const Line& line) { return line.word == "unplugged"; });
}

bool BoardControl::sync() {
    const std::size_t from = mark();
    send("sync");
    return waitForWord("sync", from).has_value();
}

std::vector<std::vector<std::uint8_t>> BoardControl::outputsSince(std::size_t from) {
    std::vector<std::vector<std::uint8_t>> outputs;
    const auto& all = lines();
    for (std::size_t i = from; i < all.size(); ++i)
        if (all[i].word == "output") outputs.push_back(OutputBytes(all[i].rest));
    return outputs;
}

double BurstMs(const BoardControl::Line& line) {
    std::istringstream words(line.rest);
    long count = 0;
    double ms = 0;
    words >> count >> ms;
    return ms;
}
