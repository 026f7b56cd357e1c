// Stand-ins for the E-mail configure dialog's pages until they are written:
// each page accepts what it holds. The password page already shows the
// password in clear, as the write expects it.
#include "ui/mail_pages.h"

#include "core/passwords.h"
#include "ui/tabbed_dialog.h"

namespace ui {
namespace {

INT_PTR AcceptingPage(UINT message) { return message == kCfgValidate ? 1 : FALSE; }

}  // namespace

INT_PTR CALLBACK MailServerPageProc(HWND, UINT message, WPARAM, LPARAM) {
  return AcceptingPage(message);
}

INT_PTR CALLBACK MailDestinationPageProc(HWND, UINT message, WPARAM, LPARAM) {
  return AcceptingPage(message);
}

INT_PTR CALLBACK MailBodyPageProc(HWND, UINT message, WPARAM, LPARAM) {
  return AcceptingPage(message);
}

INT_PTR CALLBACK MailAuthPageProc(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) core::Unscramble(core::Mail(g_configure.port)->AuthPass);
  return AcceptingPage(message);
}

void MailBeforeWrite() {}

}  // namespace ui
