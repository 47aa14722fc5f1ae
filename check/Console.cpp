#include "check/Console.h"

#include <unistd.h>

namespace check {

Console& Console::standard() {
    static Console console(stdout);
    return console;
}

void Console::write(const std::string& text) {
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
}

void Console::print(const std::string& text) {
    const std::lock_guard lock(mutex_);
    if (waiting_.empty()) return write(text);
    const bool terminal = ::isatty(::fileno(out_)) == 1;
    write((terminal ? "\r\033[K" : "\n") + text + waiting_);
}

void Console::ask(const std::string& question) {
    const std::lock_guard lock(mutex_);
    write(question);
    waiting_ = question;
}

void Console::answered() {
    const std::lock_guard lock(mutex_);
    waiting_.clear();
}

} // namespace check
