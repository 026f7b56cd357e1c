#include "core/job_status.h"

#include "core/state.h"

namespace core {

JOB_INFO_2A* ReadJob(PortEntry* port, int tries) {
  DWORD needed = 0;
  for (int i = 0; i < tries; ++i) {
    if (GetJobA(port->printer, port->job_id, 2, nullptr, 0, &needed)) break;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) break;
  }
  if (needed == 0) return nullptr;
  auto* job = static_cast<JOB_INFO_2A*>(Alloc(needed));
  if (job == nullptr) return nullptr;
  for (int i = 0; i < tries; ++i) {
    if (GetJobA(port->printer, port->job_id, 2, reinterpret_cast<LPBYTE>(job), needed, &needed))
      return job;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) break;
  }
  Free(job);
  return nullptr;
}

DWORD ChangeJobStatus(PortEntry* port, DWORD set, DWORD clear) {
  Locked lock;
  if (port->printer == nullptr) return 0;
  JOB_INFO_2A* job = ReadJob(port, 1);
  if (job == nullptr) return 0;
  if (set != 0 || clear != 0) {
    job->Status = (job->Status | set) & ~clear;
    SetJobA(port->printer, port->job_id, 2, reinterpret_cast<LPBYTE>(job), 0);
  }
  DWORD status = job->Status;
  Free(job);
  return status;
}

DWORD ReadJobStatus(PortEntry* port) { return ChangeJobStatus(port, 0, 0); }

DWORD MarkInError(PortEntry* port) {
  SetFlags(port, kErrorState);
  return ChangeJobStatus(port, JOB_STATUS_ERROR, JOB_STATUS_PRINTING);
}

void MarkPrinting(PortEntry* port) {
  ChangeJobStatus(port, JOB_STATUS_PRINTING, JOB_STATUS_ERROR);
  ClearFlags(port, kErrorState);
}

bool WaitWhileJobPaused(PortEntry* port, DWORD status) {
  while ((status & JOB_STATUS_PAUSED) && !(status & JOB_STATUS_DELETING)) {
    Pause(kResendWait);
    status = ReadJobStatus(port);
  }
  return (status & JOB_STATUS_DELETING) == 0;
}

bool JobBeingDeleted(PortEntry* port) { return (ReadJobStatus(port) & JOB_STATUS_DELETING) != 0; }

bool JobBeingDeletedCached(const PortEntry* port) {
  return (port->cached_job_status & JOB_STATUS_DELETING) != 0;
}

void CancelJob(PortEntry* port) {
  Locked lock;
  if (port->printer != nullptr) SetJobA(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_CANCEL);
}

void ReportPrinterStatus(PortEntry* port) {
  Locked lock;
  if (port->printer != nullptr)
    SetPrinterA(port->printer, 0,
                reinterpret_cast<LPBYTE>(static_cast<UINT_PTR>(port->printer_status)),
                PRINTER_CONTROL_SET_STATUS);
}

}  // namespace core
