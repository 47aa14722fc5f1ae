#pragma once

#include "check/RunStore.h"
#include "check/StationFront.h"

/// `zov-usb-test check PLAN [options]`: board checks from a plan, with no window and no display.
namespace check {

/// Runs the command line's check and answers the program's exit code. Makes its own
/// QCoreApplication: call it before any is made, except with `--station --window`, for which
/// the caller makes a QApplication first and gives `window`, which makes the station's window.
/// `openStore` opens the store `--records URL` names.
int RunCheckCommand(int argc, char** argv, const RunStoreOpener& openStore,
                    const StationFrontMaker& window = {});

} // namespace check
