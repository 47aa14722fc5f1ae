#include "protocol/Send.h"

namespace protocol {

bool Send(hid::HidLayer& layer, const Report& bufferOut) {
    return layer.WriteEx(DeviceVendorID, DeviceProductID, bufferOut);
}

} // namespace protocol
