// TCP over WinSock 1.1 with explicit time-outs. No call blocks a spooler
// thread for longer than one 15-second select without looking again at
// whether the job is being deleted.
#pragma once
#include <winsock.h>

#include "core/outcome.h"
#include "core/port_entry.h"

namespace transport {

inline constexpr DWORD kSelectWait = 15000;
inline constexpr DWORD kNoLimit = 0xFFFFFFFF;

// CloseConnection flags.
inline constexpr std::uint32_t kAbortive = 1;
inline constexpr std::uint32_t kKeepConnected = 2;

bool ConnectSocket(SOCKET s, const sockaddr_in* local, const sockaddr_in* remote);
bool WaitWritable(SOCKET s, DWORD ms);
bool WaitReadable(SOCKET s, DWORD ms);

// Sends all of `size`; `sent` (may be null) is added to. The data time-out
// measures a stall: every byte that goes out starts it again.
bool SendTimed(core::PortEntry* port, SOCKET s, const std::uint8_t* data, std::uint32_t size,
               std::uint32_t* sent, bool check_deletion);
// Bytes received (at least 1), or 0 on failure. The command time-out counts
// from `started` (a tick count), not from this call: a reader that needs
// several receives for one answer passes the same start to each, so a peer
// that trickles its answer cannot hold it past the time-out.
std::uint32_t RecvTimed(core::PortEntry* port, SOCKET s, std::uint8_t* buffer,
                        std::uint32_t capacity, bool check_deletion, DWORD started);
// SendTimed in pieces of at most SendBufSize bytes.
bool SendInPieces(core::PortEntry* port, SOCKET s, const std::uint8_t* data,
                  std::uint32_t size, std::uint32_t* sent, bool check_deletion);

// Closes the connection in `slot` (graceful or abortive) and empties it.
bool CloseConnection(core::PortEntry* port, core::Socket* slot, std::uint32_t flags);

// How a sender connects: from which local ports, how often it tries again
// while the local port is in use, and what a failure leaves in send_error.
struct ConnectPlan {
  const char* host;
  std::uint32_t port;             // host byte order; outside 1..65535 fails
  u_short first_local_port;       // 0: any; else one port per attempt from here
  u_short last_local_port;        // attempts past it use any port
  int tries;
  DWORD busy_pause;               // between attempts
  std::uint32_t close_flags;      // for the sockets of failed attempts
  std::uint32_t failed_outcome;   // the connection was refused or unreachable
};

// Connects a new socket into `slot`. False with `slot` empty when the host
// cannot be resolved (send_error untouched), no socket could be made, or
// every attempt failed (failed_outcome unless the local ports stayed busy).
bool ConnectWithRetry(core::PortEntry* port, core::Socket* slot, const ConnectPlan& plan);

// Dotted address or host name; false when it cannot be resolved.
bool ResolveHost(const char* host, in_addr* address);

// A TCP socket, or INVALID_SOCKET after telling the user ("IDS_WINSOCK_ERROR").
SOCKET CreateSocket();

struct TransportRow {
  bool (*send_in_pieces)(core::PortEntry*, SOCKET, const std::uint8_t*, std::uint32_t,
                         std::uint32_t*, bool);
  bool (*send)(core::PortEntry*, SOCKET, const std::uint8_t*, std::uint32_t, std::uint32_t*,
               bool);
  std::uint32_t (*recv)(core::PortEntry*, SOCKET, std::uint8_t*, std::uint32_t, bool, DWORD);
};
// Row 0 is plain TCP; an all-zero row ends the table.
extern const TransportRow TransportTable[2];

}  // namespace transport
