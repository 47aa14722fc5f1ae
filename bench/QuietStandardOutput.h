#pragma once

#include <cstdio>
#include <unistd.h>

namespace bench {

/// Standard output goes to /dev/null while it lives: a station prints a banner per board.
class QuietStandardOutput {
public:
    QuietStandardOutput() : saved_(::dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        std::FILE* null = std::fopen("/dev/null", "w");
        if (null) {
            ::dup2(::fileno(null), STDOUT_FILENO);
            std::fclose(null);
        }
    }
    ~QuietStandardOutput() {
        std::fflush(stdout);
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

private:
    int saved_;
};

} // namespace bench
