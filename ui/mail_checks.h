// The checks of an E-mail port's text fields as a dialog shows them, and
// the mail body editor: the fixed subject, body and signature of the mail.
#pragma once
#include <windows.h>

#include "core/port_entry.h"
#include "core/text.h"

namespace ui {

// Whether `byte` starts a double-byte character in the system's code page.
bool IsLeadByte(std::uint8_t byte);

// A warning box of NIMMES.INI owned by the top-level window of `from`, so
// that a tab page's message keeps the whole dialog from being used.
void MailWarning(HWND from, const char* key, const core::TextInsert& insert = {});

// Gives the control the focus with its whole text selected (an edit field
// or a combo box's edit field).
void SelectField(HWND dialog, int id);

// The mail body editor (dialog 303), modal: 1 after OK with the subject,
// body and signature stored in `mail`, 0 after Cancel with nothing stored.
INT_PTR ShowMailBodyEditor(HWND owner, core::MailBlock* mail);

}  // namespace ui
