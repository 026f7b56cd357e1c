// The configure dialogs that ConfigurePort opens, one per kind of port, and
// what they share: the temporary settings loaded from the port's key, the
// caption that names the port, the version box, and the time-out field.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/port_entry.h"

namespace ui {

// The monitor's configure_port hook: the dialog of the kind, modal.
void ShowConfigureDialog(HWND owner, const char* port_name, std::uint32_t kind);

// A zero-filled entry with a protocol block of `kind`, loaded from the
// port's key; null when out of memory. Never in the port table.
core::PortEntry* LoadSettings(const char* port_name, std::uint32_t kind);
void FreeSettings(core::PortEntry* port);

// "%s - %s" of [TITLE] CONFIG and the port name.
void SetConfigureCaption(HWND dialog, const char* port_name);

// The version box (388), in the owner's font.
INT_PTR ShowVersionBox(HWND owner);

// The one time-out field of the LPR, Raw and IPP dialogs: whole seconds
// from 60 to 3600, shown from the port's time-outs and stored into both
// ("IDS_INVALID_TIMEOUT" and false when refused).
void SetUpTimeoutField(HWND dialog, int edit, int spin, const core::PortEntry* port);
bool StoreTimeoutField(HWND dialog, int edit, core::PortEntry* port);

}  // namespace ui
