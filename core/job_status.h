// The spooler's view of the job on a port, as the job flow and the senders
// follow it: paused, being deleted, in error, printing.
#pragma once
#include <windows.h>
#include <winspool.h>

#include "core/port_entry.h"

namespace core {

// Between two sends of a job that failed, and between two looks at a
// paused job.
inline constexpr DWORD kResendWait = 15000;

// The job's JOB_INFO_2 in a new buffer (free with Free), or null. Each of
// the two GetJobA calls is tried up to `tries` times.
JOB_INFO_2A* ReadJob(PortEntry* port, int tries);

// The job's status as the spooler has it now; 0 without a printer handle.
DWORD ReadJobStatus(PortEntry* port);
// Sets and clears status bits of the job; returns the status as written
// (0 without a printer handle).
DWORD ChangeJobStatus(PortEntry* port, DWORD set, DWORD clear);

// The printer cannot be reached: the job shows "error" instead of
// "printing" and the port remembers it. Returns the job's status.
DWORD MarkInError(PortEntry* port);
// The printer took data again: the job shows "printing", the port forgets
// the error.
void MarkPrinting(PortEntry* port);

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

}  // namespace core
