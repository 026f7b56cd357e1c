// winspool.drv as the monitor sees it on Windows 95, over printers and jobs
// the host makes up. Wine's own spooler cannot host a Windows 95 monitor, so
// this one replaces it in the host process (WINEDLLOVERRIDES=winspool.drv=n).
#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "host/pack.h"
#include "host/winspool/standin.h"
#include "monitor/monitor_table.h"

// Newer than the Windows 95 headers the build uses; Wine's advapi32 has it,
// and the stand-in runs only there.
extern "C" LONG WINAPI RegDeleteTreeA(HKEY key, LPCSTR subkey);

namespace {

struct Printer {
  std::string name;
  std::string port;
  DWORD attributes = 0;
  DWORD not_selected_ms = 0;
  DWORD retry_ms = 0;
  DWORD status = 0;
  bool saved = false;  // made by AddPrinterA: kept in the registry
};

struct Job {
  DWORD id = 0;
  std::string printer;
  std::string user;
  std::string document;
  std::string datatype;
  std::string status_text;
  bool has_status_text = false;
  DWORD status = 0;
  DWORD priority = DEF_PRIORITY;
  DWORD size = 0;
  DWORD total_pages = 0;
  DWORD pages_printed = 0;
  SYSTEMTIME submitted{};
};

// What an OpenPrinterA handle points at. An empty printer name is the local
// print server (OpenPrinterA with no name).
struct PrinterHandle {
  std::string printer;
};

// Bits the spooler owns: a monitor writing a job's Status must not undo a
// pause or a cancel that happened meanwhile.
constexpr DWORD kSpoolerJobBits = JOB_STATUS_PAUSED | JOB_STATUS_DELETING | JOB_STATUS_SPOOLING |
                                  JOB_STATUS_DELETED | JOB_STATUS_RESTART;

constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\";
constexpr char kEnvironment[] = "Windows 4.0";

CRITICAL_SECTION g_lock;
// Taken before g_lock is released so that events reach the sink in the
// order the changes were made, even when threads race.
CRITICAL_SECTION g_sink_lock;
std::vector<Printer> g_printers;
std::vector<Job> g_jobs;
std::vector<PrinterHandle*> g_handles;
DWORD g_next_job_id = 1;
VexaSpoolEnumPortsProc g_enum_ports = nullptr;
VexaSpoolEventSink g_sink = nullptr;
void* g_sink_context = nullptr;

struct Locked {
  Locked() { EnterCriticalSection(&g_lock); }
  ~Locked() { LeaveCriticalSection(&g_lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

void LoadSavedPrinters();

Printer* FindPrinter(const char* name) {
  LoadSavedPrinters();
  for (Printer& printer : g_printers)
    if (SameName(printer.name, name)) return &printer;
  return nullptr;
}

// Printers made with AddPrinterA outlive the process that made them, as on
// Windows, so that a second program (SETUP.EXE) sees them. The key is the
// stand-in's own: Wine keeps its CUPS printers under the Windows one.
constexpr char kPrintersKey[] = "Software\\Vexa\\Stand-in Spooler\\Printers";
bool g_saved_loaded = false;

DWORD ReadDword(HKEY key, const char* name) {
  DWORD value = 0, size = sizeof(value), type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return value;
}

// Under g_lock, before the first look at the printers.
void LoadSavedPrinters() {
  if (g_saved_loaded) return;
  g_saved_loaded = true;
  HKEY printers;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrintersKey, 0, KEY_READ, &printers) != ERROR_SUCCESS)
    return;
  char name[MAX_PATH];
  for (DWORD i = 0; RegEnumKeyA(printers, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
    HKEY key;
    if (RegOpenKeyExA(printers, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    char port[MAX_PATH] = "";
    DWORD size = sizeof(port) - 1, type = 0;
    if (RegQueryValueExA(key, "Port", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
      Printer printer;
      printer.name = name;
      printer.port = port;
      printer.attributes = ReadDword(key, "Attributes");
      printer.saved = true;
      g_printers.push_back(printer);
    }
    RegCloseKey(key);
  }
  RegCloseKey(printers);
}

LONG SavePrinter(const Printer& printer) {
  std::string path = std::string(kPrintersKey) + "\\" + printer.name;
  HKEY key;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(printer.port.c_str()),
                          host::StringBytes(printer.port.c_str()));
  if (status == ERROR_SUCCESS)
    status = RegSetValueExA(key, "Attributes", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&printer.attributes), sizeof(DWORD));
  RegCloseKey(key);
  return status;
}

Job* FindJob(DWORD id) {
  for (Job& job : g_jobs)
    if (job.id == id) return &job;
  return nullptr;
}

PrinterHandle* FindHandle(HANDLE handle) {
  for (PrinterHandle* known : g_handles)
    if (known == handle) return known;
  return nullptr;
}

// The job as seen through a printer handle; a job of another printer is as
// unknown as one that never existed.
Job* FindJobOf(const PrinterHandle& handle, DWORD id) {
  Job* job = FindJob(id);
  if (!job || handle.printer.empty() || !SameName(job->printer, handle.printer.c_str()))
    return nullptr;
  return job;
}

DWORD PositionOf(const Job& job) {
  DWORD position = 0;
  for (const Job& other : g_jobs) {
    if (SameName(other.printer, job.printer.c_str())) ++position;
    if (other.id == job.id) break;
  }
  return position;
}

const std::string& MachineName() {
  static std::string name;
  if (name.empty()) {
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "VEXAHOST";
    DWORD size = sizeof(computer);
    GetComputerNameA(computer, &size);
    name = std::string("\\\\") + computer;
  }
  return name;
}

// Delivers an event built under g_lock and releases g_lock.
void DeliverAndUnlock(const VexaSpoolEvent& event) {
  VexaSpoolEventSink sink = g_sink;
  void* context = g_sink_context;
  EnterCriticalSection(&g_sink_lock);
  LeaveCriticalSection(&g_lock);
  if (sink) sink(context, &event);
  LeaveCriticalSection(&g_sink_lock);
}

// Checks the buffer against what is needed, the way every Get* call does.
BOOL CheckBuffer(DWORD needed, LPBYTE buffer, DWORD size, LPDWORD pcb_needed) {
  if (!pcb_needed) return Fail(RPC_X_NULL_REF_POINTER);
  *pcb_needed = needed;
  if (!buffer && size) return Fail(ERROR_INVALID_USER_BUFFER);
  if (size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return TRUE;
}

BOOL GetJob1(const Job& job, LPBYTE buffer, DWORD size, LPDWORD needed) {
  const char* text = job.has_status_text ? job.status_text.c_str() : nullptr;
  DWORD bytes = sizeof(JOB_INFO_1A) + host::StringBytes(job.printer.c_str()) +
                host::StringBytes(MachineName().c_str()) + host::StringBytes(job.user.c_str()) +
                host::StringBytes(job.document.c_str()) + host::StringBytes(job.datatype.c_str()) +
                host::StringBytes(text);
  if (!CheckBuffer(bytes, buffer, size, needed)) return FALSE;
  host::Packer packer = host::StartPacking(buffer, size);
  auto* info = host::PackRecord<JOB_INFO_1A>(packer);
  info->JobId = job.id;
  info->pPrinterName = host::PackString(packer, job.printer.c_str());
  info->pMachineName = host::PackString(packer, MachineName().c_str());
  info->pUserName = host::PackString(packer, job.user.c_str());
  info->pDocument = host::PackString(packer, job.document.c_str());
  info->pDatatype = host::PackString(packer, job.datatype.c_str());
  info->pStatus = host::PackString(packer, text);
  info->Status = job.status;
  info->Priority = job.priority;
  info->Position = PositionOf(job);
  info->TotalPages = job.total_pages;
  info->PagesPrinted = job.pages_printed;
  info->Submitted = job.submitted;
  return TRUE;
}

BOOL GetJob2(const Job& job, LPBYTE buffer, DWORD size, LPDWORD needed) {
  static const char kProcessor[] = "WinPrint";
  static const char kDriver[] = "Generic / Text Only";
  static const char kParameters[] = "";
  const char* text = job.has_status_text ? job.status_text.c_str() : nullptr;
  DWORD bytes = sizeof(JOB_INFO_2A) + host::StringBytes(job.printer.c_str()) +
                host::StringBytes(MachineName().c_str()) +
                2 * host::StringBytes(job.user.c_str()) +  // user and notify name
                host::StringBytes(job.document.c_str()) + host::StringBytes(job.datatype.c_str()) +
                host::StringBytes(kProcessor) + host::StringBytes(kParameters) +
                host::StringBytes(kDriver) + host::StringBytes(text);
  if (!CheckBuffer(bytes, buffer, size, needed)) return FALSE;
  host::Packer packer = host::StartPacking(buffer, size);
  auto* info = host::PackRecord<JOB_INFO_2A>(packer);
  info->JobId = job.id;
  info->pPrinterName = host::PackString(packer, job.printer.c_str());
  info->pMachineName = host::PackString(packer, MachineName().c_str());
  info->pUserName = host::PackString(packer, job.user.c_str());
  info->pDocument = host::PackString(packer, job.document.c_str());
  info->pNotifyName = host::PackString(packer, job.user.c_str());
  info->pDatatype = host::PackString(packer, job.datatype.c_str());
  info->pPrintProcessor = host::PackString(packer, kProcessor);
  info->pParameters = host::PackString(packer, kParameters);
  info->pDriverName = host::PackString(packer, kDriver);
  info->pStatus = host::PackString(packer, text);
  info->Status = job.status;
  info->Priority = job.priority;
  info->Position = PositionOf(job);
  info->TotalPages = job.total_pages;
  info->Size = job.size;
  info->Submitted = job.submitted;
  info->PagesPrinted = job.pages_printed;
  return TRUE;
}

bool ApplyJobCommand(Job& job, DWORD command) {
  switch (command) {
    case 0: return true;
    case JOB_CONTROL_PAUSE: job.status |= JOB_STATUS_PAUSED; return true;
    case JOB_CONTROL_RESUME: job.status &= ~DWORD{JOB_STATUS_PAUSED}; return true;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE: job.status |= JOB_STATUS_DELETING; return true;
    case JOB_CONTROL_RESTART: job.status |= JOB_STATUS_RESTART; return true;
    default: return false;
  }
}

bool ApplyPrinterCommand(Printer& printer, DWORD command, const BYTE* data) {
  switch (command) {
    case PRINTER_CONTROL_PAUSE: printer.status |= PRINTER_STATUS_PAUSED; return true;
    case PRINTER_CONTROL_RESUME: printer.status &= ~DWORD{PRINTER_STATUS_PAUSED}; return true;
    case PRINTER_CONTROL_PURGE:
      for (Job& job : g_jobs)
        if (SameName(job.printer, printer.name.c_str())) job.status |= JOB_STATUS_DELETING;
      return true;
    case PRINTER_CONTROL_SET_STATUS:
      // The status travels in the pointer itself, not in what it points at.
      printer.status = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
      return true;
    default: return false;
  }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&g_lock);
    InitializeCriticalSection(&g_sink_lock);
  }
  return TRUE;
}

// A process that has not loaded the monitor itself (SETUP.EXE asking which
// ports exist) gets them as from the spooler, which has: the installed
// Windows 95 monitor is loaded from the system folder, asked, and let go.
// Wine's own monitors are NT ones, without InitializeMonitorEx, and are
// passed over; the machine has one Windows 95 monitor, so its answer is the
// whole answer.
BOOL EnumPortsOfInstalledMonitor(LPSTR server, DWORD level, LPBYTE ports, DWORD size,
                                 LPDWORD needed, LPDWORD returned) {
  HKEY monitors;
  std::string root(kMonitorsKey, sizeof(kMonitorsKey) - 2);  // without its last backslash
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root.c_str(), 0, KEY_READ, &monitors) != ERROR_SUCCESS)
    return Fail(ERROR_INVALID_FUNCTION);
  char name[MAX_PATH];
  char system[MAX_PATH];
  UINT system_length = GetSystemDirectoryA(system, sizeof(system));
  for (DWORD i = 0; system_length && RegEnumKeyA(monitors, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
    HKEY key;
    if (RegOpenKeyExA(monitors, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    char driver[MAX_PATH] = "";
    DWORD driver_size = sizeof(driver) - 1;
    LONG status = RegQueryValueExA(key, "Driver", nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(driver), &driver_size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || !driver[0]) continue;
    std::string path = std::string(system) + "\\" + driver;
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) continue;
    auto initialize = reinterpret_cast<monitor::InitializeMonitorExFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "InitializeMonitorEx")));
    std::string key_path = kMonitorsKey + std::string(name);
    std::vector<char> writable(key_path.begin(), key_path.end());
    writable.push_back('\0');
    monitor::MonitorTable table{};
    if (!initialize || !initialize(writable.data(), &table) || !table.EnumPorts) {
      FreeLibrary(module);
      continue;
    }
    RegCloseKey(monitors);
    BOOL ok = table.EnumPorts(server, level, ports, size, needed, returned);
    DWORD error = GetLastError();
    FreeLibrary(module);
    SetLastError(error);
    return ok;
  }
  RegCloseKey(monitors);
  return Fail(ERROR_INVALID_FUNCTION);
}

