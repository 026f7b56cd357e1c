// IPP ports: one Print-Job request per job over its own connection, the
// printer's state asked for over a second, short-lived one, and a poller
// that follows a printer in an error state.
#pragma once
#include "core/port_entry.h"

namespace ipp {

// Get-Printer-Attributes modes.
enum : int { kAskModel = 0, kAskStateAndAccepting = 1, kAskState = 2 };

bool IppWrite(core::PortEntry* port, const std::uint8_t* data, std::uint32_t size,
              std::uint32_t* written);
bool IppEnd(core::PortEntry* port);

// True only if the printer answered and reported itself idle.
bool StatusQuery(core::PortEntry* port, int mode);
bool CheckPrinter(core::PortEntry* port, int mode);

void StartPolling(core::PortEntry* port);
bool StopPolling(core::PortEntry* port);

// The add-port wizard's connection test: asks the printer (URL already
// parsed into the block) for its make and model.
bool IdentifyPrinter(core::PortEntry* port, const core::IppBlock* settings);

}  // namespace ipp
