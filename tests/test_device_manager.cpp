// The HID layer: handles, events, input queues and writes, fed by a scripted device source.
#include "hid/DeviceManager.h"
#include "hid/HidEvent.h"
#include "hid/ReportObserver.h"
#include "support/EventLoop.h"
#include "support/EventRecorder.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <list>

namespace {

using testsupport::DrainEvents;
using testsupport::EventRecorder;

struct ScriptedDevice final : hid::Device {
    explicit ScriptedDevice(hid::DeviceInfo info) : details(std::move(info)) {}
    const hid::DeviceInfo& info() const override { return details; }
    hid::WriteResult write(const hid::Report& report) override {
        written.push_back(report);
        return writeAnswer;
    }
    hid::DeviceInfo details;
    std::vector<hid::Report> written;
    hid::WriteResult writeAnswer = hid::WriteResult::Sent;
};

/// A source whose devices come and go when the test says so.
struct ScriptedSource final : hid::DeviceSource {
    void start(hid::DeviceEvents& sink) override {
        events = &sink;
        for (auto& device : devices)
            events->deviceArrived(device);
    }
    ScriptedDevice& add(int vendorId, int productId, std::string product = "Board") {
        ScriptedDevice& device = devices.emplace_back(
            hid::DeviceInfo{vendorId, productId, "ZOV", std::move(product), "S1", "", "", {}});
        if (events) events->deviceArrived(device);
        return device;
    }
    void remove(ScriptedDevice& device) {
        events->deviceRemoved(device);
        devices.remove_if([&](const ScriptedDevice& d) { return &d == &device; });
    }
    void send(ScriptedDevice& device, std::uint8_t marker) {
        hid::Report report{};
        report[1] = marker;
        events->reportReceived(device, report);
    }
    hid::DeviceEvents* events = nullptr;
    std::list<ScriptedDevice> devices;
};

class Layer : public ::testing::Test {
protected:
    explicit Layer(std::size_t queueLimit = hid::DeviceManager::DefaultQueueLimit)
        : layer(queueLimit) {
        auto owned = std::make_unique<ScriptedSource>();
        source = owned.get();
        layer.addSource(std::move(owned));
    }
    std::vector<std::string> events() {
        DrainEvents();
        auto log = window.log();
        window.clear();
        return log;
    }

    hid::DeviceManager layer;
    ScriptedSource* source;
    EventRecorder window;
};

TEST_F(Layer, ConnectAnnouncesEveryAttachedDeviceThenOneChange) {
    source->add(0x1234, 1);
    source->add(0x046d, 0xc077);
    layer.Connect(&window);
    EXPECT_EQ(events(), (std::vector<std::string>{"window 1:1", "window 1:2", "window 3:0"}));
}

TEST_F(Layer, ArrivalAndRemovalPostPluggedOrUnpluggedThenChanged) {
    layer.Connect(&window);
    events();
    ScriptedDevice& board = source->add(0x1234, 1);
    EXPECT_EQ(events(), (std::vector<std::string>{"window 1:1", "window 3:0"}));
    source->remove(board);
    EXPECT_EQ(events(), (std::vector<std::string>{"window 2:1", "window 3:0"}));
}

TEST_F(Layer, AnUnusableDeviceIsToldToEveryProblemObserverAndNeverAnnounced) {
    struct Collector final : hid::DeviceProblemObserver {
        void deviceProblem(const hid::DeviceProblem& problem) override {
            nodes.push_back(problem.node);
        }
        std::vector<std::string> nodes;
    } first, second;
    layer.addProblemObserver(first);
    layer.addProblemObserver(second);
    layer.Connect(&window);
    events();
    source->events->deviceUnusable({hid::DeviceProblem::Kind::NoPermission, "/dev/hidraw7", "why"});
    EXPECT_EQ(first.nodes, std::vector<std::string>{"/dev/hidraw7"});
    EXPECT_EQ(second.nodes, std::vector<std::string>{"/dev/hidraw7"});
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(layer.GetItemCount(), 0);
}

TEST_F(Layer, ListObserversSeeEachArrivalAndRemovalWithTheDetailsAlreadyInPlace) {
    struct Watcher final : hid::DeviceListObserver {
        void devicesChanged() override {
            const hid::Handle handle = layer->GetHandle(0x1234, 1);
            const hid::DeviceInfo* info = layer->deviceInfo(handle);
            seen.push_back(info ? info->product : "none");
        }
        hid::DeviceManager* layer = nullptr;
        std::vector<std::string> seen;
    } watcher;
    watcher.layer = &layer;
    layer.addDeviceListObserver(watcher);
    ScriptedDevice& board = source->add(0x1234, 1, "Board A");
    source->remove(board);
    layer.removeDeviceListObserver(watcher);
    source->add(0x1234, 1, "Board B");
    EXPECT_EQ(watcher.seen, (std::vector<std::string>{"Board A", "none"}));
    EXPECT_EQ(layer.deviceInfo(0), nullptr);
}

TEST_F(Layer, HandlesArePositiveUniqueAndNeverReused) {
    ScriptedDevice& first = source->add(0x1234, 1);
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 1);
    source->remove(first);
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 0);
    source->add(0x1234, 1);
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 2);
    // The departed handle still answers its ids, for the unplug handler.
    EXPECT_EQ(layer.GetVendorID(1), 0x1234);
    EXPECT_EQ(layer.GetProductID(1), 1);
    EXPECT_EQ(layer.GetVendorID(99), 0);
}

