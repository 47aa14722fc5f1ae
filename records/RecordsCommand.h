#pragma once

/// `zov-usb-test records URL COMMAND [options]`: the queries over the run records a line keeps
/// (`check --records URL`). Needs no QApplication: call it before any is made. Answers the
/// program's exit code: 0, 2 for a command line it cannot follow, 4 when the database could
/// not be read or the output not written.
namespace records {

int RunRecordsCommand(int& argc, char** argv);

} // namespace records
