// The configure dialogs that ConfigurePort opens, one per kind of port, and
// what they share: the temporary settings loaded from the port's key, the
// caption that names the port, the version box, and the checks of numbers
// typed into a field.
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

// A field's text as an unsigned whole number from `low` to `high`.
bool ReadWholeNumber(HWND dialog, int id, DWORD low, DWORD high, DWORD* number);

// Shows the message of a refused field, then puts the focus on the field
// with its text selected, so the user can type over it.
void RefuseField(HWND dialog, int id, const char* message_key);

// A number field with its spin control: the range, at most `digits`
// characters, and `value` shown as it is, even outside the range.
void SetUpNumberField(HWND dialog, int edit, int spin, int low, int high, DWORD value,
                      int digits);

// Enables or disables a set of controls together.
void EnableControls(HWND dialog, const int* ids, int count, bool enabled);
template <int N>
void EnableControls(HWND dialog, const int (&ids)[N], bool enabled) {
  EnableControls(dialog, ids, N, enabled);
}

}  // namespace ui
