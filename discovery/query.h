// Asking a print server over UDP for the names of its printer ports.
#pragma once
#include <windows.h>
#include <winsock.h>

#include <cstdint>

namespace discovery {

// Each piece is asked for up to kQueryTries times, waiting kQueryWaitMs
// after each send: a silent server is given up after about 5 seconds.
inline constexpr int kQueryTries = 5;
inline constexpr DWORD kQueryWaitMs = 1000;

// Sends `command` to `server` (network byte order) on UDP `port` and
// assembles the answer's pieces into `out`. Returns the answer's length, or
// -1 when no socket could be made, a piece went unanswered after every try,
// or the answer would not fit `out_size`.
int ServerQuery(std::uint32_t server, const char* command, std::uint8_t* out, int out_size,
                std::uint16_t port);

}  // namespace discovery
