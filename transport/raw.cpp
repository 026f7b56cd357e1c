// Raw ports: the job's bytes unchanged over one TCP connection, sent while
// the application is still printing.
#include <winsock.h>
#include <winspool.h>

#include "core/job_status.h"
#include "core/retry.h"
#include "core/state.h"
#include "transport/senders.h"
#include "transport/socket.h"

namespace transport {
namespace {

using core::PortEntry;

constexpr int kConnectTries = 10;
constexpr DWORD kBusyPortPause = 500;

bool Connect(PortEntry* port) {
  core::RawBlock* raw = core::Raw(port);
  ConnectPlan plan{};
  plan.host = raw->HostName;
  plan.port = raw->PortNum;
  plan.tries = kConnectTries;
  plan.busy_pause = kBusyPortPause;
  plan.failed_outcome = core::kRawConnectFailed;
  return ConnectWithRetry(port, &raw->socket, plan);
}

// One attempt; `sent` is what went out of this buffer.
bool Send(PortEntry* port, const std::uint8_t* data, std::uint32_t size, std::uint32_t* sent) {
  port->send_error = 0;
  *sent = 0;
  // Whether this job has its connection is the connection's own flag: the
  // byte count wraps at 4 GiB, and a job past it must not connect again.
  if (!core::HasFlags(port, core::kConnected)) {
    if (!Connect(port)) {
      CloseConnection(port, &core::Raw(port)->socket, kAbortive);
      return false;
    }
    core::SetFlags(port, core::kConnected);
  }
  bool ok = SendInPieces(port, static_cast<SOCKET>(core::Raw(port)->socket), data, size, sent,
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
    if (core::JobBeingDeleted(port)) {
      CloseConnection(port, &core::Raw(port)->socket, kAbortive);
      return false;
    }
    core::MarkInError(port);
    if (port->send_error == core::kSocketError) port->send_error = 0;
    if (port->send_error != core::kTimedOut) {
      // Direct sending ends here; EndDocPort sends the job again from the
      // spool file, from its first byte on a new connection.
      CloseConnection(port, &core::Raw(port)->socket, kAbortive);
      port->send_at_end = 1;
      return false;
    }
    // A stall keeps the connection: go on with the first byte not yet sent.
    if (core::RetryPrompt(port) == 0) {
      core::CancelJob(port);
      return false;
    }
  }
  if (core::HasFlags(port, core::kErrorState)) core::MarkPrinting(port);
  core::ClosePrompt(port);
  *written = size;
  return true;
}

bool RawEnd(PortEntry* port) {
  std::uint32_t flags = core::JobBeingDeleted(port) ? kAbortive : 0;
  CloseConnection(port, &core::Raw(port)->socket, flags);
  return true;
}

}  // namespace transport
