#pragma once

#include "hid/HidLayer.h"
#include "protocol/ReportLayout.h"

namespace protocol {

/// The one send: the whole of `bufferOut` to the board, as one output report. Answers
/// what the layer answered; the console does not act on it.
bool Send(hid::HidLayer& layer, const Report& bufferOut);

} // namespace protocol
