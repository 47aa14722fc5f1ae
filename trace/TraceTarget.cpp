#include "trace/TraceTarget.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trace {
namespace {

/// The program's own descriptor a trace name stands for, or -1 for a name to open.
int StandardDescriptor(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    return -1;
}

/// Opens `path` for writing without waiting: without O_NONBLOCK, opening a named pipe waits
/// until a reader opens it, and a serial line until its carrier comes. Nothing is emptied
/// here, as it is not yet known what `path` is. `throughLink` tells whether a symbolic link
/// was followed.
hid::OwnedDescriptor OpenByName(const std::string& path, bool& throughLink) {
    constexpr int Flags = O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    hid::OwnedDescriptor fd(::open(path.c_str(), Flags | O_CREAT | O_NOFOLLOW, 0644));
    throughLink = !fd.valid() && errno == ELOOP;
    if (throughLink) fd = hid::OwnedDescriptor(::open(path.c_str(), Flags));
    return fd;
}

/// Why `path` could not be opened, `error` being open(2)'s answer.
std::string WhyNotOpened(const std::string& path, int error) {
    struct stat status {};
    // A named pipe without a reader answers ENXIO to a non-blocking open for writing.
    if (error == ENXIO && ::stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode))
        return "nobody reads the pipe; start its reader first";
    return std::strerror(error);
}

bool IsDeviceNode(const struct stat& status, const char* node) {
    struct stat known {};
    return ::stat(node, &known) == 0 && S_ISCHR(known.st_mode) && known.st_rdev == status.st_rdev;
}

/// Why a trace may not go to the open `fd`; empty when it may.
std::string Unsuitable(int fd, const struct stat& status) {
    if (S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return {};
    if (!S_ISCHR(status.st_mode)) return "it is not a file, pipe, socket or terminal";
    if (::isatty(fd) || IsDeviceNode(status, "/dev/null") || IsDeviceNode(status, "/dev/full"))
        return {};
    return "it is a device, not a file, pipe, socket or terminal; a board's hidraw node would "
           "take the lines as output reports";
}

} // namespace

TraceTarget OpenTraceTarget(const std::string& path, std::string& error) {
    TraceTarget target;
    const int standard = StandardDescriptor(path);
    bool throughLink = false;
    target.fd = standard >= 0 ? hid::OwnedDescriptor(::fcntl(standard, F_DUPFD_CLOEXEC, 0))
                              : OpenByName(path, throughLink);
    if (!target.fd.valid()) {
        error = WhyNotOpened(path, errno);
        return {};
    }
    struct stat status {};
    if (::fstat(target.fd.get(), &status) != 0) {
        error = std::strerror(errno);
        return {};
    }
    if (throughLink && S_ISREG(status.st_mode)) {
        error = "it is a symbolic link to a file; give the file's own name (or - for standard "
                "output)";
        return {};
    }
    error = Unsuitable(target.fd.get(), status);
    if (!error.empty()) return {};
    target.regularFile = S_ISREG(status.st_mode);
    // Standard output is written where the shell left it; a file named for the trace starts
    // empty.
    if (target.regularFile && standard < 0 && ::ftruncate(target.fd.get(), 0) != 0) {
        error = std::strerror(errno);
        return {};
    }
    return target;
}

} // namespace trace
