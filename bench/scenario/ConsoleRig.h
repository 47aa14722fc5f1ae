#pragma once

#include "bench/scenario/Measuring.h"
#include "bench/scenario/ReportCounter.h"
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "hid/HIDDLLInterface.h"
#include "monitor/BoardMonitor.h"
#include "protocol/ReportLayout.h"
#include "support/SocketBoard.h"
#include "window/MainForm.h"

#include <QObject>
#include <cstdint>
#include <memory>

namespace bench {

/// Who reads the reports: the console's window, or nothing but a bare reader that takes each
/// report out of the layer and drops it, which shows what the layer costs alone.
enum class Reader { Window, LayerAlone };
/// Where the reports come from: the virtual board on the GUI thread, or a socket pair standing
/// in for a hidraw node, fed by a thread of its own and read by the device's I/O.
enum class Feed { VirtualBoard, Socket };

/// The bare reader: on each Read event it takes the report out of the layer and drops it.
class FloorReader final : public QObject, public hid::HidEventSink {
public:
    explicit FloorReader(hid::HidLayer& layer) : layer_(layer), router_(layer, *this) {
        router_.AttachHID(this);
    }
    ~FloorReader() override { router_.DetachHID(); }

    void OnPlugged(hid::Handle) override {}
    void OnUnplugged(hid::Handle) override {}
    void OnChanged() override {
        layer_.SetReadNotify(layer_.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID),
                             true);
    }
    void OnRead(hid::Handle handle) override {
        hid::Report report;
        layer_.Read(handle, report);
    }

private:
    hid::HidLayer& layer_;
    hid::HIDDLLInterface router_;
};

/// The program's own arrangement: the real HID layer with a board as its source and the
/// window shown (offscreen) and online; or the same layer read by the bare reader.
struct ConsoleRig {
    ReportCounter counter; // outlives the layer that tells it
    hid::DeviceManager layer;
    board::VirtualBoard* board = nullptr;                  // Feed::VirtualBoard
    std::unique_ptr<testsupport::SocketBoard> socketBoard; // Feed::Socket
    std::unique_ptr<monitor::BoardMonitor> boardMonitor;   // shown too, when asked for
    std::unique_ptr<window::MainForm> form;
    std::unique_ptr<FloorReader> floor;
    hid::Handle handle = 0;

    /// Waits until the board is online; ends the program if it does not come.
    explicit ConsoleRig(Reader reader = Reader::Window, Feed feed = Feed::VirtualBoard,
                        bool withMonitor = false);
    ~ConsoleRig();
    const window::Controls& ui() const { return form->controls(); }
    /// Reports taken out of the layer by the reader so far.
    std::uint64_t absorbed() const {
        return counter.in - layer.queuedReports(handle) - counter.dropped;
    }
    /// Reports the board has sent so far.
    std::uint64_t sent() const { return board ? board->reportsSent() : socketBoard->sent(); }
    /// This process's CPU time without the socket board's feeding thread.
    Clock::duration consoleCpu() const;
};

} // namespace bench
