#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>

struct udev;
struct udev_monitor;

namespace hidraw {

/// libudev's monitor on the "udev" source (events after udev's rules have run, so a node's
/// permissions are set), subsystem hidraw, watched on the GUI thread. What it hears in one
/// look is told through the handlers, removals one by one, then at most one of the others.
class UdevMonitor {
public:
    struct Handlers {
        std::function<void(const std::string& node)> removed;
        /// A device was added, or events were lost (the socket overflowed): look again.
        std::function<void()> arrivedOrLost;
        /// A device changed (udevadm trigger): its node's rights may be new.
        std::function<void()> changed;
    };

    /// Null where no monitor can be made (no netlink socket, as in some sandboxes).
    static std::unique_ptr<UdevMonitor> create(Handlers handlers);
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

private:
    UdevMonitor(Handlers handlers, udev* context, udev_monitor* monitor);
    void receive();

    Handlers handlers_;
    udev* udev_;
    udev_monitor* monitor_;
    QSocketNotifier notifier_;
};

} // namespace hidraw
