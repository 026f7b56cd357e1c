#include "ipp/job.h"

#include <winsock.h>
#include <winspool.h>

#include "ipp/codec.h"
#include "ipp/http.h"
#include "monitor/ini.h"
#include "monitor/job.h"
#include "monitor/prompts.h"
#include "monitor/state.h"
#include "monitor/text.h"
#include "transport/socket.h"

namespace ipp {
namespace {

using monitor::PortEntry;

constexpr int kConnectTries = 10;
constexpr DWORD kBusyPortPause = 1000;
constexpr DWORD kSettle = 50;
constexpr DWORD kNotAcceptingWait = 15000;
constexpr DWORD kPollInterval = 30000;
constexpr std::uint32_t kIppTimeout = 180000;
constexpr std::uint32_t kPlainPiece = 16384;
constexpr std::uint32_t kChunkFraming = 32;

monitor::IppBlock* Block(PortEntry* port) { return monitor::Ipp(port); }
SOCKET Data(PortEntry* port) { return static_cast<SOCKET>(Block(port)->data_socket); }
const transport::TransportRow& Transport(PortEntry* port) {
  return transport::TransportTable[Block(port)->transport_index];
}

int OemToUtf16(const char* text, std::uint16_t* out, int capacity) {
  return MultiByteToWideChar(GetOEMCP(), 0, text, -1, reinterpret_cast<LPWSTR>(out), capacity);
}
int Utf16ToOem(const std::uint16_t* text, int count, char* out, int capacity) {
  return WideCharToMultiByte(GetOEMCP(), 0, reinterpret_cast<LPCWSTR>(text), count, out, capacity,
                             nullptr, nullptr);
}
constexpr Codepage kOemCodepage{OemToUtf16, Utf16ToOem};

bool PollRequested(PortEntry* port) { return (port->flags & monitor::kPollRequested) != 0; }

void MarkInError(PortEntry* port) {
  DWORD status;
  monitor::SetJobStatusBits(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING, &status);
  monitor::SetFlags(port, monitor::kErrorState);
}

bool Connect(PortEntry* port, monitor::Socket* slot, std::uint32_t close_flags) {
  monitor::IppBlock* b = Block(port);
  const char* host = b->UseProxy ? b->ProxyName : b->host;
  std::uint32_t number = b->UseProxy ? b->ProxyNum : b->port;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(static_cast<u_short>(number));
  int error = 0;
  for (int attempt = 0; attempt < kConnectTries; ++attempt) {
    SOCKET s = transport::CreateSocket();
    if (s == INVALID_SOCKET) return false;
    *slot = s;
    if (attempt == 0 && !transport::ResolveHost(host, &remote.sin_addr)) {
      transport::CloseConnection(port, slot, close_flags);
      return false;
    }
    if (transport::ConnectSocket(s, &local, &remote)) return true;
    error = WSAGetLastError();
    if (!transport::CloseConnection(port, slot, close_flags)) break;
    if (error != WSAEADDRINUSE) {
      port->send_error = kConnectFailed;
      return false;
    }
    Sleep(kBusyPortPause);
  }
  if (error != WSAEADDRINUSE) port->send_error = kConnectFailed;
  return false;
}

// Reads one HTTP response and decodes its IPP body into the port.
bool ReadResponse(PortEntry* port, SOCKET s, bool check_deletion) {
  port->send_error = 0;
  auto* receive = static_cast<std::uint8_t*>(monitor::Alloc(kHttpBufferSize));
  auto* body = static_cast<std::uint8_t*>(monitor::Alloc(kHttpBufferSize));
  bool ok = false;
  if (receive != nullptr && body != nullptr) {
    HttpReader reader;
    HttpReaderInit(&reader, receive, body);
    for (;;) {
      std::uint32_t room = 0;
      std::uint8_t* space = HttpReaderSpace(&reader, &room);
      if (room == 0) break;
      std::uint32_t count = Transport(port).recv(port, s, space, room, check_deletion);
      if (count == 0) break;
      std::uint32_t code = 0;
      HttpStep step = HttpReaderReceived(&reader, count, &code);
      if (step == HttpStep::kNeedMore) continue;
      if (step == HttpStep::kSuccess) {
        std::uint32_t length = 0;
        const std::uint8_t* ipp = HttpReaderBody(&reader, &length);
        DecodeIppResponse(port, ipp, length, &kOemCodepage);
        ok = port->send_error == 0;
      } else {
        port->send_error = code;
      }
      break;
    }
  }
  monitor::Free(receive);
  monitor::Free(body);
  if (!ok) {
    if (port->send_error == 0) port->send_error = kExchangeFailed;
    if (port->send_error == transport::kTimedOut) port->send_error = kExchangeTimedOut;
  }
  return ok;
}

// One unit of the request body on the data connection; after a failure the
// prompts decide, and sending goes on with the bytes that did not go out.
bool SendWithRetry(PortEntry* port, const std::uint8_t* unit, std::uint32_t size,
                   std::uint32_t* counter) {
  for (;;) {
    std::uint32_t sent = 0;
    bool ok = Transport(port).send(port, Data(port), unit, size, &sent, true);
    *counter += sent;
    if (ok) return true;
    if (monitor::JobBeingDeleted(port)) return false;
    MarkInError(port);
    if (port->send_error == transport::kTimedOut) CheckPrinter(port, kAskState);
    if (monitor::RetryPrompt(port) == 0) {
      monitor::CancelJob(port);
      return false;
    }
    unit += sent;
    size -= sent;
  }
}

// Job bytes, chunked or plain; `job_bytes` counts the job's bytes only.
bool SendData(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* job_bytes) {
  monitor::IppBlock* b = Block(port);
  if (!b->Chunked) {
    while (size > 0) {
      std::uint32_t piece = size < kPlainPiece ? size : kPlainPiece;
      std::uint32_t sent = 0;
      bool ok = SendWithRetry(port, data, piece, &sent);
      *job_bytes += sent;
      if (!ok) return false;
      data += piece;
      size -= piece;
    }
    return true;
  }
  // A chunk size of 0 would never move; the set-up dialogs never store it.
  std::uint32_t chunk = b->MaxChunk != 0 ? b->MaxChunk : 4096;
  std::uint32_t largest = size < chunk ? size : chunk;
  auto* work = static_cast<std::uint8_t*>(monitor::Alloc(largest + kChunkFraming));
  if (work == nullptr) {
    port->send_error = kExchangeFailed;
    return false;
  }
  bool ok = true;
  while (ok && size > 0) {
    std::uint32_t n = size < chunk ? size : chunk;
    std::size_t at = ChunkSizeLine(reinterpret_cast<char*>(work), n);
    CopyMemory(work + at, data, n);
    at += n;
    work[at++] = '\r';
    work[at++] = '\n';
    std::uint32_t sent = 0;
    ok = SendWithRetry(port, work, static_cast<std::uint32_t>(at), &sent);
    if (ok) *job_bytes += n;
    data += n;
    size -= n;
  }
  monitor::Free(work);
  return ok;
}

bool Start(PortEntry* port) {
  monitor::IppBlock* b = Block(port);
  if (!CheckPrinter(port, kAskStateAndAccepting)) return false;
  if (port->printer_status != 0) {
    if (!PollRequested(port) && (b->severity & kSeverityBitError)) StartPolling(port);
    monitor::ReportPrinterStatus(port);
  }
  if (port->flags & monitor::kConnected) return true;
  if (!Connect(port, &b->data_socket, 0)) {
    transport::CloseConnection(port, &b->data_socket, 0);
    if (port->send_error == 0) port->send_error = kNoAnswer;
    return false;
  }

  std::uint8_t request[kPrintJobMax];
  std::size_t request_size = BuildPrintJob(port, request, sizeof(request), &kOemCodepage);
  // The header and the request go out together when the body is counted.
  char packet[kRequestHeaderSize + kPrintJobMax];
  std::size_t header = BuildRequestHeader(b, packet, kRequestHeaderSize,
                                          port->job_size + static_cast<std::uint32_t>(request_size),
                                          true);
  bool ok;
  if (b->Chunked) {
    ok = Transport(port).send_in_pieces(port, Data(port), reinterpret_cast<std::uint8_t*>(packet),
                                        static_cast<std::uint32_t>(header), nullptr, true);
    if (ok) {
      Sleep(kSettle);
      std::uint32_t counted = 0;
      ok = SendData(port, request, static_cast<std::uint32_t>(request_size), &counted);
    }
  } else {
    CopyMemory(packet + header, request, request_size);
    ok = Transport(port).send_in_pieces(port, Data(port), reinterpret_cast<std::uint8_t*>(packet),
                                        static_cast<std::uint32_t>(header + request_size), nullptr,
                                        true);
  }
  Sleep(kSettle);
  if (!ok) {
    transport::CloseConnection(port, &b->data_socket, 0);
    if (port->send_error == transport::kTimedOut) port->send_error = kExchangeTimedOut;
    return false;
  }
  monitor::SetFlags(port, monitor::kConnected);
  return true;
}

bool SendJobData(PortEntry* port, const std::uint8_t* data, std::uint32_t size) {
  port->send_error = 0;
  if (port->bytes_sent == 0 && !Start(port)) return false;
  std::uint32_t job_bytes = 0;
  bool ok = SendData(port, data, size, &job_bytes);
  port->bytes_sent += job_bytes;
  return ok;
}

void AfterSend(PortEntry* port) {
  if ((port->flags & monitor::kErrorState) || PollRequested(port)) {
    CheckPrinter(port, kAskState);
    port->printer_status &= ~PRINTER_STATUS_PROCESSING;
    monitor::ReportPrinterStatus(port);
    DWORD status;
    monitor::SetJobStatusBits(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR, &status);
    monitor::ClearFlags(port, monitor::kErrorState);
  }
  monitor::ClosePrompt(port);
}

bool SendLastChunk(PortEntry* port) {
  for (;;) {
    DWORD status;
    monitor::SetJobStatusBits(port, 0, 0, &status);
    if (!monitor::WaitWhileJobPaused(port, status)) return false;
    if (port->flags & monitor::kErrorState) {
      if (port->send_error != transport::kTimedOut) port->send_error = transport::kSocketError;
      if (monitor::RetryPrompt(port) == 0) return false;
    }
    if (Transport(port).send(port, Data(port), reinterpret_cast<const std::uint8_t*>(kLastChunk),
                             sizeof(kLastChunk) - 1, nullptr, true))
      return true;
    MarkInError(port);
  }
}

DWORD WINAPI PollThread(LPVOID parameter) {
  auto* port = static_cast<PortEntry*>(parameter);
  monitor::IppBlock* b = Block(port);
  monitor::EnterLock();
  bool run = PollRequested(port);
  // A status query of the job's own is under way: it reports for itself.
  if (run && b->status_socket != monitor::kNoSocket) {
    port->flags &= ~monitor::kPollRequested;
    run = false;
  }
  if (run) port->flags |= monitor::kPollRunning;
  HANDLE event = b->poll_event;
  monitor::LeaveLock();
  while (run) {
    WaitForSingleObject(event, kPollInterval);
    if (!PollRequested(port) || (port->flags & monitor::kJobActive) == 0) break;
    bool idle = StatusQuery(port, kAskState);
    monitor::ReportPrinterStatus(port);
    if (idle || (b->severity & kSeverityBitError) == 0) break;
  }
  monitor::EnterLock();
  if (b->poll_event != nullptr) CloseHandle(b->poll_event);
  b->poll_event = nullptr;
  port->flags &= ~(monitor::kPollRequested | monitor::kPollRunning);
  monitor::LeaveLock();
  return 0;
}

bool PollerGone(PortEntry* port) {
  monitor::EnterLock();
  bool gone = Block(port)->poll_event == nullptr;
  monitor::LeaveLock();
  return gone;
}

}  // namespace

bool StatusQuery(PortEntry* port, int mode) {
  monitor::IppBlock* b = Block(port);
  port->send_error = 0;
  constexpr std::uint32_t kKeep = transport::kKeepConnected;
  if (!Connect(port, &b->status_socket, kKeep)) {
    transport::CloseConnection(port, &b->status_socket, kKeep);
    return false;
  }
  std::uint8_t request[kGetPrinterAttributesMax];
  std::size_t request_size = BuildGetPrinterAttributes(port, mode, request, sizeof(request),
                                                       &kOemCodepage);
  char packet[kRequestHeaderSize + kGetPrinterAttributesMax];
  std::size_t header = BuildRequestHeader(b, packet, kRequestHeaderSize,
                                          static_cast<std::uint32_t>(request_size), false);
  CopyMemory(packet + header, request, request_size);
  bool ok = Transport(port).send_in_pieces(port, static_cast<SOCKET>(b->status_socket),
                                           reinterpret_cast<std::uint8_t*>(packet),
                                           static_cast<std::uint32_t>(header + request_size),
                                           nullptr, true);
  if (ok) ok = ReadResponse(port, static_cast<SOCKET>(b->status_socket), true);
  if (ok && mode == kAskStateAndAccepting && b->accepting == 0) {
    ok = false;
    port->send_error = kNotAccepting;
  }
  if (port->send_error == transport::kSocketError) port->send_error = kNoAnswer;
  transport::CloseConnection(port, &b->status_socket, kKeep);
  Sleep(kSettle);
  return ok;
}

bool CheckPrinter(PortEntry* port, int mode) {
  if (PollRequested(port)) StopPolling(port);
  if (StatusQuery(port, mode)) return true;
  monitor::IppBlock* b = Block(port);
  switch (port->send_error) {
    case 0:
      port->send_error = kNoAnswer;
      return false;
    case transport::kTimedOut:
      port->send_error = kExchangeTimedOut;
      return false;
    case kPrinterProcessing:
      // Busy with other work: the job is handed over and waits there.
      if ((b->severity & kSeverityBitError) == 0 && (port->printer_status & PRINTER_STATUS_OFFLINE) == 0)
        port->printer_status |= PRINTER_STATUS_PROCESSING;
      return true;
    case kPrinterStopped:
      if (b->severity & kSeverityBitError) StartPolling(port);
      return true;
    case kNotAccepting:
      monitor::Pause(kNotAcceptingWait);
      return false;
    default:
      return false;
  }
}

void StartPolling(PortEntry* port) {
  monitor::EnterLock();
  if (!PollRequested(port)) {
    monitor::IppBlock* b = Block(port);
    b->poll_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (b->poll_event != nullptr) port->flags |= monitor::kPollRequested;
    if (b->poll_event == nullptr || !monitor::StartWorker(PollThread, port)) {
      port->flags &= ~monitor::kPollRequested;
      if (b->poll_event != nullptr) CloseHandle(b->poll_event);
      b->poll_event = nullptr;
    }
  }
  monitor::LeaveLock();
}

bool StopPolling(PortEntry* port) {
  monitor::EnterLock();
  port->flags &= ~monitor::kPollRequested;
  if (Block(port)->poll_event != nullptr) SetEvent(Block(port)->poll_event);
  monitor::LeaveLock();
  return monitor::WaitUntil(PollerGone, port);
}

bool IppWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written) {
  *written = 0;
  for (;;) {
    if (SendJobData(port, data, size)) {
      AfterSend(port);
      *written = size;
      return true;
    }
    if (monitor::JobBeingDeleted(port)) {
      transport::CloseConnection(port, &Block(port)->data_socket, transport::kAbortive);
      return false;
    }
    std::uint32_t code = port->send_error;
    if (code != transport::kTimedOut && (code < kPrinterProcessing || code > kNotAccepting))
      transport::CloseConnection(port, &Block(port)->data_socket, transport::kAbortive);
    MarkInError(port);
    if (monitor::RetryPrompt(port) == 0) {
      monitor::CancelJob(port);
      return false;
    }
  }
}

