#include "ipp/job.h"

#include <winsock.h>
#include <winspool.h>

#include "core/ini.h"
#include "core/job_status.h"
#include "core/outcome.h"
#include "core/port_values.h"
#include "core/retry.h"
#include "core/state.h"
#include "core/text.h"
#include "core/url.h"
#include "ipp/codec.h"
#include "ipp/http.h"
#include "transport/socket.h"

namespace ipp {
namespace {

using core::PortEntry;

constexpr int kConnectTries = 10;
constexpr DWORD kBusyPortPause = 1000;
constexpr DWORD kSettle = 50;
constexpr DWORD kNotAcceptingWait = 15000;
constexpr DWORD kPollInterval = 30000;
// Silent retries wait this long at first, then twice as long each time up
// to the resend wait.
constexpr DWORD kFirstRetryPause = 1000;
constexpr std::uint32_t kPlainPiece = 16384;

core::IppBlock* Block(PortEntry* port) { return core::Ipp(port); }
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

bool PollRequested(PortEntry* port) { return (port->flags & core::kPollRequested) != 0; }

bool Connect(PortEntry* port, core::Socket* slot, std::uint32_t close_flags) {
  core::IppBlock* b = Block(port);
  transport::ConnectPlan plan{};
  plan.host = b->UseProxy ? b->ProxyName : b->host;
  plan.port = b->UseProxy ? b->ProxyNum : b->port;
  plan.tries = kConnectTries;
  plan.busy_pause = kBusyPortPause;
  plan.close_flags = close_flags;
  plan.failed_outcome = core::kIppConnectFailed;
  return transport::ConnectWithRetry(port, slot, plan);
}

// Reads one HTTP response and decodes its IPP body into the port. The
// command time-out bounds the whole response, however it trickles in, and a
// job deleted meanwhile ends the wait.
bool ReadResponse(PortEntry* port, SOCKET s) {
  port->send_error = 0;
  DWORD started = GetTickCount();
  auto* receive = static_cast<std::uint8_t*>(core::Alloc(kHttpBufferSize));
  auto* body = static_cast<std::uint8_t*>(core::Alloc(kHttpBufferSize));
  bool ok = false;
  if (receive != nullptr && body != nullptr) {
    HttpReader reader;
    HttpReaderInit(&reader, receive, body);
    for (;;) {
      std::uint32_t room = 0;
      std::uint8_t* space = HttpReaderSpace(&reader, &room);
      if (room == 0) break;
      std::uint32_t count = Transport(port).recv(port, s, space, room, true, started);
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
  core::Free(receive);
  core::Free(body);
  if (!ok) {
    if (port->send_error == 0) port->send_error = core::kIppExchangeFailed;
    if (port->send_error == core::kTimedOut) port->send_error = core::kIppExchangeTimedOut;
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
    if (core::JobBeingDeleted(port)) return false;
    core::MarkInError(port);
    // An idle printer says nothing about the stall: the prompt is the
    // time-out's, and sending goes on where it stopped.
    if (port->send_error == core::kTimedOut && CheckPrinter(port, kAskState) &&
        port->send_error == core::kSendOk)
      port->send_error = core::kTimedOut;
    if (core::RetryPrompt(port) == 0) {
      core::CancelJob(port);
      return false;
    }
    unit += sent;
    size -= sent;
  }
}

std::uint32_t Piece(const PortEntry* port) {
  return port->SendBufSize != 0 ? port->SendBufSize : core::kDefaultSendBufSize;
}

// Sends the gathered chunks; the job bytes among them count as sent.
bool SendGathered(PortEntry* port) {
  core::IppBlock* b = Block(port);
  if (b->gathered == 0) return true;
  std::uint32_t sent = 0;
  bool ok = SendWithRetry(port, b->gather, b->gathered, &sent);
  if (ok) port->bytes_sent += b->gathered_data;
  b->gathered = b->gathered_data = 0;
  return ok;
}

// Room for a piece of job bytes and the framing of many small chunks, or
// for one chunk larger than that; for the chunk alone when a SendBufSize
// too large to allocate leaves no more.
bool GrowGather(PortEntry* port, std::uint32_t framed) {
  core::IppBlock* b = Block(port);
  core::Free(b->gather);
  std::uint64_t pieces = 2 * static_cast<std::uint64_t>(Piece(port));
  std::uint32_t capacity = pieces > framed && pieces <= 0x7FFFFFFF
                               ? static_cast<std::uint32_t>(pieces) : framed;
  b->gather = static_cast<std::uint8_t*>(core::Alloc(capacity));
  if (b->gather == nullptr && capacity != framed) {
    capacity = framed;
    b->gather = static_cast<std::uint8_t*>(core::Alloc(capacity));
  }
  b->gather_capacity = b->gather != nullptr ? capacity : 0;
  return b->gather != nullptr;
}

// Frames one chunk into the gather buffer. What is gathered goes out first
// when the chunk does not fit behind it; the buffer grows for a chunk larger
// than it.
bool GatherChunk(PortEntry* port, const std::uint8_t* data, std::uint32_t n) {
  core::IppBlock* b = Block(port);
  char line[kChunkSizeLineSize];
  std::uint32_t line_size = static_cast<std::uint32_t>(ChunkSizeLine(line, n));
  std::uint32_t framed = line_size + n + 2;
  if (b->gathered + framed > b->gather_capacity) {
    if (!SendGathered(port)) return false;
    if (framed > b->gather_capacity && !GrowGather(port, framed)) {
      port->send_error = core::kIppExchangeFailed;
      return false;
    }
  }
  std::uint8_t* at = b->gather + b->gathered;
  CopyMemory(at, line, line_size);
  CopyMemory(at + line_size, data, n);
  at[line_size + n] = '\r';
  at[line_size + n + 1] = '\n';
  b->gathered += framed;
  return true;
}

void ForgetGathered(core::IppBlock* b) {
  core::Free(b->gather);
  b->gather = nullptr;
  b->gather_capacity = b->gathered = b->gathered_data = 0;
}

// Job bytes, chunked or plain. Chunks are gathered until they hold a piece
// (SendBufSize) of job bytes and leave in one send: under some WinSock
// layers a send costs about the same whatever its size, and the spooler's
// buffers are often far smaller than a piece. The bytes on the wire are
// those of one send per chunk.
bool SendData(PortEntry* port, const std::uint8_t* data, std::uint32_t size) {
  core::IppBlock* b = Block(port);
  if (!b->Chunked) {
    while (size > 0) {
      std::uint32_t piece = size < kPlainPiece ? size : kPlainPiece;
      std::uint32_t sent = 0;
      bool ok = SendWithRetry(port, data, piece, &sent);
      port->bytes_sent += sent;
      if (!ok) return false;
      data += piece;
      size -= piece;
    }
    return true;
  }
  // A chunk size of 0 would never move; the set-up dialogs never store it.
  std::uint32_t chunk = b->MaxChunk != 0 ? b->MaxChunk : core::kDefaultMaxChunk;
  while (size > 0) {
    std::uint32_t n = size < chunk ? size : chunk;
    if (b->gathered_data + n > Piece(port) && !SendGathered(port)) return false;
    if (!GatherChunk(port, data, n)) return false;
    b->gathered_data += n;
    if (b->gathered_data >= Piece(port) && !SendGathered(port)) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool Start(PortEntry* port) {
  core::IppBlock* b = Block(port);
  // Settings that cannot name a printer fail the job; they are never cut
  // down to ones that name some other host or port.
  if (!core::ParseUrl(b) ||
      (b->UseProxy && (!core::IsHostName(b->ProxyName) || b->ProxyNum == 0 || b->ProxyNum > 65535))) {
    port->send_error = core::kIppBadSettings;
    return false;
  }
  if (!CheckPrinter(port, kAskStateAndAccepting)) return false;
  if (port->printer_status != 0) {
    if (!PollRequested(port) && (b->severity & core::kSeverityBitError)) StartPolling(port);
    core::ReportPrinterStatus(port);
  }
  if (port->flags & core::kConnected) return true;
  if (!Connect(port, &b->data_socket, 0)) {
    transport::CloseConnection(port, &b->data_socket, 0);
    if (port->send_error == 0) port->send_error = core::kIppNoAnswer;
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
      // The request is the body's first chunk, and goes at once.
      b->gathered = b->gathered_data = 0;
      ok = GatherChunk(port, request, static_cast<std::uint32_t>(request_size)) &&
           SendGathered(port);
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
    if (port->send_error == core::kTimedOut) port->send_error = core::kIppExchangeTimedOut;
    return false;
  }
  core::SetFlags(port, core::kConnected);
  return true;
}

bool SendJobData(PortEntry* port, const std::uint8_t* data, std::uint32_t size) {
  port->send_error = 0;
  // The connection's own flag, not the byte count, which wraps at 4 GiB.
  if (!core::HasFlags(port, core::kConnected) && !Start(port)) return false;
  return SendData(port, data, size);
}

void AfterSend(PortEntry* port) {
  if ((port->flags & core::kErrorState) || PollRequested(port)) {
    CheckPrinter(port, kAskState);
    port->printer_status &= ~PRINTER_STATUS_PROCESSING;
    core::ReportPrinterStatus(port);
    core::MarkPrinting(port);
  }
  core::ClosePrompt(port);
}

bool SendLastChunk(PortEntry* port) {
  for (;;) {
    if (!core::WaitWhileJobPaused(port, core::ReadJobStatus(port))) return false;
    if (core::HasFlags(port, core::kErrorState)) {
      if (port->send_error != core::kTimedOut) port->send_error = core::kSocketError;
      if (core::RetryPrompt(port) == 0) return false;
    }
    if (Transport(port).send(port, Data(port), reinterpret_cast<const std::uint8_t*>(kLastChunk),
                             sizeof(kLastChunk) - 1, nullptr, true))
      return true;
    core::MarkInError(port);
  }
}

core::PortWorker Poller(PortEntry* port) {
  return {&Block(port)->poll_event, core::kPollRequested, core::kPollRunning};
}

DWORD WINAPI PollThread(LPVOID parameter) {
  auto* port = static_cast<PortEntry*>(parameter);
  core::IppBlock* b = Block(port);
  {
    // A status query of the job's own is under way: it reports for itself.
    core::Locked lock;
    if (b->status_socket != core::kNoSocket) port->flags &= ~core::kPollRequested;
  }
  bool run = core::PortWorkerBegins(port, Poller(port));
  while (run) {
    WaitForSingleObject(b->poll_event, kPollInterval);
    if (!PollRequested(port) || !core::HasFlags(port, core::kJobActive)) break;
    bool idle = StatusQuery(port, kAskState);
    core::ReportPrinterStatus(port);
    if (idle || (b->severity & core::kSeverityBitError) == 0) break;
  }
  core::PortWorkerEnds(port, Poller(port));
  return 0;
}

}  // namespace

bool StatusQuery(PortEntry* port, int mode) {
  core::IppBlock* b = Block(port);
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
  if (ok) ok = ReadResponse(port, static_cast<SOCKET>(b->status_socket));
  if (ok && mode == kAskStateAndAccepting && b->accepting == 0) {
    ok = false;
    port->send_error = core::kIppNotAccepting;
  }
  if (port->send_error == core::kSocketError) port->send_error = core::kIppNoAnswer;
  transport::CloseConnection(port, &b->status_socket, kKeep);
  Sleep(kSettle);
  return ok;
}

bool CheckPrinter(PortEntry* port, int mode) {
  if (PollRequested(port)) StopPolling(port);
  if (StatusQuery(port, mode)) return true;
  core::IppBlock* b = Block(port);
  switch (port->send_error) {
    case 0:
      port->send_error = core::kIppNoAnswer;
      return false;
    case core::kTimedOut:
      port->send_error = core::kIppExchangeTimedOut;
      return false;
    case core::kIppPrinterProcessing:
      // Busy with other work: the job is handed over and waits there.
      if ((b->severity & core::kSeverityBitError) == 0 && (port->printer_status & PRINTER_STATUS_OFFLINE) == 0)
        port->printer_status |= PRINTER_STATUS_PROCESSING;
      return true;
    case core::kIppPrinterStopped:
      if (b->severity & core::kSeverityBitError) StartPolling(port);
      return true;
    case core::kIppNotAccepting:
      core::Pause(kNotAcceptingWait);
      return false;
    default:
      return false;
  }
}

void StartPolling(PortEntry* port) {
  core::Locked lock;
  if (!PollRequested(port)) core::StartPortWorker(port, Poller(port), PollThread);
}

bool StopPolling(PortEntry* port) { return core::StopPortWorker(port, Poller(port)); }

bool IppWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written) {
  *written = 0;
  DWORD pause = kFirstRetryPause;
  for (;;) {
    if (SendJobData(port, data, size)) {
      AfterSend(port);
      *written = size;
      return true;
    }
    if (core::JobBeingDeleted(port)) break;
    std::uint32_t code = port->send_error;
    if (code != core::kTimedOut && (code < core::kIppPrinterProcessing || code > core::kIppNotAccepting))
      transport::CloseConnection(port, &Block(port)->data_socket, transport::kAbortive);
    core::MarkInError(port);
    if (core::RetryPrompt(port) == 0) {
      core::CancelJob(port);
      return false;
    }
    // A refused connection fails at once: going on at once would try
    // thousands of times a second. A time-out has waited already.
    if (code != core::kTimedOut) {
      core::Pause(pause);
      pause = pause < core::kResendWait / 2 ? pause * 2 : core::kResendWait;
      if (core::JobBeingDeleted(port)) break;
    }
  }
  transport::CloseConnection(port, &Block(port)->data_socket, transport::kAbortive);
  return false;
}

bool IppEnd(PortEntry* port) {
  core::IppBlock* b = Block(port);
  if (PollRequested(port)) StopPolling(port);
  // The last chunks gathered go as a write's would, then the body's end.
  bool sent = true;
  if (b->data_socket != core::kNoSocket && b->gathered != 0) {
    sent = SendGathered(port);
    if (sent) AfterSend(port);
  }
  ForgetGathered(b);
  if (b->data_socket == core::kNoSocket) return true;
  if (b->Chunked && (!sent || !SendLastChunk(port))) {
    transport::CloseConnection(port, &b->data_socket, transport::kAbortive);
    return false;
  }
  bool ok = ReadResponse(port, Data(port));
  transport::CloseConnection(port, &b->data_socket,
                             core::JobBeingDeleted(port) ? transport::kAbortive : 0);
  std::uint32_t code = port->send_error;
  if (!ok && core::IsIppErrorStatus(code))
    core::MessageFromIni(nullptr, "IDS_IPP_SEND_ERR_CODE", MB_ICONHAND, core::NumberInsert(code));
  return ok;
}

bool IdentifyPrinter(PortEntry* port, const core::IppBlock* settings) {
  core::IppBlock* b = Block(port);
  char user[260];
  DWORD user_size = sizeof(user);
  if (!GetUserNameA(user, &user_size)) user[0] = '\0';
  char* previous_user;
  {
    core::Locked lock;
    if (settings->UseProxy) {
      core::CopyText(b->ProxyName, sizeof(b->ProxyName), settings->ProxyName);
      b->ProxyNum = settings->ProxyNum;
    }
    core::CopyText(b->Language, sizeof(b->Language), settings->Language);
    b->UseProxy = settings->UseProxy;
    b->request_id = 1;
    b->data_socket = b->status_socket = core::kNoSocket;
    port->cmd_timeout = port->data_timeout = core::kIppTimeout;
    port->cached_job_status = 0;
    port->send_error = 0;
    if (b->make_and_model == nullptr) b->make_and_model = static_cast<char*>(core::Alloc(1024));
    previous_user = port->user_name;
    port->user_name = user[0] != '\0' ? user : nullptr;
  }
  bool ok = StatusQuery(port, kAskModel);
  // A printer that wants credentials has answered all the same.
  if (port->send_error == core::kIppNotAuthenticated || port->send_error == core::kIppNotAuthorized)
    ok = true;
  core::Locked lock;
  port->user_name = previous_user;
  return ok;
}

}  // namespace ipp
