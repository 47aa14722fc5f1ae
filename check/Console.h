#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace check {

/// Standard output as the station's sockets, the records' thread and the operator's questions
/// share it: each text is printed whole, from any thread. A question waiting for its answer
/// stays last: a text printed meanwhile goes above its answer's line (on a terminal that line
/// is cleared first, elsewhere the text starts on a line of its own), and the question is
/// asked again below it.
class Console {
public:
    explicit Console(std::FILE* out) : out_(out) {}
    /// The console on standard output.
    static Console& standard();

    /// Prints `text`, whole lines, each ending with '\n'.
    void print(const std::string& text);
    /// Prints a question whose answer is typed after it, on its last line; it stays last until
    /// answered.
    void ask(const std::string& question);
    /// The question was answered (the terminal's echo of Enter ended its line) or withdrawn.
    void answered();

private:
    void write(const std::string& text);

    std::mutex mutex_;
    std::FILE* const out_;
    std::string waiting_; ///< the question waiting for its answer
};

} // namespace check
