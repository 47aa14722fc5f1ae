// Where the machine gives no netlink socket (some sandboxes), libudev cannot make a monitor
// and the source would run without one. Linked into a test program, these stand in for
// libudev's monitor functions: each hands a real monitor on to libudev, and only where none
// can be had makes a quiet one, whose descriptor never becomes readable. What the source does
// while its monitor runs is then tested on every machine.
#include <cerrno>
#include <dlfcn.h>
#include <libudev.h>
#include <mutex>
#include <set>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

struct QuietMonitor {
    int fd;
};

std::mutex quietMutex;
std::set<const void*> quietMonitors;

QuietMonitor* quiet(udev_monitor* monitor) {
    const std::lock_guard lock(quietMutex);
    return quietMonitors.count(monitor) ? reinterpret_cast<QuietMonitor*>(monitor) : nullptr;
}

/// libudev's own function of that name.
template <typename Function> Function Real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

udev_monitor* udev_monitor_new_from_netlink(udev* context, const char* name) {
    static const auto real =
        Real<udev_monitor* (*)(udev*, const char*)>("udev_monitor_new_from_netlink");
    if (udev_monitor* monitor = real(context, name)) return monitor;
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) return nullptr;
    auto* monitor = reinterpret_cast<udev_monitor*>(new QuietMonitor{fd});
    const std::lock_guard lock(quietMutex);
    quietMonitors.insert(monitor);
    return monitor;
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor* monitor, const char* subsystem,
                                                    const char* devtype) {
    static const auto real = Real<int (*)(udev_monitor*, const char*, const char*)>(
        "udev_monitor_filter_add_match_subsystem_devtype");
    return quiet(monitor) ? 0 : real(monitor, subsystem, devtype);
}

int udev_monitor_enable_receiving(udev_monitor* monitor) {
    static const auto real = Real<int (*)(udev_monitor*)>("udev_monitor_enable_receiving");
    return quiet(monitor) ? 0 : real(monitor);
}

int udev_monitor_get_fd(udev_monitor* monitor) {
    static const auto real = Real<int (*)(udev_monitor*)>("udev_monitor_get_fd");
    if (const QuietMonitor* stand = quiet(monitor)) return stand->fd;
    return real(monitor);
}

udev_device* udev_monitor_receive_device(udev_monitor* monitor) {
    static const auto real = Real<udev_device* (*)(udev_monitor*)>("udev_monitor_receive_device");
    if (quiet(monitor)) {
        errno = EAGAIN;
        return nullptr;
    }
    return real(monitor);
}

udev_monitor* udev_monitor_unref(udev_monitor* monitor) {
    static const auto real = Real<udev_monitor* (*)(udev_monitor*)>("udev_monitor_unref");
    if (QuietMonitor* stand = quiet(monitor)) {
        {
            const std::lock_guard lock(quietMutex);
            quietMonitors.erase(monitor);
        }
        ::close(stand->fd);
        delete stand;
        return nullptr;
    }
    return real(monitor);
}

} // extern "C"
