// What every dialog of the monitor does to its fields and pages: numbers
// typed into a field, a refused field, controls enabled together, and one
// page among its siblings shown. The wizard and the configure dialogs
// share these.
#pragma once
#include <windows.h>

namespace ui {

// A field's text as an unsigned whole number from `low` to `high`: digits
// only, and a value that fits 32 bits.
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

// Prepares and shows `shown` (kWizPrepare before, kWizShown after), then
// hides and disables every other page of `pages` (null slots skipped).
void ShowOnlyPage(HWND shown, const HWND* pages, int count);

}  // namespace ui
