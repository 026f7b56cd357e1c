// The printer URL of an IPP port: "ipp://host[:port]/path" or "http://...".
#pragma once
#include "core/port_entry.h"

namespace core {

// Fills host, path, port and the transport index of the block from its URL.
// False, with host and path empty and port 0, when the URL is not usable:
// unknown scheme, a host that is empty, over-long or not a name or dotted
// address, a port outside 1..65535, or a path longer than the block holds.
bool ParseUrl(IppBlock* block);

// Letters, digits, ".", "-" and "_", at least one: a host name or a dotted
// address, nothing that would need brackets or quoting.
bool IsHostName(const char* host);

}  // namespace core
