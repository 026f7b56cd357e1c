// The spooler's job operations on a port (slots 3-6, 11 and 12), and the
// job-status calls the senders use to follow the spooler's view of a job.
#pragma once
#include <windows.h>

#include "monitor/port_entry.h"

namespace monitor {

BOOL WINAPI StartDocPort(HANDLE port, LPSTR printer_name, DWORD job_id, DWORD level,
                         LPBYTE doc_info);
BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI GetPrinterDataFromPort(HANDLE port, DWORD control_id, LPWSTR value_name, LPWSTR in,
                                   DWORD in_size, LPWSTR out, DWORD out_size, LPDWORD returned);
BOOL WINAPI SetPortTimeOuts(HANDLE port, LPCOMMTIMEOUTS timeouts, DWORD reserved);

// The kinds' send and end procedures, installed before the first job.
void InstallSenders();

// Reads the job's status and, when a mask is given, sets and clears bits
// of it in the spooler. False (status 0) without a printer handle.
bool SetJobStatusBits(PortEntry* port, DWORD set, DWORD clear, DWORD* status);
// Waits while the job is paused; false once it is being deleted.
bool WaitWhileJobPaused(PortEntry* port, DWORD status);
bool JobBeingDeleted(PortEntry* port);
// From the status the job watcher last read: no spooler call, so it is safe
// inside socket waits.
bool JobBeingDeletedCached(const PortEntry* port);
// Cancels the job in the spooler, as the user's Cancel would.
void CancelJob(PortEntry* port);
// Hands the port's printer status bits to the spooler.
void ReportPrinterStatus(PortEntry* port);

// Resends the job from its spool file until it is through, the job is
// deleted, or a prompt says stop.
bool SendFromSpool(PortEntry* port);

// State flags change under the global lock.
void SetFlags(PortEntry* port, std::uint32_t flags);
void ClearFlags(PortEntry* port, std::uint32_t flags);

// How long a wait for another thread (job watcher, retry prompt) may take.
inline constexpr DWORD kThreadEndWait = 10000;
// Polls `done` until it is true or kThreadEndWait has passed.
bool WaitUntil(bool (*done)(PortEntry*), PortEntry* port);

}  // namespace monitor
