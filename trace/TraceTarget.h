#pragma once

#include "hid/OwnedDescriptor.h"

#include <string>

namespace trace {

/// Where the trace goes: open for writing, checked, and nothing written to it yet.
struct TraceTarget {
    hid::OwnedDescriptor fd;  ///< invalid when it could not be used
    bool regularFile = false; ///< a file on disk, which never makes a writer wait for room
};

/// Opens `path` for the trace without ever waiting, and looks at what it is before anything
/// is written or emptied. "-" and /dev/stdout are standard output, /dev/stderr standard
/// error, as the shell opened them. Any other name is created with mode 0644, or emptied
/// once it is known to be a file.
///
/// Taken: a file, a pipe, a socket, a terminal, /dev/null, and /dev/full (for trying out a
/// trace whose writes fail). Any other device is refused: a board's hidraw node, writable by
/// its user, would take the lines as output reports. A named pipe nobody reads is refused at
/// once, as opening it would wait for a reader. A symbolic link is refused when it leads to a
/// file, which might not be the operator's to overwrite; a link to a pipe or a terminal (as
/// /dev/fd/N of a shell's process substitution) is followed.
///
/// The descriptor may be non-blocking: a writer waits for room with poll(). Answers an
/// invalid descriptor with `error` set to the reason.
TraceTarget OpenTraceTarget(const std::string& path, std::string& error);

} // namespace trace
