#include "host/spooler.h"

#include "host/console.h"

namespace host::spooler {
namespace {

standin::Spool g_spool;
standin::Mpr g_mpr;
monitor::MonitorTable g_table;
bool g_monitor_loaded = false;
HWND g_owner = nullptr;

void WINAPI ReportEvent(void*, const VexaSpoolEvent* event) {
  if (event->kind == kVexaSpoolPrinterEvent) {
    console::Out("printer status 0x%08lx", event->status);
  } else if (event->status_text) {
    console::Out("job %lu status 0x%08lx \"%s\"", event->job_id, event->status,
                 event->status_text);
  } else {
    console::Out("job %lu status 0x%08lx", event->job_id, event->status);
  }
}

std::string DriverPath(const char* driver) {
  bool absolute = (driver[0] && driver[1] == ':') || driver[0] == '\\';
  return absolute ? std::string(driver) : ExeFolder() + "\\" + driver;
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
  if (g_monitor_loaded) return ERROR_SUCCESS;
  std::string driver;
  if (DWORD error = ReadDriver(&driver)) return error;
  HMODULE module = LoadLibraryA(DriverPath(driver.c_str()).c_str());
  if (!module) return GetLastError();
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
