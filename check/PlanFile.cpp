#include "check/PlanFile.h"

#include "check/PlanTextBounds.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace check {
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

std::optional<std::string> ReadPlanFile(const std::string& path, PlanError& error) {
    const auto fail = [&](std::string message) {
        error = {path, 0, 0, std::move(message)};
        return std::nullopt;
    };
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return fail("cannot open the plan: " + Reason(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISDIR(status.st_mode))
        return fail("this is a directory; give the plan's TOML file");
    // One byte past the most a plan may be is enough to tell that it is too large.
    std::string text;
    char buffer[65536];
    while (text.size() <= MostPlanBytes) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail("cannot read the plan: " + Reason(errno));
        if (got == 0) break;
        text.append(buffer, std::size_t(got));
    }
    return text;
}

} // namespace check