TEST_F(Layer, CountsEveryDeviceAndFindsTheEarliestBoard) {
    source->add(0x046d, 0xc077);
    source->add(0x1234, 1, "First");
    source->add(0x1234, 1, "Second");
    EXPECT_EQ(layer.GetItemCount(), 3);
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 2);
    EXPECT_EQ(layer.GetHandle(0x1234, 2), 0);
}

TEST_F(Layer, NamesAreCutToTheBufferAndEmptyForAnUnknownHandle) {
    source->add(0x1234, 1, "ZOV-USB Board");
    std::array<char, 8> small;
    EXPECT_TRUE(layer.GetProductName(1, small));
    EXPECT_STREQ(small.data(), "ZOV-USB");
    std::array<char, 255> name;
    EXPECT_TRUE(layer.GetVendorName(1, name));
    EXPECT_STREQ(name.data(), "ZOV");
    EXPECT_FALSE(layer.GetVendorName(42, name));
    EXPECT_STREQ(name.data(), "");
}

TEST_F(Layer, ReportsAreQueuedOnlyAfterReadNotifyAndReadOldestFirst) {
    layer.Connect(&window);
    ScriptedDevice& board = source->add(0x1234, 1);
    events();
    source->send(board, 10); // before SetReadNotify: not kept
    EXPECT_TRUE(layer.SetReadNotify(1, true));
    source->send(board, 11);
    source->send(board, 12);
    EXPECT_EQ(events(), (std::vector<std::string>{"window 4:1", "window 4:1"}));
    hid::Report report{};
    ASSERT_TRUE(layer.Read(1, report));
    EXPECT_EQ(report[1], 11);
    ASSERT_TRUE(layer.Read(1, report));
    EXPECT_EQ(report[1], 12);
    EXPECT_FALSE(layer.Read(1, report));
}

TEST_F(Layer, ReadAnswersFalseForHandleZeroAndUnknownHandles) {
    source->add(0x1234, 1);
    hid::Report report{};
    report.fill(0xAA);
    EXPECT_FALSE(layer.Read(0, report));
    EXPECT_FALSE(layer.Read(5, report));
    EXPECT_FALSE(layer.SetReadNotify(5, true));
    EXPECT_EQ(report[0], 0xAA); // untouched
}

