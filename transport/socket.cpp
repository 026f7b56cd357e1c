#include "transport/socket.h"

#include <winspool.h>

#include "core/ini.h"
#include "core/job_status.h"
#include "core/port_values.h"
#include "core/state.h"

namespace transport {
namespace {

using core::PortEntry;

bool Deleted(const PortEntry* port, bool check) {
  return check && core::JobBeingDeletedCached(port);
}

bool Wait(SOCKET s, DWORD ms, bool write) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &limit) == 1;
}

// A wait that failed for a reason other than running out of time.
bool WaitBroke() {
  int error = WSAGetLastError();
  return error != 0 && error != WSAEWOULDBLOCK;
}

void Drain(PortEntry* port, SOCKET s) {
  // The printer may keep its end open without a word; it gets one select
  // wait to close, so the end of a job never hangs on it.
  DWORD start = GetTickCount();
  char scratch[1024];
  while (!core::JobBeingDeleted(port)) {
    DWORD waited = GetTickCount() - start;
    if (waited >= kSelectWait || !WaitReadable(s, kSelectWait - waited)) break;
    int n = recv(s, scratch, sizeof(scratch), 0);
    if (n == 0) break;
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) break;
  }
}

}  // namespace

const TransportRow TransportTable[2] = {{SendInPieces, SendTimed, RecvTimed}, {}};

bool ConnectSocket(SOCKET s, const sockaddr_in* local, const sockaddr_in* remote) {
  if (local != nullptr &&
      bind(s, reinterpret_cast<const sockaddr*>(local), sizeof(*local)) == SOCKET_ERROR)
    return false;
  if (connect(s, reinterpret_cast<const sockaddr*>(remote), sizeof(*remote)) == SOCKET_ERROR)
    return false;
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) != SOCKET_ERROR;
}

bool WaitWritable(SOCKET s, DWORD ms) { return Wait(s, ms, true); }
bool WaitReadable(SOCKET s, DWORD ms) { return Wait(s, ms, false); }

bool SendTimed(PortEntry* port, SOCKET s, const std::uint8_t* data, std::uint32_t size,
               std::uint32_t* sent, bool check_deletion) {
  DWORD progress = GetTickCount();
  for (;;) {
    if (Deleted(port, check_deletion)) return false;
    // Send first and wait only when the socket is full: a printer that keeps
    // up never costs a select, which under some WinSock layers costs more
    // than the send itself.
    int n = send(s, reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
    if (n != SOCKET_ERROR) {
      if (sent != nullptr) *sent += static_cast<std::uint32_t>(n);
      if (static_cast<std::uint32_t>(n) >= size) return true;
      if (n > 0) {
        data += n;
        size -= static_cast<std::uint32_t>(n);
        progress = GetTickCount();
        continue;
      }
    } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
      port->send_error = core::kSocketError;
      return false;
    }
    if (!WaitWritable(s, kSelectWait) && WaitBroke()) {
      port->send_error = core::kSocketError;
      return false;
    }
    if (port->data_timeout != kNoLimit && GetTickCount() - progress >= port->data_timeout) {
      port->send_error = core::kTimedOut;
      return false;
    }
  }
}

std::uint32_t RecvTimed(PortEntry* port, SOCKET s, std::uint8_t* buffer, std::uint32_t capacity,
                        bool check_deletion, DWORD started) {
  bool limited = port->cmd_timeout != kNoLimit;
  bool closed = false;
  for (;;) {
    if (Deleted(port, check_deletion)) return 0;
    DWORD waited = GetTickCount() - started;
    bool over = limited && waited >= port->cmd_timeout;
    DWORD wait = kSelectWait;
    if (limited) wait = over ? 0 : (port->cmd_timeout - waited < wait ? port->cmd_timeout - waited : wait);
    if (closed) {
      // The peer has closed: nothing more can come. Sleeping out the rest
      // of the command time-out keeps the answer a time-out, but an
      // unlimited time-out must not wait for ever.
      if (!limited) {
        port->send_error = core::kSocketError;
        return 0;
      }
      if (over) break;
      Sleep(wait);
      continue;
    }
    // Past the time-out one look remains, for what has already arrived.
    if (WaitReadable(s, wait)) {
      int n = recv(s, reinterpret_cast<char*>(buffer), static_cast<int>(capacity), 0);
      if (n > 0) return static_cast<std::uint32_t>(n);
      if (n == 0) {
        closed = true;
        continue;
      }
      if (WSAGetLastError() != WSAEWOULDBLOCK) {
        port->send_error = core::kSocketError;
        return 0;
      }
    } else if (WaitBroke()) {
      port->send_error = core::kSocketError;
      return 0;
    }
    if (over) break;
  }
  port->send_error = core::kTimedOut;
  return 0;
}

