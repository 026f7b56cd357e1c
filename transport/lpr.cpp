// LPR (RFC 1179): a receive-job command naming the queue, a control file,
// then one data file with the job's bytes as the spooler produced them.
#include <winsock.h>
#include <winspool.h>

#include "monitor/job.h"
#include "monitor/prompts.h"
#include "monitor/state.h"
#include "monitor/text.h"
#include "transport/lpr_wire.h"
#include "transport/senders.h"
#include "transport/socket.h"

namespace transport {
namespace {

using monitor::PortEntry;

constexpr u_short kFirstReservedPort = 721;
constexpr u_short kLastReservedPort = 731;
constexpr u_short kLprPort = 515;
constexpr DWORD kBusyPortPause = 100;

SOCKET Socket(PortEntry* port) { return static_cast<SOCKET>(monitor::Lpr(port)->socket); }

void LocalHostName(char host[65]) {
  host[0] = '\0';
  if (gethostname(host, 65) == SOCKET_ERROR) host[0] = '\0';
  host[64] = '\0';
}

bool Connect(PortEntry* port) {
  monitor::LprBlock* lpr = monitor::Lpr(port);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  if (!ResolveHost(lpr->HostName, &remote.sin_addr)) return false;
  servent* service = getservbyname("printer", "tcp");
  remote.sin_port = service != nullptr ? service->s_port : htons(kLprPort);

  // RFC 1179 wants a reserved source port; with NonRFCPorts one more try
  // takes any port once all eleven are busy.
  u_short last = lpr->NonRFCPorts ? kLastReservedPort + 1 : kLastReservedPort;
  int error = 0;
  for (u_short local_port = kFirstReservedPort; local_port <= last; ++local_port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(local_port <= kLastReservedPort ? local_port : 0);
    SOCKET s = CreateSocket();
    if (s == INVALID_SOCKET) return false;
    lpr->socket = s;
    if (ConnectSocket(s, &local, &remote)) return true;
    error = WSAGetLastError();
    if (!CloseConnection(port, &lpr->socket, 0)) break;
    if (error != WSAEADDRINUSE) {
      port->send_error = kLprConnectFailed;
      return false;
    }
    Sleep(kBusyPortPause);
  }
  if (error != WSAEADDRINUSE) port->send_error = kLprConnectFailed;
  return false;
}

bool ReadAcknowledgement(PortEntry* port) {
  std::uint8_t answer[64];
  if (RecvTimed(port, Socket(port), answer, sizeof(answer), true) == 0) return false;
  if (answer[0] != 0) {
    port->send_error = kLprNack;
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
  auto* job = static_cast<JOB_INFO_1A*>(monitor::Alloc(needed));
  if (job != nullptr && !GetJobA(port->printer, port->job_id, 1, reinterpret_cast<LPBYTE>(job),
                                 needed, &needed)) {
    monitor::Free(job);
    job = nullptr;
  }
  return job;
}

bool SendHeader(PortEntry* port) {
  monitor::LprBlock* lpr = monitor::Lpr(port);
  char host[65];
  LocalHostName(host);

  char command[2 + sizeof(lpr->PortName)];
  if (!SendAndAcknowledge(port, command, ReceiveJobCommand(command, lpr->PortName))) {
    if (port->send_error == kLprNack) port->send_error = kLprQueueRefused;
    return false;
  }

  JOB_INFO_1A* job = ReadJobNames(port);
  const char* user = job != nullptr && job->pUserName != nullptr ? job->pUserName : "";
  const char* document = job != nullptr && job->pDocument != nullptr ? job->pDocument : "";
  std::size_t length = ControlFileLength(host, user, document);
  // The control file and its terminating zero byte go out together.
  auto* control = static_cast<char*>(monitor::Alloc(length + 1));
  bool ok = control != nullptr;
  if (ok) BuildControlFile(control, host, user, document, port->job_id);
  monitor::Free(job);

  char subcommand[kSubcommandSize];
  ok = ok && SendAndAcknowledge(port, subcommand,
                                ControlFileCommand(subcommand, static_cast<std::uint32_t>(length),
                                                   port->job_id, host));
  ok = ok && SendAndAcknowledge(port, control, static_cast<std::uint32_t>(length + 1));
  monitor::Free(control);
  if (!ok) return false;

  std::uint32_t size = port->job_size;
  return SendAndAcknowledge(
      port, subcommand,
      DataFileCommand(subcommand, lpr->NonByteCount ? nullptr : &size, port->job_id, host));
}

bool Open(PortEntry* port) {
  if (port->flags & monitor::kConnected) return true;
  if (!Connect(port)) {
    CloseConnection(port, &monitor::Lpr(port)->socket, 0);
    if (port->send_error != kLprConnectFailed) port->send_error = kLprHeaderFailed;
    return false;
  }
  if (!SendHeader(port)) {
    if (port->send_error != kLprQueueRefused) port->send_error = kLprHeaderFailed;
    return false;
  }
  monitor::SetFlags(port, monitor::kConnected);
  return true;
}

bool SendData(PortEntry* port, const std::uint8_t* data, std::uint32_t size) {
  port->send_error = 0;
  if (port->bytes_sent == 0 && !Open(port)) return false;
  std::uint32_t sent = 0;
  bool ok = SendInPieces(port, Socket(port), data, size, &sent, true);
  port->bytes_sent += sent;
  return ok;
}

void RecoveredFromError(PortEntry* port) {
  if (port->flags & monitor::kErrorState) {
    DWORD status;
    monitor::SetJobStatusBits(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, &status);
    monitor::ClearFlags(port, monitor::kErrorState);
  }
  monitor::ClosePrompt(port);
}

}  // namespace

bool LprWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written) {
  std::uint32_t before = port->bytes_sent;
  bool ok = SendData(port, data, size);
  *written = port->bytes_sent >= before ? port->bytes_sent - before : 0;
  if (ok) RecoveredFromError(port);
  if (port->send_error == kSocketError) port->send_error = 0;
  // A time-out keeps the connection: sending resumes where it stopped.
  if (!ok && port->send_error != kTimedOut && monitor::Lpr(port)->socket != monitor::kNoSocket)
    CloseConnection(port, &monitor::Lpr(port)->socket, kAbortive);
  return ok;
}

bool LprEnd(PortEntry* port) {
  monitor::LprBlock* lpr = monitor::Lpr(port);
  if (lpr->socket == monitor::kNoSocket) return true;
  bool ok;
  if (lpr->NonByteCount) {
    // The data file ends with the connection.
    ok = !monitor::JobBeingDeleted(port);
  } else {
    for (;;) {
      DWORD status;
      monitor::SetJobStatusBits(port, 0, 0, &status);
      if (!monitor::WaitWhileJobPaused(port, status)) {
        ok = false;
        break;
      }
      if (port->flags & monitor::kErrorState) {
        if (port->send_error != kTimedOut) port->send_error = kSocketError;
        if (monitor::RetryPrompt(port) == 0) {
          ok = false;
          break;
        }
      }
      static constexpr std::uint8_t kEndOfData = 0;
      if (SendAndAcknowledge(port, &kEndOfData, 1)) {
        ok = true;
        break;
      }
      monitor::SetFlags(port, monitor::kErrorState);
      monitor::SetJobStatusBits(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, &status);
    }
  }
  CloseConnection(port, &lpr->socket, ok ? 0 : kAbortive);
  return ok;
}

}  // namespace transport