TEST_F(Layer, DisconnectStopsAllEventsAndMayBeRepeated) {
    layer.Connect(&window);
    ScriptedDevice& board = source->add(0x1234, 1);
    layer.SetReadNotify(1, true);
    events();
    EXPECT_TRUE(layer.Disconnect());
    EXPECT_TRUE(layer.Disconnect());
    EXPECT_TRUE(layer.Disconnect());
    source->send(board, 1);
    source->add(0x1234, 1);
    source->remove(board);
    EXPECT_TRUE(events().empty());
    hid::Report report{};
    EXPECT_FALSE(layer.Read(1, report));
}

TEST_F(Layer, WriteGoesToTheBoardAndFailsWithoutOne) {
    hid::Report report{};
    report[1] = 50;
    EXPECT_FALSE(layer.WriteEx(0x1234, 1, report));
    source->add(0x046d, 0xc077);
    ScriptedDevice& board = source->add(0x1234, 1);
    EXPECT_TRUE(layer.WriteEx(0x1234, 1, report));
    ASSERT_EQ(board.written.size(), 1u);
    EXPECT_EQ(board.written[0], report);
    EXPECT_TRUE(source->devices.front().written.empty());
    board.writeAnswer = hid::WriteResult::Failed;
    EXPECT_FALSE(layer.WriteEx(0x1234, 1, report));
}

/// Writes down what the layer tells its observers, one word per report.
struct DirectionLog final : hid::ReportObserver {
    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override {
        lines.push_back(std::string(hid::traceWord(direction)) + " " + std::to_string(handle) +
                        " " + std::to_string(report[1]));
    }
    void reportsLost(hid::Handle handle, std::uint64_t count) override {
        lines.push_back("lost " + std::to_string(handle) + " " + std::to_string(count));
    }
    std::vector<std::string> lines;
};

// A write is observed once, by what became of it: only one that left is 'out'; one that
// failed or was refused is observed as such, and a queued one when its write completes.
TEST_F(Layer, EveryWriteIsObservedOnceByWhatBecameOfIt) {
    DirectionLog log;
    layer.addObserver(log);
    ScriptedDevice& board = source->add(0x1234, 1);
    hid::Report report{};
    const auto write = [&](hid::WriteResult answer, std::uint8_t marker) {
        board.writeAnswer = answer;
        report[1] = marker;
        return layer.WriteEx(0x1234, 1, report);
    };
    EXPECT_TRUE(write(hid::WriteResult::Sent, 1));
    EXPECT_FALSE(write(hid::WriteResult::Refused, 2)); // its write queue is full
    EXPECT_FALSE(write(hid::WriteResult::Failed, 3));
    EXPECT_TRUE(write(hid::WriteResult::Queued, 4));
    EXPECT_TRUE(write(hid::WriteResult::Queued, 5));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"out 1 1", "refuse 1 2", "fail 1 3"}))
        << "a queued report is observed when its write completes, not before";

    report[1] = 5;
    source->events->writeCompleted(board, report, false, ETIMEDOUT);
    report[1] = 4;
    source->events->writeCompleted(board, report, true, 0);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"out 1 1", "refuse 1 2", "fail 1 3", "fail 1 5",
                                                   "out 1 4"}));
    EXPECT_EQ(layer.refusedReports(), 1u);
    EXPECT_EQ(layer.failedReports(), 2u);
    EXPECT_EQ(layer.GetHandle(0x1234, 1), 1) << "a failed write leaves the board attached";
    layer.removeObserver(log);
}

// Reports a device read but could not hand over are counted as dropped and observed, so the
// board monitor's dropped count includes them.
TEST_F(Layer, ReportsADeviceLostAreCountedAsDroppedAndObserved) {
    DirectionLog log;
    layer.addObserver(log);
    source->add(0x1234, 1);
    ScriptedDevice& second = source->add(0x1234, 1);
    source->events->reportsLost(second, 7);
    EXPECT_EQ(layer.droppedReports(), 7u);
    EXPECT_EQ(log.lines, std::vector<std::string>{"lost 2 7"});
    layer.removeObserver(log);
}