bool SendInPieces(PortEntry* port, SOCKET s, const std::uint8_t* data, std::uint32_t size,
                  std::uint32_t* sent, bool check_deletion) {
  if (port->SendBufSize == 0) port->SendBufSize = core::kDefaultSendBufSize;
  while (size > 0) {
    std::uint32_t piece = size < port->SendBufSize ? size : port->SendBufSize;
    if (!SendTimed(port, s, data, piece, sent, check_deletion)) return false;
    data += piece;
    size -= piece;
  }
  return true;
}

bool CloseConnection(PortEntry* port, core::Socket* slot, std::uint32_t flags) {
  if (*slot == core::kNoSocket) return true;
  auto s = static_cast<SOCKET>(*slot);
  if ((flags & kKeepConnected) == 0) core::ClearFlags(port, core::kConnected);
  if ((flags & kAbortive) == 0) {
    // A socket that never connected has nothing to drain.
    if (shutdown(s, 1) != SOCKET_ERROR) Drain(port, s);  // 1: SD_SEND
    shutdown(s, 2);                                     // 2: SD_BOTH
  } else {
    linger reset{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
  }
  bool closed = closesocket(s) != SOCKET_ERROR;
  *slot = core::kNoSocket;
  return closed;
}

bool ConnectWithRetry(PortEntry* port, core::Socket* slot, const ConnectPlan& plan) {
  // A number the registry holds may not fit a TCP port: cut to 16 bits it
  // would name another one.
  if (plan.port == 0 || plan.port > 65535) {
    port->send_error = plan.failed_outcome;
    return false;
  }
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<u_short>(plan.port));
  if (!ResolveHost(plan.host, &remote.sin_addr)) return false;
  int error = 0;
  for (int attempt = 0; attempt < plan.tries; ++attempt) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    int local_port = plan.first_local_port != 0 ? plan.first_local_port + attempt : 0;
    if (local_port <= plan.last_local_port) local.sin_port = htons(static_cast<u_short>(local_port));
    SOCKET s = CreateSocket();
    if (s == INVALID_SOCKET) return false;
    *slot = s;
    if (ConnectSocket(s, &local, &remote)) return true;
    error = WSAGetLastError();
    if (!CloseConnection(port, slot, plan.close_flags)) break;
    if (error != WSAEADDRINUSE) break;
    Sleep(plan.busy_pause);
  }
  // Every local port still in use is no answer from the printer: the
  // caller's own fallback code stands.
  if (error != WSAEADDRINUSE) port->send_error = plan.failed_outcome;
  return false;
}

bool ResolveHost(const char* host, in_addr* address) {
  unsigned long dotted = inet_addr(host);
  if (dotted != INADDR_NONE) {
    address->s_addr = dotted;
    return true;
  }
  hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
    return false;
  int length = entry->h_length < static_cast<int>(sizeof(*address)) ? entry->h_length
                                                                    : static_cast<int>(sizeof(*address));
  CopyMemory(address, entry->h_addr_list[0], length);
  return true;
}

SOCKET CreateSocket() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) core::MessageFromIni(nullptr, "IDS_WINSOCK_ERROR", MB_OK | MB_ICONEXCLAMATION);
  return s;
}

}  // namespace transport
