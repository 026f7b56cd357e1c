// Jobs are not printed yet: every job operation refuses, so the spooler
// keeps the job and reports the port as unable to print.
#include "monitor/job.h"

#include "monitor/monitor.h"

namespace monitor {

bool SendNotAvailable(PortEntry* port, const std::uint8_t*, std::uint32_t, std::uint32_t* written) {
  port->send_error = 0;
  *written = 0;
  return false;
}

BOOL WINAPI StartDocPort(HANDLE, LPSTR, DWORD, DWORD, LPBYTE) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI WritePort(HANDLE, LPBYTE, DWORD, LPDWORD written) {
  if (written != nullptr) *written = 0;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// Printers behind these ports never talk back to the spooler.
BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
  if (read != nullptr) *read = 0;
  return TRUE;
}

BOOL WINAPI EndDocPort(HANDLE) { return TRUE; }

BOOL WINAPI GetPrinterDataFromPort(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

// Time-outs come from the port's registry settings, not from the spooler.
BOOL WINAPI SetPortTimeOuts(HANDLE, LPCOMMTIMEOUTS, DWORD) { return FALSE; }

}  // namespace monitor
