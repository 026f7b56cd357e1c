// TCP over WinSock 1.1 with explicit time-outs. No call blocks a spooler
// thread for longer than one 15-second select without looking again at
// whether the job is being deleted.
#pragma once
#include <winsock.h>

#include "monitor/port_entry.h"

namespace transport {

inline constexpr DWORD kSelectWait = 15000;
inline constexpr DWORD kNoLimit = 0xFFFFFFFF;

// Send error codes of this layer.
inline constexpr std::uint32_t kSocketError = 1;
inline constexpr std::uint32_t kTimedOut = 2;

// CloseConnection flags.
inline constexpr std::uint32_t kAbortive = 1;
inline constexpr std::uint32_t kKeepConnected = 2;

bool ConnectSocket(SOCKET s, const sockaddr_in* local, const sockaddr_in* remote);
bool WaitWritable(SOCKET s, DWORD ms);
bool WaitReadable(SOCKET s, DWORD ms);

// Sends all of `size`; `sent` (may be null) is added to. The data time-out
// measures a stall: every byte that goes out starts it again.
bool SendTimed(monitor::PortEntry* port, SOCKET s, const std::uint8_t* data, std::uint32_t size,
               std::uint32_t* sent, bool check_deletion);
// Bytes received (at least 1), or 0 on failure. The command time-out counts
// from the start of the call: it bounds the wait for an answer.
std::uint32_t RecvTimed(monitor::PortEntry* port, SOCKET s, std::uint8_t* buffer,
                        std::uint32_t capacity, bool check_deletion);
// SendTimed in pieces of at most SendBufSize bytes.
bool SendInPieces(monitor::PortEntry* port, SOCKET s, const std::uint8_t* data,
                  std::uint32_t size, std::uint32_t* sent, bool check_deletion);

// Closes the connection in `slot` (graceful or abortive) and empties it.
bool CloseConnection(monitor::PortEntry* port, monitor::Socket* slot, std::uint32_t flags);

// Dotted address or host name; false when it cannot be resolved.
bool ResolveHost(const char* host, in_addr* address);

// A TCP socket, or INVALID_SOCKET after telling the user ("IDS_WINSOCK_ERROR").
SOCKET CreateSocket();

struct TransportRow {
  bool (*send_in_pieces)(monitor::PortEntry*, SOCKET, const std::uint8_t*, std::uint32_t,
                         std::uint32_t*, bool);
  bool (*send)(monitor::PortEntry*, SOCKET, const std::uint8_t*, std::uint32_t, std::uint32_t*,
               bool);
  std::uint32_t (*recv)(monitor::PortEntry*, SOCKET, std::uint8_t*, std::uint32_t, bool);
};
// Row 0 is plain TCP; an all-zero row ends the table.
extern const TransportRow TransportTable[2];

}  // namespace transport
