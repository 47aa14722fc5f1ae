#include "bench/scenario/ConsoleRig.h"

#include "hidraw/HidrawSource.h"
#include "protocol/ReportLayout.h"

#include <cstdio>
#include <cstdlib>

namespace bench {

ConsoleRig::ConsoleRig(Reader reader, Feed feed, bool withMonitor) {
    layer.addObserver(counter);
    if (feed == Feed::VirtualBoard) {
        board = &board::VirtualBoard::attachTo(layer);
    } else {
        socketBoard = std::make_unique<testsupport::SocketBoard>();
        layer.addSource(std::make_unique<hidraw::HidrawSource>(testsupport::SocketBoard::options(),
                                                               socketBoard->backend()));
    }
    if (withMonitor) {
        boardMonitor = std::make_unique<monitor::BoardMonitor>(
            layer,
            monitor::BoardMonitor::BoardIds{protocol::DeviceVendorID, protocol::DeviceProductID});
        boardMonitor->show();
    }
    if (reader == Reader::Window) {
        form = std::make_unique<window::MainForm>(layer);
        form->show();
    } else {
        floor = std::make_unique<FloorReader>(layer);
    }
    if (!WaitUntil([&] {
            return layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID) != 0 &&
                   (!form || form->windowTitle().startsWith("HID Device Online"));
        })) {
        std::fprintf(stderr, "zov_scenario: the board did not come online\n");
        std::exit(1);
    }
    Drain();
    handle = layer.GetHandle(protocol::DeviceVendorID, protocol::DeviceProductID);
}

ConsoleRig::~ConsoleRig() {
    if (socketBoard) socketBoard->stop();
}

Clock::duration ConsoleRig::consoleCpu() const {
    return CpuTime() - (socketBoard
                            ? std::chrono::duration_cast<Clock::duration>(socketBoard->feederCpu())
                            : Clock::duration{});
}

} // namespace bench
