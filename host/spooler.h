// The part of the Windows 95 spooler the host plays: it loads the monitor the
// way the spooler does and gives it the stand-in winspool and mpr to talk to.
#pragma once
#include <windows.h>

#include <string>

#include "host/mpr/standin.h"
#include "host/winspool/standin.h"
#include "monitor/monitor_table.h"

namespace host::spooler {

inline constexpr char kMonitorName[] = "Vexa Network Printer Port";
inline constexpr char kMonitorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vexa Network Printer Port";
inline constexpr char kEnvironment[] = "Windows 4.0";
inline constexpr char kMonitorDll[] = "Vexamon.dll";

// Finds the stand-ins in this process; false (and a message on stderr) when
// Wine loaded its own winspool or mpr instead.
bool BindStandIns();
const standin::Spool& Spool();
const standin::Mpr& Mpr();

// The folder of this program, as a Windows path without a trailing backslash.
std::string ExeFolder();

// Loads and initialises the monitor the first time a command needs it (after
// the command checked its arguments), so that net commands given earlier
// shape what the monitor's start-up look at the network finds. Returns
// ERROR_SUCCESS or the error that stopped it; later calls return at once.
DWORD EnsureMonitor();
monitor::MonitorTable& Table();

// A hidden top-level window to own the monitor's dialogs.
HWND Owner();

// Waits, dispatching this thread's messages meanwhile, until HANDLE is
// signalled (true) or MS milliseconds pass (false). A null handle just waits.
bool PumpUntil(HANDLE handle, DWORD ms);

}  // namespace host::spooler
