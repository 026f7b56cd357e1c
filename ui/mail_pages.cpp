#include "ui/mail_pages.h"

#include <commctrl.h>

#include "core/ini.h"
#include "core/mail_fields.h"
#include "core/passwords.h"
#include "core/state.h"
#include "core/store.h"
#include "core/text.h"
#include "resources/mail.h"
#include "ui/address_book.h"
#include "ui/layout.h"
#include "ui/configure.h"
#include "ui/controls.h"
#include "ui/mail_checks.h"
#include "ui/tabbed_dialog.h"

namespace ui {
namespace {

constexpr int kDivideMin = 16;
constexpr int kDivideMax = 16384;
constexpr int kDivideDigits = 5;
constexpr int kAccountLimits[] = {32, 255, 64};  // server, sender name, sender address
constexpr int kAccountFields[] = {IDC_SMTP_SERVER, IDC_FROM_NAME, IDC_FROM_ADDR};
constexpr int kAuthLimit = 256;
// Fixed names of the mail encodings, by `CharCode`: the name of a
// character set is the same in every language.
constexpr const char* kEncodings[] = {"7bit ASCII (US-ASCII)", "Japanese (ISO-2022-JP)",
                                      "Latin1 (ISO-8859-1)"};
// Row height of the check boxes fitted to their text.
constexpr int kCheckHeight = 20;
// The mark's width alone would cut the text's last letters: the button
// also draws a gap after the mark and a focus frame around the text.
constexpr int kCheckTextGap = 12;

// The e-mail dialog's pages. One configure dialog is open at a time, and
// a page's DWLP_USER belongs to the dialog, so what the pages keep is here.
struct MailPages {
  core::MailBlock* mail;  // of the dialog's loaded settings
  HWND destinations;      // the destinations page
  bool destinations_changed;
  bool division_offered;  // the monitor's "DIVIDEFILE" is set
};
constinit MailPages g_pages = {};

HWND Control(HWND page, int id) { return GetDlgItem(page, id); }
bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Enable(HWND page, int id, bool enabled) { EnableWindow(Control(page, id), enabled); }

HFONT DialogFont(HWND page) {
  return reinterpret_cast<HFONT>(SendMessageA(GetParent(page), WM_GETFONT, 0, 0));
}

void FitCheckBox(HWND page, int id, HFONT font) {
  char text[core::kIniTextMax];
  GetDlgItemTextA(page, id, text, sizeof(text));
  FitControlToText(Control(page, id), font, text, GetSystemMetrics(SM_CXMENUCHECK) + kCheckTextGap,
                   kCheckHeight);
}

// --- tab "PAGE3": SMTP server and sender ----------------------------------------------

void ServerInit(HWND page, core::MailBlock* mail) {
  for (int i = 0; i < 3; ++i) SendDlgItemMessageA(page, kAccountFields[i], EM_LIMITTEXT, kAccountLimits[i], 0);
  SetDlgItemTextA(page, IDC_SMTP_SERVER, mail->SmtpServer);
  SetDlgItemTextA(page, IDC_FROM_NAME, mail->FromName);
  SetDlgItemTextA(page, IDC_FROM_ADDR, mail->FromAddr);
}

bool ServerValidate(HWND page, core::MailBlock* mail) {
  char server[sizeof(mail->SmtpServer)], name[sizeof(mail->FromName)], address[sizeof(mail->FromAddr)];
  GetDlgItemTextA(page, IDC_SMTP_SERVER, server, sizeof(server));
  GetDlgItemTextA(page, IDC_FROM_NAME, name, sizeof(name));
  GetDlgItemTextA(page, IDC_FROM_ADDR, address, sizeof(address));
  core::MailFieldProblem problem = core::CheckMailAccount(server, name, address, IsLeadByte);
  if (problem.field != core::kMailAccountValid) {
    MailWarning(page, problem.message,
                problem.set != nullptr ? core::TextInsertOf(problem.set) : core::TextInsert{});
    SelectField(page, kAccountFields[problem.field]);
    return false;
  }
  core::CopyText(mail->SmtpServer, sizeof(mail->SmtpServer), server);
  core::CopyText(mail->FromName, sizeof(mail->FromName), name);
  core::CopyText(mail->FromAddr, sizeof(mail->FromAddr), address);
  return true;
}

// --- tab "PAGE4": destinations and mail division ---------------------------------------

constexpr int kDivisionControls[] = {IDC_DIVIDE_GROUP, IDC_CHK_DIVIDE, IDC_STC_DIVIDE,
                                     IDC_DIVIDE_SIZE, IDC_DIVIDE_SPIN, IDC_STC_KB};

constexpr int kDivisionSize[] = {IDC_STC_DIVIDE, IDC_DIVIDE_SIZE, IDC_DIVIDE_SPIN, IDC_STC_KB};

void EnableDivisionSize(HWND page, bool enabled) {
  for (int id : kDivisionSize) Enable(page, id, enabled);
}

void DestinationsInit(HWND page, core::MailBlock* mail) {
  g_pages.destinations = page;
  g_pages.destinations_changed = false;
  HWND combo = Control(page, IDC_TO_COMBO);
  LoadAddressHistory(combo);
  SendMessageA(combo, CB_LIMITTEXT, core::kAddressChars, 0);
  ListDestinations(page, mail->ToAddr);

  g_pages.division_offered = core::ReadMonitorDword("DIVIDEFILE", 0) != 0;
  if (!g_pages.division_offered) {
    // Without it the division is no feature of this installation: the
    // port keeps its loaded DivideFile and DivideSize untouched.
    for (int id : kDivisionControls) {
      Enable(page, id, false);
      ShowWindow(Control(page, id), SW_HIDE);
    }
    return;
  }
  CheckDlgButton(page, IDC_CHK_DIVIDE, mail->DivideFile != 0 ? BST_CHECKED : BST_UNCHECKED);
  SendDlgItemMessageA(page, IDC_DIVIDE_SIZE, EM_LIMITTEXT, kDivideDigits, 0);
  SendDlgItemMessageA(page, IDC_DIVIDE_SPIN, UDM_SETRANGE, 0, MAKELPARAM(kDivideMax, kDivideMin));
  // Shown as loaded, even out of range: the check on leaving says so.
  SetDlgItemInt(page, IDC_DIVIDE_SIZE, mail->DivideSize, FALSE);
  EnableDivisionSize(page, mail->DivideFile != 0);
}

bool DestinationsValidate(HWND page, core::MailBlock* mail) {
  if (!JoinDestinations(page, mail->ToAddr, sizeof(mail->ToAddr))) return false;
  if (!g_pages.division_offered || mail->DivideFile == 0) return true;
  char text[kDivideDigits + 2];
  GetDlgItemTextA(page, IDC_DIVIDE_SIZE, text, sizeof(text));
  std::int32_t size = core::ParseNumber(text, 10);
  if (text[0] == '\0' || size < kDivideMin || size > kDivideMax) {
    MailWarning(page, "IDS_INVALID_DIVIDESIZE");
    SelectField(page, IDC_DIVIDE_SIZE);
    return false;
  }
  mail->DivideSize = static_cast<std::uint32_t>(size);
  return true;
}

void DestinationsCommand(HWND page, core::MailBlock* mail, int id, int code) {
  if (id == IDC_MAIL_ADD && code == BN_CLICKED && AddDestination(page)) {
    g_pages.destinations_changed = true;
    MarkConfigureChanged();
  } else if (id == IDC_MAIL_DELETE && code == BN_CLICKED && DeleteDestination(page)) {
    g_pages.destinations_changed = true;
    MarkConfigureChanged();
  } else if (id == IDC_CHK_DIVIDE && code == BN_CLICKED) {
    mail->DivideFile = Checked(page, IDC_CHK_DIVIDE) ? 1 : 0;
    EnableDivisionSize(page, mail->DivideFile != 0);
  }
}

// --- tab "PAGE5": mail body and encoding -------------------------------------------------

void EnableBodyChoice(HWND page, const core::MailBlock* mail) {
  bool printed = mail->NoPrint == 0;
  Enable(page, IDC_RAD_VARIABLE, printed);
  Enable(page, IDC_RAD_FIXATION, printed);
  Enable(page, IDC_MAIL_EDIT, printed && mail->EditBody == 0);
}

void TextInit(HWND page, const core::MailBlock* mail) {
  FitCheckBox(page, IDC_CHK_MAIL, DialogFont(page));
  CheckDlgButton(page, IDC_CHK_MAIL, mail->NoPrint == 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(page, IDC_RAD_VARIABLE, IDC_RAD_FIXATION,
                   mail->EditBody != 0 ? IDC_RAD_VARIABLE : IDC_RAD_FIXATION);
  EnableBodyChoice(page, mail);
  HWND encodings = Control(page, IDC_ENCODING);
  for (const char* name : kEncodings) SendMessageA(encodings, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  // A code of no known encoding selects nothing and is kept until one is chosen.
  SendMessageA(encodings, CB_SETCURSEL, mail->CharCode, 0);
}

void TextCommand(HWND page, core::MailBlock* mail, int id, int code) {
  if (id == IDC_ENCODING) {
    if (code != CBN_SELCHANGE) return;
    LRESULT chosen = SendDlgItemMessageA(page, IDC_ENCODING, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR) return;
    mail->CharCode = static_cast<std::uint16_t>(chosen);
    MarkConfigureChanged();
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == IDC_CHK_MAIL) {
    mail->NoPrint = Checked(page, IDC_CHK_MAIL) ? 0 : 1;
  } else if (id == IDC_RAD_VARIABLE) {
    mail->EditBody = 1;
  } else if (id == IDC_RAD_FIXATION) {
    mail->EditBody = 0;
  } else if (id == IDC_MAIL_EDIT) {
    if (ShowMailBodyEditor(GetParent(page), mail) == 1) MarkConfigureChanged();
    return;
  } else {
    return;
  }
  EnableBodyChoice(page, mail);
}

// --- tab "PAGE6": SMTP authentication ----------------------------------------------------

constexpr int kAccountControls[] = {IDC_STC_ID, IDC_AUTH_ID, IDC_STC_PASSWORD, IDC_AUTH_PASS};

void EnableAccount(HWND page, bool enabled) {
  for (int id : kAccountControls) Enable(page, id, enabled);
}

void AuthInit(HWND page, core::MailBlock* mail) {
  FitCheckBox(page, IDC_CHK_AUTH, DialogFont(page));
  // The block keeps the password scrambled as loaded; from here on the
  // dialog holds it in clear, and the write scrambles a copy.
  core::Unscramble(mail->AuthPass);
  SendDlgItemMessageA(page, IDC_AUTH_ID, EM_LIMITTEXT, kAuthLimit, 0);
  SendDlgItemMessageA(page, IDC_AUTH_PASS, EM_LIMITTEXT, kAuthLimit, 0);
  SetDlgItemTextA(page, IDC_AUTH_ID, mail->AuthID);
  SetDlgItemTextA(page, IDC_AUTH_PASS, mail->AuthPass);
  CheckDlgButton(page, IDC_CHK_AUTH, mail->AuthType != 0 ? BST_CHECKED : BST_UNCHECKED);
  EnableAccount(page, mail->AuthType != 0);
}

void AuthValidate(HWND page, core::MailBlock* mail) {
  if (mail->AuthType == 0) return;
  GetDlgItemTextA(page, IDC_AUTH_ID, mail->AuthID, sizeof(mail->AuthID));
  GetDlgItemTextA(page, IDC_AUTH_PASS, mail->AuthPass, sizeof(mail->AuthPass));
}

void AuthCommand(HWND page, core::MailBlock* mail, int id, int code) {
  if (id == IDC_CHK_AUTH && code == BN_CLICKED) {
    mail->AuthType = Checked(page, IDC_CHK_AUTH) ? 1 : 0;
    EnableAccount(page, mail->AuthType != 0);
  }
}

// --- what every page does ------------------------------------------------------------

enum class Kind { kServer, kDestinations, kText, kAuth };

constexpr int kFirstFields[] = {IDC_SMTP_SERVER, IDC_TO_COMBO, IDC_CHK_MAIL, IDC_CHK_AUTH};

void OpenPage(HWND page, Kind kind, LPARAM dialog) {
  g_pages.mail = core::Mail(reinterpret_cast<ConfigureDialog*>(dialog)->port);
  switch (kind) {
    case Kind::kServer: ServerInit(page, g_pages.mail); break;
    case Kind::kDestinations: DestinationsInit(page, g_pages.mail); break;
    case Kind::kText: TextInit(page, g_pages.mail); break;
    case Kind::kAuth: AuthInit(page, g_pages.mail); break;
  }
}

bool Validate(HWND page, Kind kind) {
  switch (kind) {
    case Kind::kServer: return ServerValidate(page, g_pages.mail);
    case Kind::kDestinations: return DestinationsValidate(page, g_pages.mail);
    case Kind::kText: return true;  // every change was stored as it was made
    case Kind::kAuth: AuthValidate(page, g_pages.mail); return true;
  }
  return true;
}

INT_PTR MailPageProc(Kind kind, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    OpenPage(page, kind, lparam);
    return FALSE;  // the dialog sets the focus
  }
  if (g_pages.mail == nullptr) return FALSE;
  switch (message) {
    case kWizShown:
      FocusFirstField(page, kFirstFields[static_cast<int>(kind)]);
      return TRUE;
    case kCfgValidate: {
      // The answer is both the procedure's result and the message's.
      INT_PTR valid = Validate(page, kind) ? 1 : 0;
      SetWindowLongPtrA(page, DWLP_MSGRESULT, valid);
      return valid;
    }
    case WM_COMMAND: {
      int id = LOWORD(wparam), code = HIWORD(wparam);
      if (kind == Kind::kServer && id == IDC_MAIL_VERSION && code == BN_CLICKED) ShowVersionBox(page);
      if (kind == Kind::kDestinations) DestinationsCommand(page, g_pages.mail, id, code);
      if (kind == Kind::kText) TextCommand(page, g_pages.mail, id, code);
      if (kind == Kind::kAuth) AuthCommand(page, g_pages.mail, id, code);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK MailServerPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  return MailPageProc(Kind::kServer, page, message, wparam, lparam);
}
INT_PTR CALLBACK MailDestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  return MailPageProc(Kind::kDestinations, page, message, wparam, lparam);
}
INT_PTR CALLBACK MailBodyPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  return MailPageProc(Kind::kText, page, message, wparam, lparam);
}
INT_PTR CALLBACK MailAuthPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  return MailPageProc(Kind::kAuth, page, message, wparam, lparam);
}

void MailBeforeWrite() {
  if (g_pages.destinations == nullptr || !g_pages.destinations_changed) return;
  auto* written = static_cast<AddressList*>(core::Alloc(sizeof(AddressList)));
  if (written == nullptr) return;
  CopyDestinations(g_pages.destinations, written);
  SaveAddressHistory(written);
  core::Free(written);
  LoadAddressHistory(Control(g_pages.destinations, IDC_TO_COMBO));
  g_pages.destinations_changed = false;
}

}  // namespace ui
