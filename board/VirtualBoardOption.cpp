#include "board/VirtualBoardOption.h"

#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "hid/TerminalText.h"

#include <cstdio>
#include <memory>

namespace board {

std::optional<VirtualBoardOption> VirtualBoardOption::read(bool builtInBoard,
                                                           const std::string& benchPath) {
    VirtualBoardOption option;
    option.builtInBoard_ = builtInBoard;
    if (benchPath.empty()) return option;
    tomlfile::TomlError error;
    auto bench = ReadBenchFile(benchPath, error);
    if (!bench) {
        std::fprintf(stderr, "zov-usb-test: %s\n", hid::TerminalText(error.text()).c_str());
        return std::nullopt;
    }
    option.bench_ = std::move(*bench);
    return option;
}

VirtualBoard* VirtualBoardOption::attachTo(hid::DeviceManager& layer) const {
    VirtualBoard* builtIn = builtInBoard_ ? &VirtualBoard::attachTo(layer) : nullptr;
    for (const VirtualBoardSetup& setup : bench_)
        layer.addSource(std::make_unique<VirtualBoard>(setup));
    return builtIn;
}

} // namespace board
