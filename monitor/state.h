// Everything the monitor keeps for the life of the spooler process lives in
// this one structure. It is zero at load; InitializeMonitorEx fills it and
// nothing tears it down, as the spooler never unloads a monitor it uses.
#pragma once
#include <windows.h>

#include "monitor/port_entry.h"
#include "monitor/text.h"

namespace monitor {

inline constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr char kBuiltInName[] = "ZR-MDL0000000000 Network Printer";
// "... Network Printer" followed by "error message" in Japanese, in the
// Shift-JIS bytes a Japanese Windows 95 reads as ANSI.
inline constexpr char kBuiltInErrorTitle[] =
    "ZR-MDL0000000000 Network Printer "
    "\x83\x47\x83\x89\x81\x5b\x83\x81\x83\x62\x83\x5a\x81\x5b\x83\x57";

// Dialogs live above the monitor core; the DLL's entry code plugs them in.
struct DialogHooks {
  // Shows the add-port wizard (dialog 200); returns the dialog's end code.
  INT_PTR (*add_port_wizard)(HWND owner);
  // Shows the configure dialog of the port's kind.
  void (*configure_port)(HWND owner, PortEntry* port, const char* port_name);
  // The send-error retry prompt (dialog 401), modal, no owner: 1 retry, 0 stop.
  INT_PTR (*retry_prompt)(PortEntry* port);
  // The user name and password prompt (dialog 394): 1 OK, 0 cancelled.
  INT_PTR (*password_prompt)(PortEntry* port);
};

// What a printable kind installs in its port entry at StartDocPort.
struct Sender {
  SendProc send;
  EndProc end_doc;
};

// The long waits of the job flow (15 s between resends, 500 ms between
// printer opens) go through here, so tests can run them on a fake clock.
// Waits for another thread to react use real time.
struct Clock {
  void (*pause)(DWORD ms);  // null: Sleep
};

struct MonitorState {
  HINSTANCE module;
  CRITICAL_SECTION lock;
  PortEntry* ports;
  char name[kMonitorNameSize];
  char monitor_key[128];
  char ports_key[136];
  bool scan_enabled;
  DWORD last_scan;
  LONG scans_running;
  HANDLE scan_done;
  bool wizard_open;
  bool configure_open;
  DialogHooks dialogs;
  Sender senders[kMail];  // LPR, IPP, Raw; filled before the first job
  Clock clock;
};

extern MonitorState g_monitor;

inline void Pause(DWORD ms) {
  if (g_monitor.clock.pause != nullptr)
    g_monitor.clock.pause(ms);
  else
    Sleep(ms);
}

inline void EnterLock() { EnterCriticalSection(&g_monitor.lock); }
inline void LeaveLock() { LeaveCriticalSection(&g_monitor.lock); }

// Zero-filled local memory, as everything the monitor allocates.
inline void* Alloc(SIZE_T size) { return LocalAlloc(LPTR, size); }
inline void Free(void* p) {
  if (p != nullptr) LocalFree(p);
}
char* DupText(const char* text);

// Starts a worker thread as all of the monitor's are started: a small stack,
// the lowest priority, its handle closed at once (it ends on its own flag).
bool StartWorker(LPTHREAD_START_ROUTINE routine, void* parameter);

}  // namespace monitor
