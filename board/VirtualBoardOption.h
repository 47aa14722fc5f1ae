#pragma once

#include "board/VirtualBench.h"
#include "hid/DeviceManager.h"

#include <optional>
#include <string>

namespace board {
class VirtualBoard;

/// The virtual boards a command line asks for, the window's and the board checks' alike: the
/// built-in board (--virtual-board), a bench file's boards (--virtual-bench FILE), or both.
class VirtualBoardOption {
public:
    /// Reads the bench file when `benchPath` is not empty. Answers nothing for a bad one,
    /// having told why on stderr: "zov-usb-test: FILE:LINE:COLUMN: message".
    static std::optional<VirtualBoardOption> read(bool builtInBoard, const std::string& benchPath);

    /// Attaches the built-in board first, then the bench's boards in the file's order: the
    /// console and the checks take the earliest attached board. The bench's times count from
    /// here. Answers the built-in board, null when it was not asked for.
    VirtualBoard* attachTo(hid::DeviceManager& layer) const;

private:
    bool builtInBoard_ = false;
    VirtualBench bench_;
};

} // namespace board
