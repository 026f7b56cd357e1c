// Raw ports: the job's bytes unchanged over one TCP connection, sent while
// the application is still printing.
#include <winsock.h>
#include <winspool.h>

#include "monitor/job.h"
#include "monitor/prompts.h"
#include "monitor/state.h"
#include "transport/senders.h"
#include "transport/socket.h"

namespace transport {
namespace {

using monitor::PortEntry;

constexpr int kConnectTries = 10;
constexpr DWORD kBusyPortPause = 500;

bool Connect(PortEntry* port) {
  monitor::RawBlock* raw = monitor::Raw(port);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(raw->PortNum);
  if (!ResolveHost(raw->HostName, &remote.sin_addr)) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  int error = 0;
  for (int attempt = 0; attempt < kConnectTries; ++attempt) {
    SOCKET s = CreateSocket();
    if (s == INVALID_SOCKET) return false;
    raw->socket = s;
    if (ConnectSocket(s, &local, &remote)) return true;
    error = WSAGetLastError();
    if (!CloseConnection(port, &raw->socket, 0)) break;
    if (error != WSAEADDRINUSE) {
      port->send_error = kRawConnectFailed;
      return false;
    }
    Sleep(kBusyPortPause);
  }
  if (error != WSAEADDRINUSE) port->send_error = kRawConnectFailed;
  return false;
}

// One attempt; `sent` is what went out of this buffer.
bool Send(PortEntry* port, const std::uint8_t* data, std::uint32_t size, std::uint32_t* sent) {
  port->send_error = 0;
  *sent = 0;
  if (port->bytes_sent == 0) {
    if (!Connect(port)) {
      CloseConnection(port, &monitor::Raw(port)->socket, kAbortive);
      return false;
    }
    monitor::SetFlags(port, monitor::kConnected);
  }
  bool ok = SendInPieces(port, static_cast<SOCKET>(monitor::Raw(port)->socket), data, size, sent,
                         true);
  port->bytes_sent += *sent;
  return ok;
}

}  // namespace

bool RawWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written) {
  std::uint32_t offset = 0;
  *written = 0;
  for (;;) {
    std::uint32_t sent = 0;
    if (Send(port, data + offset, size - offset, &sent)) break;
    offset += sent;
    if (monitor::JobBeingDeleted(port)) {
      CloseConnection(port, &monitor::Raw(port)->socket, kAbortive);
      return false;
    }
    DWORD status;
    monitor::SetJobStatusBits(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, &status);
    monitor::SetFlags(port, monitor::kErrorState);
    if (port->send_error == kSocketError) port->send_error = 0;
    if (port->send_error != kTimedOut) {
      // Direct sending ends here; EndDocPort sends the job again from the
      // spool file, from its first byte on a new connection.
      CloseConnection(port, &monitor::Raw(port)->socket, kAbortive);
      port->send_at_end = 1;
      return false;
    }
    // A stall keeps the connection: go on with the first byte not yet sent.
    if (monitor::RetryPrompt(port) == 0) {
      monitor::CancelJob(port);
      return false;
    }
  }
  if (port->flags & monitor::kErrorState) {
    DWORD status;
    monitor::SetJobStatusBits(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, &status);
    monitor::ClearFlags(port, monitor::kErrorState);
  }
  monitor::ClosePrompt(port);
  *written = size;
  return true;
}

bool RawEnd(PortEntry* port) {
  std::uint32_t flags = monitor::JobBeingDeleted(port) ? kAbortive : 0;
  CloseConnection(port, &monitor::Raw(port)->socket, flags);
  return true;
}

}  // namespace transport