// Reports still queued when the board leaves are counted as dropped.
TEST_F(Layer, ReportsLeftUnreadAreCountedAsDropped) {
    layer.Connect(&window);
    ScriptedDevice& board = source->add(0x1234, 1);
    layer.SetReadNotify(1, true);
    source->send(board, 1);
    source->send(board, 2);
    source->remove(board);
    hid::Report report{};
    EXPECT_FALSE(layer.Read(1, report));
    EXPECT_EQ(layer.droppedReports(), 2u);

    ScriptedDevice& again = source->add(0x1234, 1);
    layer.SetReadNotify(2, true);
    source->send(again, 3);
    layer.Disconnect();
    EXPECT_EQ(layer.droppedReports(), 3u);
}

class SmallQueue : public Layer {
protected:
    static constexpr std::size_t Limit = 4;
    SmallQueue() : Layer(Limit) {}
};

// A layer only observed used to count every input report as dropped: nobody reads its queues,
// so nothing is queued, nothing is lost, and the observers took each report as it came.
TEST_F(SmallQueue, AnObservedLayerNobodyReadsQueuesAndDropsNothing) {
    DirectionLog log;
    layer.addObserver(log);
    ScriptedDevice& board = source->add(0x1234, 1);
    for (int marker = 0; marker < 100 * int(Limit); ++marker)
        source->send(board, std::uint8_t(marker));
    EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                            [](const std::string& line) { return line.starts_with("in 1 "); }),
              100 * Limit);
    EXPECT_EQ(log.lines.size(), 100 * Limit) << "nothing but 'in'";
    EXPECT_EQ(layer.droppedReports(), 0u);
    EXPECT_EQ(layer.queuedReports(1), 0u);
    layer.removeObserver(log);
}

// Whoever asked for reports loses, counted and traced, the oldest of a full queue, and a reader
// of the layer (a connected window, or a Read() caller) also what came before it asked.
TEST(LayerReaders, ReportsAReaderAskedForAndLostAreDroppedAndObserved) {
    const struct {
        const char* reader;
        std::function<void(hid::DeviceManager&, QObject&)> use;
        std::vector<std::string> drops;
    } cases[] = {
        {"read notification alone", [](hid::DeviceManager&, QObject&) {}, {"drop 1 2", "drop 1 3"}},
        {"a connected window",
         [](hid::DeviceManager& layer, QObject& window) { layer.Connect(&window); },
         {"drop 1 1", "drop 1 2", "drop 1 3"}},
        {"a Read() caller",
         [](hid::DeviceManager& layer, QObject&) {
             hid::Report report{};
             layer.Read(0, report);
         },
         {"drop 1 1", "drop 1 2", "drop 1 3"}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.reader);
        hid::DeviceManager layer(4);
        auto owned = std::make_unique<ScriptedSource>();
        ScriptedSource& source = *owned;
        layer.addSource(std::move(owned));
        DirectionLog log;
        layer.addObserver(log);
        QObject window;
        ScriptedDevice& board = source.add(0x1234, 1);
        each.use(layer, window);
        source.send(board, 1); // before read notification
        layer.SetReadNotify(1, true);
        for (std::uint8_t marker = 2; marker <= 7; ++marker) // two more than the queue holds
            source.send(board, marker);
        std::vector<std::string> drops;
        std::copy_if(log.lines.begin(), log.lines.end(), std::back_inserter(drops),
                     [](const std::string& line) { return line.starts_with("drop "); });
        EXPECT_EQ(drops, each.drops);
        EXPECT_EQ(layer.droppedReports(), each.drops.size());
        hid::Report report{};
        for (std::uint8_t expected = 4; expected <= 7; ++expected) {
            ASSERT_TRUE(layer.Read(1, report));
            EXPECT_EQ(report[1], expected);
        }
        layer.removeObserver(log);
        DrainEvents();
    }
}

} // namespace
