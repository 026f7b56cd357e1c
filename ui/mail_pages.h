// The four tab pages of the e-mail configure dialog (373): SMTP server and
// sender (374), destinations and mail division (376), mail body and
// encoding (384), SMTP authentication (387). They plug into the tabbed
// dialog as ui/tabbed_dialog.h describes, and show and change the E-mail
// block of its loaded settings.
#pragma once
#include <windows.h>

namespace ui {

INT_PTR CALLBACK MailServerPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK MailDestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK MailBodyPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK MailAuthPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// Just before the dialog writes the settings: when the destinations changed
// since the last write, they join the address history, and the
// destinations page offers the history anew.
void MailBeforeWrite();

}  // namespace ui
