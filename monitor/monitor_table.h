// The operation table that the Windows 95 spooler receives from
// InitializeMonitorEx. Windows 95 knows only this ANSI layout of thirteen
// slots; the NT MONITOR structure is a different shape, so it is spelled out
// here rather than taken from winsplp.h. The host's stand-in spooler includes
// this header too.
#pragma once
#include <windows.h>
#include <winspool.h>

// winspool.h maps these names to its client calls (EnumPortsA, ...); here
// they name the monitor's own operations. Call the client ones by their A name.
#undef EnumPorts
#undef AddPort
#undef ConfigurePort
#undef DeletePort

namespace monitor {

struct MonitorTable {
  BOOL(WINAPI* EnumPorts)(LPSTR server, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                          LPDWORD returned);
  BOOL(WINAPI* OpenPort)(LPSTR name, PHANDLE port);
  BOOL(WINAPI* OpenPortEx)(LPSTR port_name, LPSTR printer_name, PHANDLE port, MonitorTable* table);
  BOOL(WINAPI* StartDocPort)(HANDLE port, LPSTR printer_name, DWORD job_id, DWORD level,
                             LPBYTE doc_info);
  BOOL(WINAPI* WritePort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
  BOOL(WINAPI* ReadPort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
  BOOL(WINAPI* EndDocPort)(HANDLE port);
  BOOL(WINAPI* ClosePort)(HANDLE port);
  BOOL(WINAPI* AddPort)(LPSTR server, HWND owner, LPSTR monitor_name);
  BOOL(WINAPI* ConfigurePort)(LPSTR server, HWND owner, LPSTR port_name);
  BOOL(WINAPI* DeletePort)(LPSTR server, HWND owner, LPSTR port_name);
  BOOL(WINAPI* GetPrinterDataFromPort)(HANDLE port, DWORD control_id, LPWSTR value_name,
                                       LPWSTR in, DWORD in_size, LPWSTR out, DWORD out_size,
                                       LPDWORD returned);
  BOOL(WINAPI* SetPortTimeOuts)(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);
};

#if defined(__i386__)
static_assert(sizeof(MonitorTable) == 52, "Windows 95 MONITOR is 13 pointers");
static_assert(sizeof(PORT_INFO_1A) == 4 && sizeof(PORT_INFO_2A) == 20,
              "PORT_INFO records as the Windows 95 spooler lays them out");
#endif
static_assert(sizeof(MonitorTable) == 13 * sizeof(void*));

using InitializeMonitorExFn = BOOL(WINAPI*)(LPSTR registry_root, MonitorTable* table);

}  // namespace monitor