// --- winspool -------------------------------------------------------------

BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSA) {
  if (!handle) return Fail(ERROR_INVALID_PARAMETER);
  Locked lock;
  if (name && *name && !FindPrinter(name)) return Fail(ERROR_INVALID_PRINTER_NAME);
  auto* opened = new PrinterHandle{name && *name ? FindPrinter(name)->name : std::string()};
  g_handles.push_back(opened);
  *handle = opened;
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE handle) {
  Locked lock;
  for (auto it = g_handles.begin(); it != g_handles.end(); ++it) {
    if (*it != handle) continue;
    delete *it;
    g_handles.erase(it);
    return TRUE;
  }
  return Fail(ERROR_INVALID_HANDLE);
}

BOOL WINAPI GetPrinterA(HANDLE handle, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
  Locked lock;
  PrinterHandle* opened = FindHandle(handle);
  if (!opened || opened->printer.empty()) return Fail(ERROR_INVALID_HANDLE);
  if (level != 5) return Fail(ERROR_INVALID_LEVEL);
  const Printer* printer = FindPrinter(opened->printer.c_str());
  if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
  DWORD bytes = sizeof(PRINTER_INFO_5A) + host::StringBytes(printer->name.c_str()) +
                host::StringBytes(printer->port.c_str());
  if (!CheckBuffer(bytes, buffer, size, needed)) return FALSE;
  host::Packer packer = host::StartPacking(buffer, size);
  auto* info = host::PackRecord<PRINTER_INFO_5A>(packer);
  info->pPrinterName = host::PackString(packer, printer->name.c_str());
  info->pPortName = host::PackString(packer, printer->port.c_str());
  info->Attributes = printer->attributes;
  info->DeviceNotSelectedTimeout = printer->not_selected_ms;
  info->TransmissionRetryTimeout = printer->retry_ms;
  return TRUE;
}

