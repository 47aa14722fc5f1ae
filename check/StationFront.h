#pragma once

#include "check/Operator.h"

#include <functional>
#include <memory>

namespace check {

class StationSession;

/// What shows a station instead of the terminal and answers its operator steps: the station
/// window (stationwindow/). Made by the program, which links it, so that the checks do not.
class StationFront {
public:
    virtual ~StationFront() = default;
    /// Who answers the station's operator steps; asked before the station is made.
    virtual Operator& person() = 0;
    /// Shows `station` from before its start until the program ends.
    virtual void show(StationSession& station) = 0;
};

/// Makes a station's front, once the application (a QApplication) exists.
using StationFrontMaker = std::function<std::unique_ptr<StationFront>()>;

} // namespace check
