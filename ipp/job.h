// IPP ports: one Print-Job request per job over its own connection, the
// printer's state asked for over a second, short-lived one, and a poller
// that follows a printer in an error state.
#pragma once
#include "monitor/port_entry.h"

namespace ipp {

// IPP send error codes.
enum : std::uint32_t {
  kNoAnswer = 100,
  kConnectFailed = 101,
  kExchangeFailed = 102,
  kPrinterProcessing = 103,
  kPrinterStopped = 104,
  kExchangeTimedOut = 105,
  kNotAccepting = 106,
};

// Get-Printer-Attributes modes.
enum : int { kAskModel = 0, kAskStateAndAccepting = 1, kAskState = 2 };

bool IppWrite(monitor::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool IppEnd(monitor::PortEntry* port);

// True only if the printer answered and reported itself idle.
bool StatusQuery(monitor::PortEntry* port, int mode);
bool CheckPrinter(monitor::PortEntry* port, int mode);

void StartPolling(monitor::PortEntry* port);
bool StopPolling(monitor::PortEntry* port);

// The add-port wizard's connection test: asks the printer (URL already
// parsed into the block) for its make and model.
bool IdentifyPrinter(monitor::PortEntry* port, const monitor::IppBlock* settings);

}  // namespace ipp