BOOL WINAPI SetPrinterA(HANDLE handle, DWORD level, LPBYTE data, DWORD command) {
  EnterCriticalSection(&g_lock);
  PrinterHandle* opened = FindHandle(handle);
  Printer* printer = opened && !opened->printer.empty() ? FindPrinter(opened->printer.c_str())
                                                        : nullptr;
  DWORD error = ERROR_SUCCESS;
  if (!printer)
    error = ERROR_INVALID_HANDLE;
  else if (level != 0)
    error = ERROR_INVALID_LEVEL;
  DWORD before = printer ? printer->status : 0;
  if (!error && !ApplyPrinterCommand(*printer, command, data))
    error = ERROR_INVALID_PRINTER_COMMAND;
  if (error || printer->status == before) {
    LeaveCriticalSection(&g_lock);
    return error ? Fail(error) : TRUE;
  }
  std::string name = printer->name;
  VexaSpoolEvent event{kVexaSpoolPrinterEvent, 0, name.c_str(), printer->status, nullptr};
  DeliverAndUnlock(event);
  return TRUE;
}

BOOL WINAPI GetJobA(HANDLE handle, DWORD job_id, DWORD level, LPBYTE buffer, DWORD size,
                    LPDWORD needed) {
  Locked lock;
  PrinterHandle* opened = FindHandle(handle);
  if (!opened) return Fail(ERROR_INVALID_HANDLE);
  if (level != 1 && level != 2) return Fail(ERROR_INVALID_LEVEL);
  const Job* job = FindJobOf(*opened, job_id);
  if (!job) return Fail(ERROR_INVALID_PARAMETER);
  return level == 1 ? GetJob1(*job, buffer, size, needed) : GetJob2(*job, buffer, size, needed);
}

