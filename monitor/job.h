// The spooler's job operations on a port (slots 3-6, 11 and 12).
#pragma once
#include <windows.h>

#include "core/port_entry.h"

namespace monitor {

BOOL WINAPI StartDocPort(HANDLE port, LPSTR printer_name, DWORD job_id, DWORD level,
                         LPBYTE doc_info);
BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI GetPrinterDataFromPort(HANDLE port, DWORD control_id, LPWSTR value_name, LPWSTR in,
                                   DWORD in_size, LPWSTR out, DWORD out_size, LPDWORD returned);
BOOL WINAPI SetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);

// Resends the job from its spool file until it is through, the job is
// deleted, a prompt says stop, or the spool file cannot be completed.
bool SendFromSpool(core::PortEntry* port);

}  // namespace monitor
