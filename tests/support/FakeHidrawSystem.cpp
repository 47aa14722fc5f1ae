#include "support/FakeHidrawSystem.h"

#include "hidraw/UsbPort.h"
#include "support/BoardNode.h"
#include "support/FakeHidrawNode.h"
#include "support/FakeSysfs.h"

#include <algorithm>
#include <unistd.h>

namespace testsupport {

FakeHidrawSystem::~FakeHidrawSystem() {
    for (const auto& [node, fd] : boardEnd)
        ::close(fd);
}

hidraw::HidrawBackend FakeHidrawSystem::backend() {
    hidraw::HidrawBackend backend = FakeHidrawBackend(
        [this] {
            const std::lock_guard lock(mutex);
            callers.insert(std::this_thread::get_id());
            ++enumerations;
            return attached;
        },
        [this](const std::string& node) {
            const int answer = openNow(node);
            if (beforeAnswer) beforeAnswer(node);
            return answer;
        });
    backend.usbPort = [this](const std::string& node) {
        const std::lock_guard lock(mutex);
        callers.insert(std::this_thread::get_id());
        return hidraw::UsbPort(node, sysfsRoot_);
    };
    backend.describe = [this](int fd, hidraw::NodeDetails& answer) {
        const std::lock_guard lock(mutex);
        callers.insert(std::this_thread::get_id());
        const std::string& node = nodeOf.at(fd);
        if (const int error = describeErrors[node]) return -error;
        if (!details.count(node)) return DescribeAsBoard(fd, answer);
        answer = details.at(node);
        return 0;
    };
    backend.calls = ScriptedCalls(script);
    backend.warn = [this](const std::string& line) { warnings.push_back(line); };
    return backend;
}

int FakeHidrawSystem::openNow(const std::string& node) {
    const std::lock_guard lock(mutex);
    callers.insert(std::this_thread::get_id());
    ++attempts[node];
    auto& errors = openErrors[node];
    if (!errors.empty()) {
        const int error = errors.front();
        if (errors.size() > 1) errors.pop_front(); // the last error stays
        return -error;
    }
    int fresh = -1;
    const int console = OpenFakeHidrawNode(fresh);
    if (console < 0) return console;
    if (boardEnd.count(node)) ::close(boardEnd[node]);
    boardEnd[node] = fresh;
    nodeOf[console] = node;
    opened.push_back(node);
    return console;
}

void FakeHidrawSystem::list(std::vector<hid::DeviceInfo> devices) {
    const std::lock_guard lock(mutex);
    attached = std::move(devices);
}

void FakeHidrawSystem::plug(const hid::DeviceInfo& device) {
    const std::lock_guard lock(mutex);
    attached.push_back(device);
}

void FakeHidrawSystem::placeOnPort(const std::string& node, const std::string& port) {
    const std::lock_guard lock(mutex);
    LayOutHidrawNode(sysfsRoot_, node,
                     "pci0000:00/0000:00:14.0/usb1/" + port + "/" + port + ":1.0/0003:1234:0001." +
                         std::filesystem::path(node).filename().string());
}

void FakeHidrawSystem::unplug(const std::string& node) {
    const std::lock_guard lock(mutex);
    std::erase_if(attached, [&](const hid::DeviceInfo& info) { return info.path == node; });
}

void FakeHidrawSystem::failOpens(const std::string& node, std::deque<int> errors) {
    const std::lock_guard lock(mutex);
    openErrors[node] = std::move(errors);
}

void FakeHidrawSystem::failDescribes(const std::string& node, int error) {
    const std::lock_guard lock(mutex);
    describeErrors[node] = error;
}

int FakeHidrawSystem::attemptsAt(const std::string& node) {
    const std::lock_guard lock(mutex);
    return attempts[node];
}

int FakeHidrawSystem::enumerationCount() {
    const std::lock_guard lock(mutex);
    return enumerations;
}

void FakeHidrawSystem::closeBoardEnd(const std::string& node) {
    const std::lock_guard lock(mutex);
    ::close(boardEnd.at(node));
    boardEnd.erase(node);
}

} // namespace testsupport
