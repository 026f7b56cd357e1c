// Jobs on a port: StartDocPort chooses between sending each buffer at once
// and collecting the job in a spool file for EndDocPort; the resend loop
// follows the spooler's view of the job while the printer cannot be reached.
#include "monitor/job.h"

#include <winspool.h>

#include "core/job_status.h"
#include "core/port_values.h"
#include "core/retry.h"
#include "core/state.h"
#include "core/store.h"
#include "core/text.h"

namespace monitor {
namespace {

using namespace core;

constexpr DWORD kWatchInterval = 15000;
constexpr int kOpenPrinterTries = 120;
constexpr DWORD kOpenPrinterWait = 500;
constexpr int kGetJobTries = 120;
constexpr DWORD kDiChannel = 1;  // DOC_INFO_2 mode: the job talks to the port itself
constexpr DWORD kErrorChannelRefused = 1012;
// Spool file writes of a few KiB each cost several times what one large
// write costs; the copy for a resend needs every byte only when it is read.
constexpr std::uint32_t kSpoolStage = 65536;

PortEntry* Entry(HANDLE handle) { return static_cast<PortEntry*>(handle); }

bool PassThroughWrite(PortEntry* port, const std::uint8_t* data, std::uint32_t size,
                      std::uint32_t* written) {
  DWORD count = 0;
  BOOL ok = WriteFile(port->spool_file, data, size, &count, nullptr);
  *written = count;
  return ok && count == size;
}

void GetJobInfo(PortEntry* port) {
  if (port->kind == kIpp) {
    port->send_at_end = Ipp(port)->Chunked ? 0 : 1;
    port->job_size = 0;
  } else if (port->kind == kLpr) {
    port->send_at_end = Lpr(port)->NonByteCount ? 0 : 1;
    port->job_size = 0;
  }
  if (port->printer == nullptr) return;
  JOB_INFO_2A* job = ReadJob(port, kGetJobTries);
  if (job == nullptr) return;
  // A RAW job the spooler has finished spooling has a known size: it can go
  // straight out even on kinds that otherwise need the size first.
  bool raw = job->pDatatype != nullptr && EqualNoCase(job->pDatatype, "RAW");
  if (raw && job->Status == JOB_STATUS_PRINTING &&
      (port->printer_attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) == 0 && port->NonSpool != 0) {
    port->send_at_end = 0;
    port->job_size = job->Size;
  }
  if (job->pUserName != nullptr) port->user_name = DupText(job->pUserName);
  if (job->pDocument != nullptr) port->document_name = DupText(job->pDocument);
  Free(job);
}

void SpoolDirectory(char* out, DWORD size) {
  if (ReadInstallPath(out, size)) {
    std::size_t length = TextLength(out);
    if (length > 0 && out[length - 1] != '\\') AppendText(out, size, "\\");
    AppendText(out, size, "Spool");
    return;
  }
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  std::size_t length = TextLength(temp);
  if (length > 0 && temp[length - 1] == '\\') temp[length - 1] = '\0';
  CopyText(out, size, temp);
}

HANDLE CreateSpoolFile(const char* name) {
  return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

bool OpenSpoolFile(PortEntry* port) {
  char directory[MAX_PATH];
  SpoolDirectory(directory, sizeof(directory));
  char name[MAX_PATH + 16];
  wsprintfA(name, "%s\\~QVE%03d.QVE", directory, static_cast<int>(port->job_id % 1000));
  HANDLE file = CreateSpoolFile(name);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
    if (!CreateDirectoryA(directory, nullptr)) return false;
    file = CreateSpoolFile(name);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  port->spool_file = file;
  return true;
}

void ReleaseJob(PortEntry* port) {
  if (port->printer != nullptr) {
    port->printer_status = 0;
    ReportPrinterStatus(port);
    ClosePrinter(port->printer);
    port->printer = nullptr;
  }
  if (port->spool_file != INVALID_HANDLE_VALUE) {
    // A file written through a pass-through port ends with this job, even
    // if an older, longer one stood there before.
    if (port->kind == kPassThrough && GetFileType(port->spool_file) == FILE_TYPE_DISK)
      SetEndOfFile(port->spool_file);
    CloseHandle(port->spool_file);
    port->spool_file = INVALID_HANDLE_VALUE;
  }
  Free(port->spool_stage);
  port->spool_stage = nullptr;
  port->staged = 0;
  Free(port->user_name);
  Free(port->document_name);
  port->user_name = nullptr;
  port->document_name = nullptr;
}

bool StartFailed(PortEntry* port) {
  DWORD error = GetLastError();
  ReleaseJob(port);
  SetLastError(error);
  return false;
}

constexpr PortWorker kWatcher{nullptr, kWatchRequested, kWatchRunning};

PortWorker Watcher(PortEntry* port) {
  PortWorker watcher = kWatcher;
  watcher.event = &port->watch_event;
  return watcher;
}

DWORD WINAPI JobWatcher(LPVOID parameter) {
  auto* port = static_cast<PortEntry*>(parameter);
  bool go_on = PortWorkerBegins(port, Watcher(port));
  while (go_on) {
    WaitForSingleObject(port->watch_event, kWatchInterval);
    Locked lock;
    go_on = (port->flags & kWatchRequested) && (port->flags & kJobActive);
    // The socket waits read this copy instead of asking the spooler from
    // inside them. It is kept fresh for the whole job, not only while the
    // data connection is open: a status query or the wait for the printer's
    // last answer must see a deletion too.
    if (go_on) {
      DWORD status = 0;
      if (port->printer != nullptr) {
        alignas(8) BYTE buffer[2048];
        DWORD needed = 0;
        if (GetJobA(port->printer, port->job_id, 2, buffer, sizeof(buffer), &needed))
          status = reinterpret_cast<JOB_INFO_2A*>(buffer)->Status;
      }
      port->cached_job_status = status;
    }
  }
  // Also when the job ended before this thread got to run.
  PortWorkerEnds(port, Watcher(port));
  return 0;
}

bool WriteSpool(PortEntry* port, const void* data, DWORD size) {
  DWORD count = 0;
  return WriteFile(port->spool_file, data, size, &count, nullptr) && count == size;
}

bool WriteStaged(PortEntry* port) {
  bool ok = port->staged == 0 || WriteSpool(port, port->spool_stage, port->staged);
  port->staged = 0;
  return ok;
}

// Adds a buffer to the spool file, through the stage when there is one.
bool Spool(PortEntry* port, const std::uint8_t* data, DWORD size) {
  if (port->spool_stage == nullptr) return WriteSpool(port, data, size);
  if (port->staged + size > kSpoolStage && !WriteStaged(port)) return false;
  if (size >= kSpoolStage) return WriteSpool(port, data, size);
  CopyMemory(port->spool_stage + port->staged, data, size);
  port->staged += size;
  return true;
}

bool ReplaySpoolFile(PortEntry* port, std::uint8_t* buffer, DWORD size) {
  if (port->send == nullptr) return false;
  // With a high part given, the low part counts as unsigned: up to 4 GB.
  LONG high = 0;
  SetLastError(NO_ERROR);
  if (SetFilePointer(port->spool_file, static_cast<LONG>(port->bytes_sent), &high, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  port->job_size = port->bytes_spooled;
  for (;;) {
    DWORD count = 0;
    BOOL ok = ReadFile(port->spool_file, buffer, size, &count, nullptr);
    if (!ok || count == 0) return ok;
    std::uint32_t written = 0;
    if (!port->send(port, buffer, count, &written)) return false;
  }
}

}  // namespace

bool SendFromSpool(PortEntry* port) {
  // The spool file is whole only once the stage is written to it.
  if (!WriteStaged(port)) return false;
  DWORD size = port->SendBufSize != 0 ? port->SendBufSize : kDefaultSendBufSize;
  auto* buffer = static_cast<std::uint8_t*>(Alloc(size));
  if (buffer == nullptr) return false;
  bool result = false;
  for (;;) {
    if (!WaitWhileJobPaused(port, ReadJobStatus(port))) break;
    if (HasFlags(port, kErrorState) && core::RetryPrompt(port) == 0) break;
    // The port stays in error until a sender has taken data again: the
    // senders' recovery (and IPP's printer check) look at that.
    ChangeJobStatus(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR);
    if (ReplaySpoolFile(port, buffer, size)) {
      result = true;
      break;
    }
    if (!WaitWhileJobPaused(port, MarkInError(port))) break;
    Pause(kResendWait);
  }
  Free(buffer);
  return result;
}

BOOL WINAPI StartDocPort(HANDLE handle, LPSTR printer_name, DWORD job_id, DWORD level,
                         LPBYTE doc_info) {
  PortEntry* port = Entry(handle);
  if (port->flags & kJobActive) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  const char* output = nullptr;
  if (doc_info != nullptr && (level == 1 || level == 2)) {
    // DOC_INFO_1 and DOC_INFO_2 begin alike.
    output = reinterpret_cast<DOC_INFO_1A*>(doc_info)->pOutputFile;
    if (level == 2 && reinterpret_cast<DOC_INFO_2A*>(doc_info)->dwMode == kDiChannel) {
      SetLastError(kErrorChannelRefused);
      return FALSE;
    }
  }

  port->printer = nullptr;
  port->printer_attributes = 0;
  HANDLE printer = nullptr;
  if (OpenPrinterA(printer_name, &printer, nullptr) && printer != nullptr) {
    port->printer = printer;
    alignas(8) BYTE info[540];
    DWORD needed = 0;
    if (GetPrinterA(printer, 5, info, sizeof(info), &needed))
      port->printer_attributes = reinterpret_cast<PRINTER_INFO_5A*>(info)->Attributes;
  }

  const char* registry_name = (output != nullptr && output[0] != '\0') ? output : port->name;
  if (IsRegisteredPort(registry_name)) {
    // An earlier job may have made the entry pass-through; a key without
    // "PrintMode" keeps the kind the entry was made with.
    port->kind = port->block_kind;
    LoadPortRecord(port, registry_name);
    // A document sent to the key of a port of another kind: the entry's
    // block has its own kind's shape and cannot hold those settings.
    if (port->kind != port->block_kind) {
      port->kind = port->block_kind;
      SetLastError(ERROR_INVALID_PARAMETER);
      return StartFailed(port);
    }
  } else {
    port->kind = kPassThrough;
  }

  switch (port->kind) {
    case kLpr:
      Lpr(port)->socket = kNoSocket;
      break;
    case kIpp:
      Ipp(port)->data_socket = Ipp(port)->status_socket = kNoSocket;
      Ipp(port)->job_id = 0;
      Ipp(port)->accepting = 0;
      break;
    case kRaw:
      Raw(port)->socket = kNoSocket;
      break;
    case kPassThrough:
      break;
    default:
      SetLastError(NO_ERROR);
      return StartFailed(port);
  }
  if (port->kind == kPassThrough) {
    port->send = PassThroughWrite;
    port->end_doc = nullptr;
  } else {
    port->send = g_monitor.hooks.senders[port->kind].send;
    port->end_doc = g_monitor.hooks.senders[port->kind].end_doc;
  }

  port->spool_file = INVALID_HANDLE_VALUE;
  port->job_id = job_id;
  port->cached_job_status = 0;
  port->bytes_sent = 0;
  port->bytes_spooled = 0;
  port->user_name = nullptr;
  port->document_name = nullptr;
  port->prompt_state = 0;
  port->prompt_running = 0;
  port->prompt_message_id = 0;

  for (int tries = 0; port->printer == nullptr; ++tries) {
    if (tries == kOpenPrinterTries) return StartFailed(port);
    Pause(kOpenPrinterWait);
    Locked lock;
    if (OpenPrinterA(printer_name, &printer, nullptr) && printer != nullptr) port->printer = printer;
  }

  GetJobInfo(port);

  if (port->kind == kRaw) port->send_at_end = 0;
  if (port->kind == kPassThrough) {
    port->spool_file = CreateFileA(registry_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port->spool_file == INVALID_HANDLE_VALUE) return StartFailed(port);
    port->send_at_end = 0;
  }
  if ((port->send_at_end == 1 || port->kind == kLpr || port->kind == kRaw) &&
      !OpenSpoolFile(port))
    return StartFailed(port);
  // Without a stage every buffer is written as it comes.
  port->staged = 0;
  if (port->kind != kPassThrough && port->spool_file != INVALID_HANDLE_VALUE)
    port->spool_stage = static_cast<std::uint8_t*>(Alloc(kSpoolStage));

  Locked lock;
  port->flags |= kJobActive;
  // Without a watcher the job still prints; the senders then only see a
  // deletion through the reads they make themselves.
  StartPortWorker(port, Watcher(port), JobWatcher);
  return TRUE;
}

BOOL WINAPI WritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written) {
  PortEntry* port = Entry(handle);
  if (port->kind != kPassThrough && port->spool_file != INVALID_HANDLE_VALUE) {
    if (!Spool(port, buffer, size)) {
      SetFlags(port, kWriteFailed);
      *written = 0;
      return FALSE;
    }
    port->bytes_spooled += size;
  }
  if (port->send_at_end == 0) {
    std::uint32_t sent = 0;
    if (port->send == nullptr || !port->send(port, buffer, size, &sent)) {
      if (port->kind == kLpr) {
        MarkInError(port);
        port->send_at_end = 1;
      } else if (port->kind == kPassThrough) {
        SetFlags(port, kWriteFailed);
      }
    }
  }
  // Once the data is spooled the job is never refused: the spooler goes on
  // delivering it and a resend has all of it.
  *written = size;
  SetLastError(NO_ERROR);
  return TRUE;
}

// Printers behind these ports never talk back to the spooler.
BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
  if (read != nullptr) *read = 0;
  return TRUE;
}

BOOL WINAPI EndDocPort(HANDLE handle) {
  PortEntry* port = Entry(handle);
  if ((port->flags & kJobActive) == 0) return TRUE;
  bool result = true;
  if (port->send_at_end == 1 && (port->flags & kWriteFailed) == 0) result = SendFromSpool(port);
  if (port->end_doc != nullptr) port->end_doc(port);
  ClosePrompt(port);
  StopPortWorker(port, Watcher(port));
  ReleaseJob(port);
  ClearFlags(port, kJobActive | kWriteFailed | kErrorState);
  // The job was deleted, a prompt said stop, or the spool file could not be
  // completed: either way it did not print.
  if (!result) SetLastError(ERROR_PRINT_CANCELLED);
  return result;
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE handle, DWORD control_id, LPWSTR value_name, LPWSTR in,
                                   DWORD in_size, LPWSTR out, DWORD out_size, LPDWORD returned) {
  PortEntry* port = Entry(handle);
  if ((port->flags & kJobActive) == 0 || (value_name != nullptr && value_name[0] != 0))
    return FALSE;
  return DeviceIoControl(port->spool_file, control_id, in, in_size, out, out_size, returned,
                         nullptr);
}

// Time-outs come from the port's registry settings, not from the spooler.
BOOL WINAPI SetPortTimeOuts(HANDLE, LPCOMMTIMEOUTS, DWORD) { return FALSE; }

}  // namespace monitor
