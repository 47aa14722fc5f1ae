#include "boardlayer/BoardLayer.h"

#include "board/VirtualBoardOption.h"
#include "hidraw/HidrawSource.h"
#include "protocol/ReportLayout.h"
#include "trace/TraceFileOption.h"

namespace hid {

std::unique_ptr<BoardLayer> BoardLayer::open(const std::string& traceFile,
                                             const VirtualBoardOption& virtualBoards) {
    std::unique_ptr<ReportTrace> trace;
    if (!traceFile.empty()) {
        trace = OpenTraceFileOption(traceFile);
        if (!trace) return nullptr;
    }
    std::unique_ptr<BoardLayer> boards(new BoardLayer(std::move(trace)));
    boards->builtInBoard_ = virtualBoards.attachTo(boards->layer_);
    return boards;
}

BoardLayer::BoardLayer(std::unique_ptr<ReportTrace> trace) : trace_(std::move(trace)) {
    if (trace_) layer_.addObserver(*trace_);
}

void BoardLayer::addRealBoards() {
    HidrawOptions boardNodes;
    boardNodes.openIds = {{protocol::DeviceVendorID, protocol::DeviceProductID}};
    layer_.addSource(std::make_unique<HidrawSource>(boardNodes));
}

} // namespace hid
