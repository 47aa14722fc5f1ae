#pragma once

#include "check/StationFront.h"

namespace stationwindow {

/// The station window as the checks' StationFront: `zov-usb-test check PLAN --station DIR
/// --window`. Needs a QApplication.
std::unique_ptr<check::StationFront> MakeStationWindow();

} // namespace stationwindow