BOOL WINAPI SetJobA(HANDLE handle, DWORD job_id, DWORD level, LPBYTE data, DWORD command) {
  EnterCriticalSection(&g_lock);
  PrinterHandle* opened = FindHandle(handle);
  Job* job = opened ? FindJobOf(*opened, job_id) : nullptr;
  DWORD error = ERROR_SUCCESS;
  if (!opened)
    error = ERROR_INVALID_HANDLE;
  else if (level > 2)
    error = ERROR_INVALID_LEVEL;
  else if (!job || (level != 0 && !data))
    error = ERROR_INVALID_PARAMETER;
  if (error) {
    LeaveCriticalSection(&g_lock);
    return Fail(error);
  }
  DWORD old_status = job->status;
  std::string old_text = job->status_text;
  bool old_has_text = job->has_status_text;
  if (level != 0) {
    // JOB_INFO_1A and JOB_INFO_2A differ before these members, so read each.
    DWORD status = level == 1 ? reinterpret_cast<JOB_INFO_1A*>(data)->Status
                              : reinterpret_cast<JOB_INFO_2A*>(data)->Status;
    const char* text = level == 1 ? reinterpret_cast<JOB_INFO_1A*>(data)->pStatus
                                  : reinterpret_cast<JOB_INFO_2A*>(data)->pStatus;
    DWORD priority = level == 1 ? reinterpret_cast<JOB_INFO_1A*>(data)->Priority
                                : reinterpret_cast<JOB_INFO_2A*>(data)->Priority;
    if (priority > MAX_PRIORITY) {
      LeaveCriticalSection(&g_lock);
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if (priority >= MIN_PRIORITY) job->priority = priority;
    job->status = (job->status & kSpoolerJobBits) | (status & ~kSpoolerJobBits);
    job->has_status_text = text != nullptr;
    job->status_text = text ? text : "";
  }
  if (!ApplyJobCommand(*job, command)) {
    job->status = old_status;
    job->status_text = old_text;
    job->has_status_text = old_has_text;
    LeaveCriticalSection(&g_lock);
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (job->status == old_status && job->has_status_text == old_has_text &&
      job->status_text == old_text) {
    LeaveCriticalSection(&g_lock);
    return TRUE;
  }
  std::string printer = job->printer;
  std::string text = job->status_text;
  VexaSpoolEvent event{kVexaSpoolJobEvent, job->id, printer.c_str(), job->status,
                       job->has_status_text ? text.c_str() : nullptr};
  DeliverAndUnlock(event);
  return TRUE;
}

BOOL WINAPI EnumPortsA(LPSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
  VexaSpoolEnumPortsProc proc;
  {
    Locked lock;
    proc = g_enum_ports;
  }
  // Called unlocked: the monitor may well call back into the spooler.
  if (proc) return proc(server, level, ports, size, needed, returned);
  return EnumPortsOfInstalledMonitor(server, level, ports, size, needed, returned);
}

BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                          LPDWORD needed, LPDWORD returned) {
  if (!needed || !returned) return Fail(RPC_X_NULL_REF_POINTER);
  if (name && *name) return Fail(ERROR_INVALID_NAME);
  if (level != 1 && level != 5) return Fail(ERROR_INVALID_LEVEL);
  *returned = 0;
  Locked lock;
  LoadSavedPrinters();
  if ((flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_DEFAULT)) == 0) return CheckBuffer(0, buffer, size, needed);
  DWORD bytes = 0;
  for (const Printer& printer : g_printers)
    bytes += level == 1 ? sizeof(PRINTER_INFO_1A) + 2 * host::StringBytes(printer.name.c_str()) +
                              host::StringBytes("")
                        : sizeof(PRINTER_INFO_5A) + host::StringBytes(printer.name.c_str()) +
                              host::StringBytes(printer.port.c_str());
  if (!CheckBuffer(bytes, buffer, size, needed)) return FALSE;
  host::Packer packer = host::StartPacking(buffer, size);
  for (const Printer& printer : g_printers) {
    if (level == 1) {
      auto* info = host::PackRecord<PRINTER_INFO_1A>(packer);
      info->Flags = PRINTER_ENUM_ICON8;
      info->pDescription = host::PackString(packer, printer.name.c_str());
      info->pName = host::PackString(packer, printer.name.c_str());
      info->pComment = host::PackString(packer, "");
    } else {
      auto* info = host::PackRecord<PRINTER_INFO_5A>(packer);
      info->pPrinterName = host::PackString(packer, printer.name.c_str());
      info->pPortName = host::PackString(packer, printer.port.c_str());
      info->Attributes = printer.attributes;
      info->DeviceNotSelectedTimeout = printer.not_selected_ms;
      info->TransmissionRetryTimeout = printer.retry_ms;
    }
    ++*returned;
  }
  return TRUE;
}

