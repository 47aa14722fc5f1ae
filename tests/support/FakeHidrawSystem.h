#pragma once

#include "hidraw/HidrawBackend.h"
#include "support/ScriptedNode.h"

#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

/// The system as a hidraw source sees it: an enumeration the test edits, a sysfs tree that
/// gives the nodes placed on a USB port their port, nodes that open as fake hidraw nodes (or
/// fail as told), and the lines the operator would read. The source calls enumerate, usbPort,
/// open and describe from its call thread: they, and what the test changes while the source
/// may be calling them, hold the mutex.
struct FakeHidrawSystem {
    std::mutex mutex;
    std::vector<hid::DeviceInfo> attached;
    std::map<std::string, std::deque<int>> openErrors; // errno per attempt, then success
    std::vector<std::string> opened;                   // every successful open, by node
    std::map<std::string, int> attempts;               // every open, by node
    std::map<std::string, int> boardEnd;               // the test's end of each opened node
    std::map<int, std::string> nodeOf;                 // the console's end of each, by descriptor
    std::map<std::string, hidraw::NodeDetails>
        details;                               // what an open node answers, if not the board
    std::map<std::string, int> describeErrors; // errno an open node answers instead, if any
    std::vector<std::string> warnings;
    std::shared_ptr<NodeScript> script = std::make_shared<NodeScript>();
    int enumerations = 0;
    std::set<std::thread::id> callers; // the threads that enumerated, opened or asked a node
    /// Runs in every open once its answer is known, without the mutex: an open that waits.
    /// Set it before the source may open.
    std::function<void(const std::string& node)> beforeAnswer;

    ~FakeHidrawSystem();

    hidraw::HidrawBackend backend();

    void list(std::vector<hid::DeviceInfo> devices);
    void plug(const hid::DeviceInfo& device);
    /// The node's device is on the USB port `port` ("1-1.2") from now on, as sysfs tells it.
    void placeOnPort(const std::string& node, const std::string& port);
    void unplug(const std::string& node);
    void failOpens(const std::string& node, std::deque<int> errors);
    void allowOpens(const std::string& node) { failOpens(node, {}); }
    /// The node's ids and descriptor ask fail with `error` from now on (0: they answer).
    void failDescribes(const std::string& node, int error);
    int attemptsAt(const std::string& node);
    int enumerationCount();
    void closeBoardEnd(const std::string& node);

private:
    int openNow(const std::string& node);

    QTemporaryDir sysfs_;
    const std::string sysfsRoot_ = sysfs_.path().toStdString();
};

} // namespace testsupport
