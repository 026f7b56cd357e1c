// The printer URL of an IPP port: "ipp://host[:port]/path" or "http://...".
#pragma once
#include "core/port_entry.h"

namespace core {

// Fills host, path, port and the transport index of the block from its URL.
// False when the URL is not usable: unknown scheme, empty or over-long host,
// a port outside 1..65535, or a path longer than the block holds.
bool ParseUrl(IppBlock* block);

}  // namespace core
