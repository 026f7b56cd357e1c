// Control side of the winspool.drv stand-in. Only the stand-in exports these,
// so a program finds out that Wine loaded the stand-in (and not its own
// winspool) by looking one of them up; Bind() does that and fills in the rest.
#pragma once
#include <windows.h>

#include <type_traits>

extern "C" {

struct VexaSpoolNewPrinter {
  const char* name;
  const char* port;
  DWORD attributes;           // PRINTER_ATTRIBUTE_*
  DWORD not_selected_ms;      // PRINTER_INFO_5 DeviceNotSelectedTimeout
  DWORD retry_ms;             // PRINTER_INFO_5 TransmissionRetryTimeout
};

struct VexaSpoolNewJob {
  const char* printer;
  const char* user;
  const char* document;
  const char* datatype;       // null gives "RAW"
  DWORD status;               // JOB_STATUS_*
  DWORD size;
  DWORD total_pages;
  DWORD id;                   // 0 gives the next free id
};

struct VexaSpoolJobState {
  DWORD status;
  DWORD size;
  DWORD total_pages;
  DWORD pages_printed;
  BOOL has_status_text;       // pStatus was set and not cleared
  char status_text[256];
};

enum VexaSpoolEventKind : DWORD {
  kVexaSpoolJobEvent = 1,
  kVexaSpoolPrinterEvent = 2,
};

struct VexaSpoolEvent {
  DWORD kind;                 // VexaSpoolEventKind
  DWORD job_id;               // job events only
  const char* printer;
  DWORD status;               // job: the job's Status after the change; printer: its status
  const char* status_text;    // job events: pStatus after the change, or null
};

// Called after every change of a job's status or text made through SetJobA
// and every change of a printer's status made through SetPrinterA, in the
// order the changes happened, on the thread that made them. It must not call
// back into the stand-in.
typedef void(WINAPI* VexaSpoolEventSink)(void* context, const VexaSpoolEvent* event);

// Same shape as a monitor's EnumPorts, so a monitor's own entry fits.
typedef BOOL(WINAPI* VexaSpoolEnumPortsProc)(LPSTR server, DWORD level, LPBYTE ports, DWORD size,
                                             LPDWORD needed, LPDWORD returned);

// Adds the printer, or replaces the one of that name.
BOOL WINAPI VexaSpoolAddPrinter(const VexaSpoolNewPrinter* info);
BOOL WINAPI VexaSpoolSetPrinterStatus(const char* printer, DWORD status);
BOOL WINAPI VexaSpoolGetPrinterStatus(const char* printer, DWORD* status);
// Returns the new job's id; 0 when the printer does not exist or a job
// already has the id asked for.
DWORD WINAPI VexaSpoolAddJob(const VexaSpoolNewJob* info);
// Sets the job's status bits as the spooler or the user would (no event).
BOOL WINAPI VexaSpoolSetJobStatus(DWORD job_id, DWORD status);
// The same, for some bits only, in one step: a pause or a cancel from the
// user cannot undo a change the monitor makes at the same moment.
BOOL WINAPI VexaSpoolChangeJobStatus(DWORD job_id, DWORD set, DWORD clear);
BOOL WINAPI VexaSpoolSetJobProgress(DWORD job_id, DWORD size, DWORD total_pages,
                                    DWORD pages_printed);
BOOL WINAPI VexaSpoolGetJob(DWORD job_id, VexaSpoolJobState* state);
BOOL WINAPI VexaSpoolRemoveJob(DWORD job_id);
// Null routes EnumPortsA nowhere again (ERROR_INVALID_FUNCTION).
void WINAPI VexaSpoolSetEnumPorts(VexaSpoolEnumPortsProc proc);
void WINAPI VexaSpoolSetEventSink(VexaSpoolEventSink sink, void* context);

}  // extern "C"

namespace standin {

struct Spool {
  decltype(&VexaSpoolAddPrinter) AddPrinter;
  decltype(&VexaSpoolSetPrinterStatus) SetPrinterStatus;
  decltype(&VexaSpoolGetPrinterStatus) GetPrinterStatus;
  decltype(&VexaSpoolAddJob) AddJob;
  decltype(&VexaSpoolSetJobStatus) SetJobStatus;
  decltype(&VexaSpoolChangeJobStatus) ChangeJobStatus;
  decltype(&VexaSpoolSetJobProgress) SetJobProgress;
  decltype(&VexaSpoolGetJob) GetJob;
  decltype(&VexaSpoolRemoveJob) RemoveJob;
  decltype(&VexaSpoolSetEnumPorts) SetEnumPorts;
  decltype(&VexaSpoolSetEventSink) SetEventSink;
};

// False when the winspool.drv in this process is not the stand-in.
inline bool Bind(Spool* spool) {
  HMODULE module = GetModuleHandleA("winspool.drv");
  if (!module) module = LoadLibraryA("winspool.drv");
  if (!module) return false;
  auto get = [module](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
  };
  return get(spool->AddPrinter, "VexaSpoolAddPrinter") &&
         get(spool->SetPrinterStatus, "VexaSpoolSetPrinterStatus") &&
         get(spool->GetPrinterStatus, "VexaSpoolGetPrinterStatus") &&
         get(spool->AddJob, "VexaSpoolAddJob") &&
         get(spool->SetJobStatus, "VexaSpoolSetJobStatus") &&
         get(spool->ChangeJobStatus, "VexaSpoolChangeJobStatus") &&
         get(spool->SetJobProgress, "VexaSpoolSetJobProgress") &&
         get(spool->GetJob, "VexaSpoolGetJob") && get(spool->RemoveJob, "VexaSpoolRemoveJob") &&
         get(spool->SetEnumPorts, "VexaSpoolSetEnumPorts") &&
         get(spool->SetEventSink, "VexaSpoolSetEventSink");
}

}  // namespace standin