bool IppEnd(PortEntry* port) {
  monitor::IppBlock* b = Block(port);
  if (PollRequested(port)) StopPolling(port);
  if (b->data_socket == monitor::kNoSocket) return true;
  if (b->Chunked && !SendLastChunk(port)) {
    transport::CloseConnection(port, &b->data_socket, transport::kAbortive);
    return false;
  }
  bool ok = ReadResponse(port, Data(port), false);
  transport::CloseConnection(port, &b->data_socket,
                             monitor::JobBeingDeleted(port) ? transport::kAbortive : 0);
  std::uint32_t code = port->send_error;
  if (!ok && code >= 0x0400 && code <= 0x0508)
    monitor::MessageFromIni(nullptr, "IDS_IPP_SEND_ERR_CODE", MB_ICONHAND, code);
  return ok;
}

bool IdentifyPrinter(PortEntry* port, const monitor::IppBlock* settings) {
  monitor::IppBlock* b = Block(port);
  char user[260];
  DWORD user_size = sizeof(user);
  if (!GetUserNameA(user, &user_size)) user[0] = '\0';
  monitor::EnterLock();
  if (settings->UseProxy) {
    monitor::CopyText(b->ProxyName, sizeof(b->ProxyName), settings->ProxyName);
    b->ProxyNum = settings->ProxyNum;
  }
  monitor::CopyText(b->Language, sizeof(b->Language), settings->Language);
  b->UseProxy = settings->UseProxy;
  b->request_id = 1;
  b->data_socket = b->status_socket = monitor::kNoSocket;
  port->cmd_timeout = port->data_timeout = kIppTimeout;
  port->cached_job_status = 0;
  port->send_error = 0;
  if (b->make_and_model == nullptr) b->make_and_model = static_cast<char*>(monitor::Alloc(1024));
  char* previous_user = port->user_name;
  port->user_name = user[0] != '\0' ? user : nullptr;
  monitor::LeaveLock();
  bool ok = StatusQuery(port, kAskModel);
  // A printer that wants credentials has answered all the same.
  if (port->send_error == 1026 || port->send_error == 1027) ok = true;
  monitor::EnterLock();
  port->user_name = previous_user;
  monitor::LeaveLock();
  return ok;
}

}  // namespace ipp
