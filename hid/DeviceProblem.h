#pragma once

#include <string>

namespace hid {

/// A board that was found but cannot be used, and why. Such a board is not announced as
/// plugged; it is tried again later, and the problem is told once per node and kind.
struct DeviceProblem {
    enum class Kind {
        NoPermission,  ///< the node cannot be opened for lack of rights
        Busy,          ///< the node is held by someone else
        WrongIdentity, ///< the node answers with other ids than the enumeration said
        WrongFormat,   ///< the report descriptor is not the one the console speaks
        OpenFailed,    ///< any other reason the node cannot be opened or read
    };

    Kind kind = Kind::OpenFailed;
    std::string node;    ///< the device node, e.g. /dev/hidraw3
    std::string message; ///< one paragraph for the operator: what was found and the fix
};

/// Told of every device problem, on the GUI thread.
class DeviceProblemObserver {
public:
    virtual void deviceProblem(const DeviceProblem& problem) = 0;

protected:
    ~DeviceProblemObserver() = default;
};

} // namespace hid
