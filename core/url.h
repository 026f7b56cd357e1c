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

namespace core {

// The HTTP proxy of an Internet Settings "ProxyServer" value, split at its
// first ":" into address and port text (the port empty without a colon).
// The value is either one proxy for every protocol ("host:port") or a list
// per protocol ("http=host:port;ftp=..."), whose HTTP entry is taken.
// Both parts are cut to their buffers.
void SplitProxySetting(const char* value, char* address, std::size_t address_size, char* port,
                       std::size_t port_size);

// Four dot-separated decimal fields of 0 to 255, and nothing else.
bool IsDottedQuad(const char* text);

}  // namespace core
