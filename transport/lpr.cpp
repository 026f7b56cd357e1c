// LPR (RFC 1179): a receive-job command naming the queue, a control file,
// then one data file with the job's bytes as the spooler produced them.
#include <winsock.h>
#include <winspool.h>

#include "core/job_status.h"
#include "core/retry.h"
#include "core/state.h"
#include "core/text.h"
#include "transport/lpr_wire.h"
#include "transport/senders.h"
#include "transport/socket.h"

namespace transport {
namespace {

using core::PortEntry;

constexpr u_short kFirstReservedPort = 721;
constexpr u_short kLastReservedPort = 731;
constexpr u_short kLprPort = 515;
constexpr DWORD kBusyPortPause = 100;

SOCKET Socket(PortEntry* port) { return static_cast<SOCKET>(core::Lpr(port)->socket); }

void LocalHostName(char host[65]) {
  host[0] = '\0';
  if (gethostname(host, 65) == SOCKET_ERROR) host[0] = '\0';
  host[64] = '\0';
}

bool Connect(PortEntry* port) {
  core::LprBlock* lpr = core::Lpr(port);
  servent* service = getservbyname("printer", "tcp");
  ConnectPlan plan{};
  plan.host = lpr->HostName;
  plan.port = service != nullptr ? ntohs(service->s_port) : kLprPort;
  // RFC 1179 wants a reserved source port; with NonRFCPorts one more try
  // takes any port once all eleven are busy.
  plan.first_local_port = kFirstReservedPort;
  plan.last_local_port = kLastReservedPort;
  plan.tries = kLastReservedPort - kFirstReservedPort + 1 + (lpr->NonRFCPorts ? 1 : 0);
  plan.busy_pause = kBusyPortPause;
  plan.failed_outcome = core::kLprConnectFailed;
  return ConnectWithRetry(port, &lpr->socket, plan);
}

bool ReadAcknowledgement(PortEntry* port) {
  std::uint8_t answer[64];
  if (RecvTimed(port, Socket(port), answer, sizeof(answer), true, GetTickCount()) == 0)
    return false;
  if (answer[0] != 0) {
    port->send_error = core::kLprNack;
    return false;
  }
  return true;
}

bool SendAndAcknowledge(PortEntry* port, const void* data, std::uint32_t size) {
  return SendTimed(port, Socket(port), static_cast<const std::uint8_t*>(data), size, nullptr,
                   true) &&
         ReadAcknowledgement(port);
}

// User and document as the spooler's level-1 job record has them.
JOB_INFO_1A* ReadJobNames(PortEntry* port) {
  if (port->printer == nullptr) return nullptr;
  DWORD needed = 0;
  GetJobA(port->printer, port->job_id, 1, nullptr, 0, &needed);
  if (needed == 0) return nullptr;
  auto* job = static_cast<JOB_INFO_1A*>(core::Alloc(needed));
  if (job != nullptr && !GetJobA(port->printer, port->job_id, 1, reinterpret_cast<LPBYTE>(job),
                                 needed, &needed)) {
    core::Free(job);
    job = nullptr;
  }
  return job;
}

bool SendHeader(PortEntry* port) {
  core::LprBlock* lpr = core::Lpr(port);
  char host[65];
  LocalHostName(host);

  char command[2 + sizeof(lpr->PortName)];
  if (!SendAndAcknowledge(port, command, ReceiveJobCommand(command, lpr->PortName))) {
    if (port->send_error == core::kLprNack) port->send_error = core::kLprQueueRefused;
    return false;
  }

  JOB_INFO_1A* job = ReadJobNames(port);
  const char* user = job != nullptr && job->pUserName != nullptr ? job->pUserName : "";
  const char* document = job != nullptr && job->pDocument != nullptr ? job->pDocument : "";
  std::size_t length = ControlFileLength(host, user, document);
  // The control file and its terminating zero byte go out together.
  auto* control = static_cast<char*>(core::Alloc(length + 1));
  bool ok = control != nullptr;
  if (ok) BuildControlFile(control, host, user, document, port->job_id);
  core::Free(job);

  char subcommand[kSubcommandSize];
  ok = ok && SendAndAcknowledge(port, subcommand,
                                ControlFileCommand(subcommand, static_cast<std::uint32_t>(length),
                                                   port->job_id, host));
  ok = ok && SendAndAcknowledge(port, control, static_cast<std::uint32_t>(length + 1));
  core::Free(control);
  if (!ok) return false;

  std::uint32_t size = port->job_size;
  return SendAndAcknowledge(
      port, subcommand,
      DataFileCommand(subcommand, lpr->NonByteCount ? nullptr : &size, port->job_id, host));
}

bool Open(PortEntry* port) {
  if (port->flags & core::kConnected) return true;
  if (!Connect(port)) {
    CloseConnection(port, &core::Lpr(port)->socket, 0);
    if (port->send_error != core::kLprConnectFailed) port->send_error = core::kLprHeaderFailed;
    return false;
  }
  if (!SendHeader(port)) {
    if (port->send_error != core::kLprQueueRefused) port->send_error = core::kLprHeaderFailed;
    return false;
  }
  core::SetFlags(port, core::kConnected);
  return true;
}

bool SendData(PortEntry* port, const std::uint8_t* data, std::uint32_t size) {
  port->send_error = 0;
  if (!Open(port)) return false;
  std::uint32_t sent = 0;
  bool ok = SendInPieces(port, Socket(port), data, size, &sent, true);
  port->bytes_sent += sent;
  return ok;
}

void RecoveredFromError(PortEntry* port) {
  if (core::HasFlags(port, core::kErrorState)) core::MarkPrinting(port);
  core::ClosePrompt(port);
}

}  // namespace

bool LprWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written) {
  std::uint32_t before = port->bytes_sent;
  bool ok = SendData(port, data, size);
  *written = port->bytes_sent >= before ? port->bytes_sent - before : 0;
  if (ok) RecoveredFromError(port);
  if (port->send_error == core::kSocketError) port->send_error = 0;
  // A time-out keeps the connection: sending resumes where it stopped.
  if (!ok && port->send_error != core::kTimedOut && core::Lpr(port)->socket != core::kNoSocket)
    CloseConnection(port, &core::Lpr(port)->socket, kAbortive);
  return ok;
}

bool LprEnd(PortEntry* port) {
  core::LprBlock* lpr = core::Lpr(port);
  if (lpr->socket == core::kNoSocket) return true;
  bool ok;
  if (lpr->NonByteCount) {
    // The data file ends with the connection.
    ok = !core::JobBeingDeleted(port);
  } else {
    bool end_sent = false;
    for (;;) {
      if (!core::WaitWhileJobPaused(port, core::ReadJobStatus(port))) {
        ok = false;
        break;
      }
      if (core::HasFlags(port, core::kErrorState)) {
        if (port->send_error != core::kTimedOut) port->send_error = core::kSocketError;
        if (core::RetryPrompt(port) == 0) {
          ok = false;
          break;
        }
      }
      // Once the zero byte is out, a retry only waits for its answer again:
      // a second one would be one byte too many in the data file.
      static constexpr std::uint8_t kEndOfData = 0;
      end_sent = end_sent || SendTimed(port, Socket(port), &kEndOfData, 1, nullptr, true);
      if (end_sent && ReadAcknowledgement(port)) {
        ok = true;
        break;
      }
      core::MarkInError(port);
    }
  }
  CloseConnection(port, &lpr->socket, ok ? 0 : kAbortive);
  return ok;
}

}  // namespace transport
