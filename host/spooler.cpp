#include "host/spooler.h"

#include <winspool.h>

#include <string>

#include "host/console.h"
#include "host/threads.h"

namespace host::spooler {
namespace {

standin::Spool g_spool;
standin::Mpr g_mpr;
monitor::MonitorTable g_table;
bool g_monitor_loaded = false;
// Background commands may be the first to need the monitor, several at once.
struct LoadLock {
  LoadLock() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
};
LoadLock g_load;
HWND g_owner = nullptr;

struct Bit {
  DWORD bit;
  const char* word;
};
constexpr Bit kJobBits[] = {
    {JOB_STATUS_PAUSED, "paused"},       {JOB_STATUS_ERROR, "error"},
    {JOB_STATUS_DELETING, "deleting"},   {JOB_STATUS_SPOOLING, "spooling"},
    {JOB_STATUS_PRINTING, "printing"},   {JOB_STATUS_OFFLINE, "offline"},
    {JOB_STATUS_PAPEROUT, "paper out"},  {JOB_STATUS_PRINTED, "printed"},
    {JOB_STATUS_DELETED, "deleted"},     {JOB_STATUS_BLOCKED_DEVQ, "blocked"},
    {JOB_STATUS_USER_INTERVENTION, "user intervention"}, {JOB_STATUS_RESTART, "restart"}};
constexpr Bit kPrinterBits[] = {
    {PRINTER_STATUS_PAUSED, "paused"},          {PRINTER_STATUS_ERROR, "error"},
    {PRINTER_STATUS_PENDING_DELETION, "pending deletion"},
    {PRINTER_STATUS_PAPER_JAM, "paper jam"},    {PRINTER_STATUS_PAPER_OUT, "paper out"},
    {PRINTER_STATUS_MANUAL_FEED, "manual feed"}, {PRINTER_STATUS_PAPER_PROBLEM, "paper problem"},
    {PRINTER_STATUS_OFFLINE, "offline"},        {PRINTER_STATUS_IO_ACTIVE, "I/O active"},
    {PRINTER_STATUS_BUSY, "busy"},              {PRINTER_STATUS_PRINTING, "printing"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "output bin full"},
    {PRINTER_STATUS_NOT_AVAILABLE, "not available"}, {PRINTER_STATUS_WAITING, "waiting"},
    {PRINTER_STATUS_PROCESSING, "processing"},  {PRINTER_STATUS_INITIALIZING, "initializing"},
    {PRINTER_STATUS_WARMING_UP, "warming up"},  {PRINTER_STATUS_TONER_LOW, "toner low"},
    {PRINTER_STATUS_NO_TONER, "no toner"},      {PRINTER_STATUS_PAGE_PUNT, "page punt"},
    {PRINTER_STATUS_USER_INTERVENTION, "user intervention"},
    {PRINTER_STATUS_OUT_OF_MEMORY, "out of memory"}, {PRINTER_STATUS_DOOR_OPEN, "door open"}};

// The status bits in words, "printing, error"; `none` for no bit.
template <std::size_t N>
std::string Words(DWORD status, const Bit (&bits)[N], const char* none) {
  std::string words;
  for (const Bit& bit : bits) {
    if ((status & bit.bit) == 0) continue;
    words += (words.empty() ? "" : ", ") + std::string(bit.word);
    status &= ~bit.bit;
  }
  if (status != 0) words += (words.empty() ? "" : ", ") + std::string("other bits");
  return words.empty() ? none : words;
}

void WINAPI ReportEvent(void*, const VexaSpoolEvent* event) {
  if (event->kind == kVexaSpoolPrinterEvent) {
    console::Out("printer status 0x%08lx: %s", event->status,
                 Words(event->status, kPrinterBits, "ready").c_str());
  } else if (event->status_text) {
    console::Out("job %lu status 0x%08lx: %s \"%s\"", event->job_id, event->status,
                 Words(event->status, kJobBits, "waiting").c_str(), event->status_text);
  } else {
    console::Out("job %lu status 0x%08lx: %s", event->job_id, event->status,
                 Words(event->status, kJobBits, "waiting").c_str());
  }
}

// The spooler loads a monitor from the system folder, where SETUP.EXE put it.
std::string DriverPath(const char* driver) {
  bool absolute = (driver[0] && driver[1] == ':') || driver[0] == '\\';
  if (absolute) return driver;
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, sizeof(system));
  return std::string(system) + "\\" + driver;
}

DWORD ReadDriver(std::string* driver) {
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  char value[MAX_PATH] = "";
  DWORD size = sizeof(value) - 1;
  DWORD type = 0;
  status = RegQueryValueExA(key, "Driver", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
  if (type != REG_SZ || !value[0]) return ERROR_BADKEY;
  *driver = value;
  return ERROR_SUCCESS;
}

DWORD LoadMonitor() {
  std::string driver;
  if (DWORD error = ReadDriver(&driver)) return error;
  HMODULE module = LoadLibraryA(DriverPath(driver.c_str()).c_str());
  if (!module) return GetLastError();
  // So that the prompts and job watchers of a background job are known as its.
  threads::FollowThreadsOf(module);
  auto initialize = reinterpret_cast<monitor::InitializeMonitorExFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "InitializeMonitorEx")));
  if (!initialize) return GetLastError();
  // The spooler hands over a writable copy of the key and an empty table.
  static char root[] =
      "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vexa Network Printer Port";
  g_table = monitor::MonitorTable{};
  SetLastError(ERROR_SUCCESS);
  if (!initialize(root, &g_table)) {
    DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
  }
  g_monitor_loaded = true;
  // EnumPortsA inside this process now lists the monitor's ports, as the
  // Windows 95 spooler's list would.
  g_spool.SetEnumPorts(g_table.EnumPorts);
  return ERROR_SUCCESS;
}

}  // namespace

bool BindStandIns() {
  if (!standin::Bind(&g_spool)) {
    console::Err("vexaspool: winspool.drv is not the stand-in (WINEDLLOVERRIDES=winspool.drv=n?)");
    return false;
  }
  if (!standin::Bind(&g_mpr)) {
    console::Err("vexaspool: mpr.dll is not the stand-in (WINEDLLOVERRIDES=mpr=n?)");
    return false;
  }
  g_spool.SetEventSink(ReportEvent, nullptr);
  return true;
}

const standin::Spool& Spool() { return g_spool; }
const standin::Mpr& Mpr() { return g_mpr; }

std::string ExeFolder() {
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path, length);
  size_t slash = folder.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

DWORD EnsureMonitor() {
  EnterCriticalSection(&g_load.lock);
  DWORD error = g_monitor_loaded ? ERROR_SUCCESS : LoadMonitor();
  LeaveCriticalSection(&g_load.lock);
  return error;
}

monitor::MonitorTable& Table() { return g_table; }

HWND Owner() {
  if (g_owner) return g_owner;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "VexaSpoolOwner";
  RegisterClassA(&window_class);
  g_owner = CreateWindowExA(0, window_class.lpszClassName, "Vexa spooler", WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, nullptr, nullptr,
                            window_class.hInstance, nullptr);
  return g_owner;
}

bool PumpUntil(HANDLE handle, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    DWORD elapsed = GetTickCount() - start;
    if (ms != INFINITE && elapsed >= ms) return false;
    DWORD left = ms == INFINITE ? INFINITE : ms - elapsed;
    DWORD result = MsgWaitForMultipleObjects(handle ? 1 : 0, &handle, FALSE, left, QS_ALLINPUT);
    if (handle && result == WAIT_OBJECT_0) return true;
  }
}

}  // namespace host::spooler
