// The registry record of each port, under the monitor's Ports key, and the
// monitor key's own values.
#pragma once
#include <windows.h>

#include "core/port_entry.h"

namespace core {

// Writes a new port key with the kind's defaults and the given settings
// (laid out as the kind's protocol block). An existing key is left alone.
bool CreatePortRecord(const void* settings, const char* port_name, std::uint32_t kind);

// Refreshes the entry and its block from the port key `registry_name`.
// Missing, mistyped or over-long values leave their field as it was.
LONG LoadPortRecord(PortEntry* port, const char* registry_name);

// What a configure dialog writes on OK or Apply: the values of the block's
// kind that its dialog changes, under their conditions, and for kinds that
// send "CmdTmout", "DatTmout" and "Reconnection" from the entry. The block
// holds every password in clear, as the dialog edits it. False when the
// port's key cannot be opened; then nothing is written.
bool WriteConfiguredValues(const char* port_name, const PortEntry* settings);

bool DeletePortRecord(const char* port_name);

// True when the Ports key has a subkey of exactly this name (case matters).
bool IsRegisteredPort(const char* name);

bool ReadKeyValue(HKEY root, const char* path, const char* value, void* data, DWORD* size,
                  DWORD* type);
bool WriteKeyValue(const char* path, const char* value, const void* data, DWORD size, DWORD type);
bool WriteDword(HKEY key, const char* value, DWORD number);

// A 32-bit value of the monitor key, or `fallback` when absent or mistyped.
DWORD ReadMonitorDword(const char* value, DWORD fallback);

// The monitor key's "InstallPath"; false (and an empty buffer) when unset.
bool ReadInstallPath(char* buffer, DWORD size);

// "PrintMode" of a port key; false when it cannot be read as a number.
bool ReadPrintMode(const char* port_name, DWORD* kind);

}  // namespace core
