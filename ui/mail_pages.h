// The E-mail configure dialog's four tab pages. They plug into the tabbed
// frame as ui/tabbed_dialog.h describes.
#pragma once
#include <windows.h>

namespace ui {

// Tab "PAGE3" (374): SMTP server and sender.
INT_PTR CALLBACK MailServerPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
// Tab "PAGE4" (376): destinations and mail division.
INT_PTR CALLBACK MailDestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
// Tab "PAGE5" (384): mail body and encoding.
INT_PTR CALLBACK MailBodyPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
// Tab "PAGE6" (387): SMTP authentication.
INT_PTR CALLBACK MailAuthPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// Just before the settings are written: the destinations, when changed,
// go into the address history.
void MailBeforeWrite();

}  // namespace ui
