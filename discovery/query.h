// Asking a print server over UDP for the names of its printer ports, and
// offering the LPR queues they stand for in the wizard's queue list.
#pragma once
#include <windows.h>
#include <winsock.h>

#include <cstdint>

namespace discovery {

// The wizard page controls the query reads and fills.
inline constexpr int kServerAddressField = 245;
inline constexpr int kQueueCombo = 247;

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

// Asks the server in the page's address field for its ports and puts the
// matching queue names into the page's queue list (the default names when
// the list ends up empty), then selects the first. Returns 0.
int FillQueueList(HWND page, std::uint16_t port);

// Runs FillQueueList on a thread of its own at the lowest priority, so the
// wizard stays responsive for the seconds a silent server takes. False when
// the thread could not be started (the list then keeps what it has).
bool StartQueueQuery(HWND page, std::uint16_t port);

}  // namespace discovery
