#include "tomlfile/TomlFile.h"

#include "tomlfile/TextBounds.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tomlfile {
namespace {

/// Closes the descriptor when the reading ends, however it ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string Reason(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::optional<std::string> ReadTomlFile(const std::string& path, TomlError& error,
                                        std::string_view noun) {
    const auto fail = [&](std::string message) {
        error = {path, 0, 0, std::move(message)};
        return std::nullopt;
    };
    const std::string what(noun);
    // Not blocking: opening a named pipe would wait for a writer.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return fail("cannot open the " + what + ": " + Reason(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return fail("cannot read the " + what + ": " + Reason(errno));
    if (S_ISDIR(status.st_mode)) return fail("this is a directory, not a TOML file");
    if (!S_ISREG(status.st_mode))
        return fail("cannot read the " + what + ": it is not a regular file");
    if (std::size_t(status.st_size) > LargestText) return fail(TooLarge(status.st_size, noun));
    // One byte past the most a text may be is enough to tell that it is too large.
    std::string text;
    char buffer[65536];
    while (text.size() <= LargestText) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("cannot read the " + what + ": " + Reason(errno));
        if (got == 0) break;
        text.append(buffer, std::size_t(got));
    }
    return text;
}

std::optional<toml::table> ParseToml(std::string_view text, const std::string& file,
                                     TomlError& error, std::string_view noun) {
    if (!WithinBounds(text, file, error, noun)) return std::nullopt;
    try {
        return toml::parse(text, std::string_view(file));
    } catch (const toml::parse_error& problem) {
        const toml::source_position at = problem.source().begin;
        error = {file, int(at.line), int(at.column), std::string(problem.description())};
        return std::nullopt;
    }
}

} // namespace tomlfile
