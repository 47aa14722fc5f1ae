#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

/// Runs the event loop until `done` answers true or the deadline passes; answers `done()`.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::milliseconds(5000));

/// Delivers everything already posted (events, queued calls), without waiting for timers.
void DrainEvents();

} // namespace testsupport
