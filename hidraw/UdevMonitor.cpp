#include "hidraw/UdevMonitor.h"

#include <cerrno>
#include <cstring>
#include <libudev.h>

namespace hidraw {

std::unique_ptr<UdevMonitor> UdevMonitor::create(Handlers handlers) {
    udev* context = udev_new();
    if (!context) return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevMonitor>(new UdevMonitor(std::move(handlers), context, monitor));
}

UdevMonitor::UdevMonitor(Handlers handlers, udev* context, udev_monitor* monitor)
    : handlers_(std::move(handlers)), udev_(context), monitor_(monitor),
      notifier_(udev_monitor_get_fd(monitor), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { receive(); });
}

UdevMonitor::~UdevMonitor() {
    notifier_.setEnabled(false);
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
}

void UdevMonitor::receive() {
    bool arrived = false;
    bool changed = false;
    bool lost = false;
    // The monitor's socket is non-blocking: this takes what is there and returns.
    for (;;) {
        errno = 0;
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device) {
            // The socket overflowed: events were lost, so the enumeration has to tell.
            if (errno == ENOBUFS) {
                lost = true;
                continue;
            }
            if (errno == EINTR) continue;
            break;
        }
        const char* action = udev_device_get_action(device);
        const char* node = udev_device_get_devnode(device);
        if (action && std::strcmp(action, "remove") == 0) {
            if (node) handlers_.removed(node);
        } else if (action && std::strcmp(action, "add") == 0) {
            arrived = true;
        } else if (action && std::strcmp(action, "change") == 0) {
            changed = true;
        }
        udev_device_unref(device);
    }
    if (arrived || lost)
        handlers_.arrivedOrLost();
    else if (changed)
        handlers_.changed();
}

} // namespace hidraw
