#include "boardlayer/BoardLayer.h"

#include "board/VirtualBoardOption.h"
#include "hidraw/HidrawSource.h"
#include "protocol/ReportLayout.h"
#include "trace/TraceFileOption.h"

namespace boardlayer {

std::unique_ptr<BoardLayer> BoardLayer::open(const std::string& traceFile,
                                             const board::VirtualBoardOption& virtualBoards) {
    std::unique_ptr<trace::ReportTrace> trace;
    if (!traceFile.empty()) {
        trace = trace::OpenTraceFileOption(traceFile);
        if (!trace) return nullptr;
    }
    std::unique_ptr<BoardLayer> boards(new BoardLayer(std::move(trace)));
    boards->builtInBoard_ = virtualBoards.attachTo(boards->layer_);
    return boards;
}

BoardLayer::BoardLayer(std::unique_ptr<trace::ReportTrace> trace) : trace_(std::move(trace)) {
    if (trace_) layer_.addObserver(*trace_);
}

void BoardLayer::addRealBoards() {
    hidraw::HidrawOptions boardNodes;
    boardNodes.openIds = {{protocol::DeviceVendorID, protocol::DeviceProductID}};
    layer_.addSource(std::make_unique<hidraw::HidrawSource>(boardNodes));
}

} // namespace boardlayer