HANDLE WINAPI AddPrinterA(LPSTR server, DWORD level, LPBYTE data) {
  auto* info = reinterpret_cast<PRINTER_INFO_2A*>(data);
  DWORD error = ERROR_SUCCESS;
  if (server && *server) error = ERROR_INVALID_NAME;
  else if (level != 2) error = ERROR_INVALID_LEVEL;
  else if (!info || !info->pPrinterName || !*info->pPrinterName || !info->pPortName || !*info->pPortName)
    error = ERROR_INVALID_PARAMETER;
  if (error) {
    SetLastError(error);
    return nullptr;
  }
  Locked lock;
  if (FindPrinter(info->pPrinterName)) {
    SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  Printer printer;
  printer.name = info->pPrinterName;
  printer.port = info->pPortName;
  printer.attributes = info->Attributes;
  printer.saved = true;
  if (LONG status = SavePrinter(printer); status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return nullptr;
  }
  g_printers.push_back(printer);
  auto* opened = new PrinterHandle{printer.name};
  g_handles.push_back(opened);
  return opened;
}

BOOL WINAPI DeletePrinter(HANDLE handle) {
  Locked lock;
  PrinterHandle* opened = FindHandle(handle);
  if (!opened || opened->printer.empty()) return Fail(ERROR_INVALID_HANDLE);
  for (auto it = g_printers.begin(); it != g_printers.end(); ++it) {
    if (!SameName(it->name, opened->printer.c_str())) continue;
    if (it->saved) {
      std::string path = std::string(kPrintersKey) + "\\" + it->name;
      LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Fail(status);
    }
    g_printers.erase(it);
    return TRUE;
  }
  return Fail(ERROR_INVALID_PRINTER_NAME);
}

BOOL WINAPI DeleteMonitorA(LPSTR server, LPSTR environment, LPSTR name) {
  if (server && *server) return Fail(ERROR_INVALID_NAME);
  if (!name || !*name) return Fail(ERROR_INVALID_PARAMETER);
  if (environment && *environment && lstrcmpiA(environment, kEnvironment) != 0)
    return Fail(ERROR_INVALID_ENVIRONMENT);
  std::string path = std::string(kMonitorsKey) + name;
  Locked lock;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  bool registered =
      RegQueryValueExA(key, "Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!registered) return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  // The monitor's key goes with it, its ports' keys included.
  LONG status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  return status == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(status));
}

BOOL WINAPI AddMonitorA(LPSTR server, DWORD level, LPBYTE info) {
  if (server && *server) return Fail(ERROR_INVALID_NAME);
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  auto* monitor = reinterpret_cast<MONITOR_INFO_2A*>(info);
  if (!monitor || !monitor->pName || !*monitor->pName || !monitor->pDLLName ||
      !*monitor->pDLLName)
    return Fail(ERROR_INVALID_PARAMETER);
  if (monitor->pEnvironment && lstrcmpiA(monitor->pEnvironment, kEnvironment) != 0)
    return Fail(ERROR_INVALID_ENVIRONMENT);
  std::string path = std::string(kMonitorsKey) + monitor->pName;
  Locked lock;
  HKEY key;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                KEY_READ | KEY_WRITE, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return Fail(status);
  if (RegQueryValueExA(key, "Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
    return Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  }
  status = RegSetValueExA(key, "Driver", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(monitor->pDLLName),
                          host::StringBytes(monitor->pDLLName));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

// --- control --------------------------------------------------------------

BOOL WINAPI VexaSpoolAddPrinter(const VexaSpoolNewPrinter* info) {
  if (!info || !info->name || !*info->name || !info->port) return Fail(ERROR_INVALID_PARAMETER);
  Locked lock;
  Printer* printer = FindPrinter(info->name);
  if (!printer) printer = &g_printers.emplace_back();
  *printer = Printer{info->name, info->port, info->attributes, info->not_selected_ms,
                     info->retry_ms, 0};
  return TRUE;
}

BOOL WINAPI VexaSpoolSetPrinterStatus(const char* name, DWORD status) {
  if (!name) return Fail(ERROR_INVALID_PARAMETER);
  Locked lock;
  Printer* printer = FindPrinter(name);
  if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
  printer->status = status;
  return TRUE;
}

BOOL WINAPI VexaSpoolGetPrinterStatus(const char* name, DWORD* status) {
  if (!name || !status) return Fail(ERROR_INVALID_PARAMETER);
  Locked lock;
  const Printer* printer = FindPrinter(name);
  if (!printer) return Fail(ERROR_INVALID_PRINTER_NAME);
  *status = printer->status;
  return TRUE;
}

DWORD WINAPI VexaSpoolAddJob(const VexaSpoolNewJob* info) {
  if (!info || !info->printer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Locked lock;
  const Printer* printer = FindPrinter(info->printer);
  if (!printer) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return 0;
  }
  if (info->id && FindJob(info->id)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return 0;
  }
  while (!info->id && FindJob(g_next_job_id)) ++g_next_job_id;
  Job& job = g_jobs.emplace_back();
  job.id = info->id ? info->id : g_next_job_id++;
  job.printer = printer->name;
  job.user = info->user ? info->user : "";
  job.document = info->document ? info->document : "";
  job.datatype = info->datatype ? info->datatype : "RAW";
  job.status = info->status;
  job.size = info->size;
  job.total_pages = info->total_pages;
  GetSystemTime(&job.submitted);
  return job.id;
}

BOOL WINAPI VexaSpoolSetJobStatus(DWORD job_id, DWORD status) {
  Locked lock;
  Job* job = FindJob(job_id);
  if (!job) return Fail(ERROR_INVALID_PARAMETER);
  job->status = status;
  return TRUE;
}

BOOL WINAPI VexaSpoolChangeJobStatus(DWORD job_id, DWORD set, DWORD clear) {
  Locked lock;
  Job* job = FindJob(job_id);
  if (!job) return Fail(ERROR_INVALID_PARAMETER);
  job->status = (job->status | set) & ~clear;
  return TRUE;
}

BOOL WINAPI VexaSpoolSetJobProgress(DWORD job_id, DWORD size, DWORD total_pages,
                                    DWORD pages_printed) {
  Locked lock;
  Job* job = FindJob(job_id);
  if (!job) return Fail(ERROR_INVALID_PARAMETER);
  job->size = size;
  job->total_pages = total_pages;
  job->pages_printed = pages_printed;
  return TRUE;
}

BOOL WINAPI VexaSpoolGetJob(DWORD job_id, VexaSpoolJobState* state) {
  if (!state) return Fail(ERROR_INVALID_PARAMETER);
  Locked lock;
  const Job* job = FindJob(job_id);
  if (!job) return Fail(ERROR_INVALID_PARAMETER);
  state->status = job->status;
  state->size = job->size;
  state->total_pages = job->total_pages;
  state->pages_printed = job->pages_printed;
  state->has_status_text = job->has_status_text;
  lstrcpynA(state->status_text, job->status_text.c_str(), static_cast<int>(sizeof(state->status_text)));
  return TRUE;
}

BOOL WINAPI VexaSpoolRemoveJob(DWORD job_id) {
  Locked lock;
  for (auto it = g_jobs.begin(); it != g_jobs.end(); ++it) {
    if (it->id != job_id) continue;
    g_jobs.erase(it);
    return TRUE;
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

void WINAPI VexaSpoolSetEnumPorts(VexaSpoolEnumPortsProc proc) {
  Locked lock;
  g_enum_ports = proc;
}

void WINAPI VexaSpoolSetEventSink(VexaSpoolEventSink sink, void* context) {
  {
    Locked lock;
    g_sink = sink;
    g_sink_context = context;
  }
  // Once this returns, no thread is still inside the sink that was replaced.
  EnterCriticalSection(&g_sink_lock);
  LeaveCriticalSection(&g_sink_lock);
}

}  // extern "C"
