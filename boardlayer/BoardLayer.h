#pragma once

#include "hid/DeviceManager.h"
#include "trace/ReportTrace.h"

#include <memory>
#include <string>

namespace board {
class VirtualBoard;
class VirtualBoardOption;
} // namespace board

namespace boardlayer {

/// The HID layer as the program runs it, for the window and the board checks alike: the trace
/// file --trace names, the layer it observes, the virtual boards the command line asks for and,
/// from addRealBoards() on, the kernel's hidraw nodes, the board's ids opened. The trace
/// outlives the layer, which tells it what became of the last reports as it goes.
class BoardLayer {
public:
    /// Opens the trace (none for an empty `traceFile`), makes the layer and attaches the virtual
    /// boards. Answers null, having told why on stderr, when the trace file cannot be written.
    static std::unique_ptr<BoardLayer> open(const std::string& traceFile,
                                            const board::VirtualBoardOption& virtualBoards);
    BoardLayer(const BoardLayer&) = delete;
    BoardLayer& operator=(const BoardLayer&) = delete;

    hid::DeviceManager& layer() { return layer_; }
    /// Null without --trace.
    trace::ReportTrace* trace() const { return trace_.get(); }
    /// The built-in virtual board; null when it was not asked for.
    board::VirtualBoard* builtInBoard() const { return builtInBoard_; }

    /// Adds the real boards, after the virtual ones: with a real board attached as well, the
    /// console and the checks take the earliest attached board, and the operator asked for the
    /// virtual ones. Apart from open(), so that a listener can be in place first.
    void addRealBoards();

private:
    explicit BoardLayer(std::unique_ptr<trace::ReportTrace> trace);

    std::unique_ptr<trace::ReportTrace> trace_; // before the layer: goes after it
    hid::DeviceManager layer_;
    board::VirtualBoard* builtInBoard_ = nullptr;
};

} // namespace boardlayer
