#pragma once

#include "hid/Report.h"
#include "hid/ReportDirection.h"

#include <cstdint>

namespace hid {

/// Told of every report the layer handles, in the order the layer handles them, on the GUI
/// thread. The trace file and the board monitor listen this way.
class ReportObserver {
public:
    virtual ~ReportObserver() = default;
    virtual void record(ReportDirection direction, Handle handle, const Report& report) = 0;
    /// `count` input reports the device read but could not hand over in time: dropped unread
    /// like the Dropped ones, but without their bytes, which were not kept. Observers that
    /// count the dropped reports take these too; the others need not listen.
    virtual void reportsLost(Handle /*handle*/, std::uint64_t /*count*/) {}
};

} // namespace hid
