// A port's settings and per-job state. No Windows header here: handles are
// opaque pointers and sockets pointer-sized integers, so the table logic and
// the codecs that touch these records build and run on Linux as well.
// Fields named after a registry value keep the value's spelling.
#pragma once
#include <cstddef>
#include <cstdint>

namespace core {

using Handle = void*;
using Socket = std::uintptr_t;
inline constexpr Socket kNoSocket = ~Socket{0};  // INVALID_SOCKET

enum PortKind : std::uint32_t {
  kLpr = 0,
  kIpp = 1,
  kRaw = 2,
  kMail = 3,
  kPassThrough = 4,
};

enum StateFlag : std::uint32_t {
  kJobActive = 0x0001,
  kNetworkEntry = 0x0008,
  kSeen = 0x0010,
  kConnected = 0x0020,
  kWriteFailed = 0x0040,
  kErrorState = 0x0080,
  kWatchRequested = 0x0100,
  kWatchRunning = 0x0200,
  kPollRequested = 0x0400,
  kPollRunning = 0x0800,
};

struct PortEntry;
// Write-through procedure of a printable kind: entry, data, length, out count.
using SendProc = bool (*)(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
                          std::uint32_t* written);
// End-of-document procedure of a printable kind; its result is not used.
using EndProc = bool (*)(PortEntry* port);

struct LprBlock {
  Socket socket;
  char HostName[65];
  char PortName[33];  // the LPR queue
  std::uint16_t PortNum;
  std::uint32_t NonRFCPorts;
  std::uint32_t NonByteCount;
};

// Severity bits of printer-state-reasons, kept in IppBlock::severity.
inline constexpr std::uint16_t kSeverityBitNone = 1;
inline constexpr std::uint16_t kSeverityBitReport = 2;
inline constexpr std::uint16_t kSeverityBitWarning = 4;
inline constexpr std::uint16_t kSeverityBitError = 8;

struct IppBlock {
  Socket data_socket;
  Socket status_socket;
  Handle poll_event;
  char URL[257];
  char host[65];
  char path[33];
  char ProxyName[257];
  std::uint32_t port;
  std::uint32_t ProxyNum;
  std::uint32_t request_id;
  std::uint32_t job_id;
  std::uint32_t MaxChunk;
  std::uint32_t Chunked;
  std::uint32_t UseProxy;
  std::uint32_t JobSheets;
  std::uint32_t Base64;
  std::uint32_t accepting;
  std::uint16_t severity;  // kSeverityBit* of the printer's state reasons
  char UserName[65];
  char PassWord[65];  // clear text, for the Authorization header
  char Language[17];
  char* make_and_model;  // 1024 bytes while a printer is being identified
  std::uint32_t transport_index;
  // A chunked job's framed chunks not yet sent, from its first chunk to
  // the end of the job.
  std::uint8_t* gather;
  std::uint32_t gather_capacity;
  std::uint32_t gathered;       // bytes in gather
  std::uint32_t gathered_data;  // job bytes among them
};

struct RawBlock {
  Socket socket;
  char HostName[65];
  // 32 bits, not 16: a value past 65535 must fail, not name another port.
  std::uint32_t PortNum;
};

struct MailBlock {
  char SmtpServer[33];
  char FromAddr[65];
  char FromName[256];
  char ToAddr[6500];
  char Subject[66];
  char Body[1028];
  char Signature[514];
  char AuthID[257];
  char AuthPass[257];  // kept scrambled
  std::uint32_t AuthType;
  std::uint16_t CharCode;
  std::uint32_t DivideSize;
  std::uint32_t DivideFile;
  std::uint32_t NoPrint;
  std::uint32_t EditBody;
};

struct PortEntry {
  PortEntry* next;
  char* name;  // stored right behind the entry, in the same allocation
  char* description;
  std::uint32_t flags;
  char* remote_name;
  Handle printer;
  std::uint32_t job_id;
  Handle spool_file;
  // The job's newest bytes, on their way to the spool file in larger writes.
  std::uint8_t* spool_stage;
  std::uint32_t staged;
  std::uint32_t bytes_spooled;
  std::uint32_t job_size;
  std::uint32_t bytes_sent;
  std::uint32_t send_at_end;
  std::uint32_t printer_attributes;
  std::uint32_t cmd_timeout;
  std::uint32_t data_timeout;
  std::uint32_t send_error;
  std::uint32_t cached_job_status;
  std::uint32_t printer_status;
  std::uint32_t kind;
  std::uint32_t NonSpool;
  char* user_name;
  char* document_name;
  Handle watch_event;
  void* block;
  std::uint8_t prompt_state;
  std::uint32_t prompt_running;
  std::uint32_t prompt_message_id;
  std::uint32_t Reconnection;
  std::uint32_t SendBufSize;
  SendProc send;
  EndProc end_doc;
  // The kind the protocol block was made for. "PrintMode" may be changed in
  // the registry behind the monitor's back; a block is only ever read or
  // written as the kind it really is.
  std::uint32_t block_kind;
};

inline LprBlock* Lpr(PortEntry* p) { return static_cast<LprBlock*>(p->block); }
inline IppBlock* Ipp(PortEntry* p) { return static_cast<IppBlock*>(p->block); }
inline RawBlock* Raw(PortEntry* p) { return static_cast<RawBlock*>(p->block); }
inline MailBlock* Mail(PortEntry* p) { return static_cast<MailBlock*>(p->block); }

}  // namespace core
