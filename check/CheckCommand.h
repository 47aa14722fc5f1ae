#pragma once

#include "check/RunStore.h"

/// `zov-usb-test check PLAN [options]`: board checks from a plan, with no window and no display.
/// Needs no QApplication: call it before any is made. Answers the program's exit code.
namespace check {

/// `openStore` opens the store `--records URL` names.
int RunCheckCommand(int argc, char** argv, const RunStoreOpener& openStore);

} // namespace check
