// Everything the monitor keeps for the life of the spooler process lives in
// this one structure. It is zero at load; InitializeMonitorEx fills it and
// nothing tears it down, as the spooler never unloads a monitor it uses.
#pragma once
#include <windows.h>

#include "core/port_entry.h"
#include "core/text.h"

namespace core {

inline constexpr char kMonitorsKey[] = "System\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr char kBuiltInName[] = "ZR-MDL0000000000 Network Printer";
// "... Network Printer" followed by "error message" in Japanese, in the
// Shift-JIS bytes a Japanese Windows 95 reads as ANSI.
inline constexpr char kBuiltInErrorTitle[] =
    "ZR-MDL0000000000 Network Printer "
    "\x83\x47\x83\x89\x81\x5b\x83\x81\x83\x62\x83\x5a\x81\x5b\x83\x57";

// What a printable kind installs in its port entry at StartDocPort.
struct Sender {
  SendProc send;
  EndProc end_doc;
};

// What the layers above this one plug in, so that nothing here includes
// them: the DLL's entry code installs the dialogs, InitializeMonitorEx the
// senders and the retry decision. An empty slot behaves as "cancelled".
struct Hooks {
  // The add-port wizard (dialog 200); returns the dialog's end code.
  INT_PTR (*add_port_wizard)(HWND owner);
  // The configure dialog of the kind; it reads and writes the port's key.
  void (*configure_port)(HWND owner, const char* port_name, std::uint32_t kind);
  // The send-error retry prompt (dialog 401), modal, no owner: 1 retry, 0 stop.
  INT_PTR (*retry_dialog)(PortEntry* port);
  // The user name and password prompt (dialog 394): 1 OK, 0 cancelled.
  INT_PTR (*password_dialog)(PortEntry* port);
  // What to do after a failed send, from the port's send_error: 1 go on, 0 stop.
  int (*retry_prompt)(PortEntry* port);
  Sender senders[kMail];  // LPR, IPP, Raw
};

// The long waits of the job flow (15 s between resends, 500 ms between
// printer opens) go through here, so tests can run them on a fake clock.
// Waits for another thread to react use real time.
struct Clock {
  void (*pause)(DWORD ms);  // null: Sleep
};

// What the dialogs keep from one opening to the next, for the life of the
// process, as a user expects of a window's settings.
struct SearchListMemory {
  int sort_column;  // the column clicked last
  bool widths_known;
  int widths[3];  // column widths as last read from the registry
};

// The open broadcast address dialog.
struct BroadcastDialogState {
  HWND dialog;
  HHOOK hook;
  HBITMAP picture;
  HFONT own_font;  // null when the owner lent its font
  char ini_path[MAX_PATH];
};

struct DialogState {
  SearchListMemory search_list;
  // A message-filter hook gets no context of its own, so there is one
  // broadcast dialog; a second, from another thread, is refused.
  LONG broadcast_open;
  BroadcastDialogState broadcast;
};

struct MonitorState {
  HINSTANCE module;
  // The one lock. It guards the port table (`ports` and every entry's
  // links), every entry's `flags` and `cached_job_status`, the spooler calls
  // made on an entry's printer handle (the job's thread and its helpers
  // share it), and the network scan's fields below. The rest of an entry
  // belongs to the thread running the port's job; its helpers touch it only
  // as their code says: the retry prompt shares `prompt_state`
  // (core/retry.h), and the IPP poller makes status queries of its own,
  // which the job thread stops before making one. Never held across a
  // socket wait or a dialog.
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
  Hooks hooks;
  Clock clock;
  DialogState dialogs;
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

// Holds the lock for the rest of the enclosing block.
struct Locked {
  Locked() { EnterLock(); }
  ~Locked() { LeaveLock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// State flags change under the lock.
void SetFlags(PortEntry* port, std::uint32_t flags);
void ClearFlags(PortEntry* port, std::uint32_t flags);
bool HasFlags(PortEntry* port, std::uint32_t flags);

// Zero-filled local memory, as everything the monitor allocates.
inline void* Alloc(SIZE_T size) { return LocalAlloc(LPTR, size); }
inline void Free(void* p) {
  if (p != nullptr) LocalFree(p);
}
char* DupText(const char* text);

// Starts a worker thread as all of the monitor's are started: a small stack,
// the lowest priority, its handle closed at once (it ends on its own flag).
bool StartWorker(LPTHREAD_START_ROUTINE routine, void* parameter);

// How long a wait for another thread (job watcher, poller, retry prompt) may take.
inline constexpr DWORD kThreadEndWait = 10000;

// Polls `done` until it is true or kThreadEndWait has passed.
template <typename Done>
bool WaitUntil(Done done) {
  // Looks often rather than once a second: the other thread usually ends at
  // once, and every job's EndDocPort waits here. The first looks come after
  // 1, 2, 4 and 8 ms, so a job does not wait 10 ms for a thread long gone.
  constexpr DWORD kStep = 10;
  DWORD waited = 0;
  for (DWORD step = 1;; step = step * 2 < kStep ? step * 2 : kStep) {
    if (done()) return true;
    if (waited >= kThreadEndWait) return false;
    Sleep(step);
    waited += step;
  }
}

// A worker that lives for one job of a port (the job watcher, the IPP
// poller): it runs while `requested` is set, sleeps on its auto-reset
// event, and forgets the event as the last thing it does.
struct PortWorker {
  Handle* event;           // the entry's field that holds the event
  std::uint32_t requested;  // flag: asked to run
  std::uint32_t running;    // flag: has started
};

// Creates the event, sets `requested` and starts the thread; without an
// event or a thread nothing stays set. Call with the lock held.
bool StartPortWorker(PortEntry* port, const PortWorker& worker, LPTHREAD_START_ROUTINE routine);
// In the thread, first: false when the worker was stopped before it ran.
bool PortWorkerBegins(PortEntry* port, const PortWorker& worker);
// In the thread, last: closes the event and clears both flags.
void PortWorkerEnds(PortEntry* port, const PortWorker& worker);
// Clears `requested`, wakes the thread and waits for it to end.
bool StopPortWorker(PortEntry* port, const PortWorker& worker);

}  // namespace core
