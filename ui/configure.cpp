// The dialog of each kind of port, what they share, and the LPR and Raw
// dialog, which is small enough to need no frame.
#include "ui/configure.h"

#include <commctrl.h>

#include "core/ini.h"
#include "core/port_values.h"
#include "core/state.h"
#include "core/store.h"
#include "resources/configure.h"
#include "ui/controls.h"
#include "ui/ipp_pages.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"
#include "ui/mail_pages.h"
#include "ui/tabbed_dialog.h"

namespace ui {
namespace {

constexpr int kTimeoutMin = 60;
constexpr int kTimeoutMax = 3600;
constexpr int kTimeoutDigits = 4;
constexpr DWORD kMsPerSecond = 1000;

constexpr TabPage kIppPages[] = {
    {IDD_IPP_PAGE1, &kIppPage1Layout, "PAGE1", IppAddressPageProc},
    {IDD_IPP_PAGE2, &kIppPage2Layout, "PAGE2", IppAuthPageProc},
};
constexpr TabbedDialog kIppDialog = {IDD_CFG_IPP, &kIppConfigureLayout, kIppPages, 2, nullptr};

// The E-mail dialog's templates are those of its layout tables.
constexpr TabPage kMailPages[] = {
    {374, &kMailPage3Layout, "PAGE3", MailServerPageProc},
    {376, &kMailPage4Layout, "PAGE4", MailDestinationPageProc},
    {384, &kMailPage5Layout, "PAGE5", MailBodyPageProc},
    {387, &kMailPage6Layout, "PAGE6", MailAuthPageProc},
};
constexpr TabbedDialog kMailDialog = {373, &kMailConfigureLayout, kMailPages, 4, MailBeforeWrite};

// --- LPR and Raw -------------------------------------------------------------------

struct LprDialog {
  const char* port_name;
  core::PortEntry* port;
  HFONT font;
};

LprDialog* LprOf(HWND dialog) {
  return reinterpret_cast<LprDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void OpenLprDialog(HWND dialog, LprDialog* d) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
  SetForegroundWindow(dialog);
  SetConfigureCaption(dialog, d->port_name);
  char ini[MAX_PATH];
  core::IniPath(core::kDialogIni, ini, sizeof(ini));
  d->font = CreateIniFont(dialog, "DEFAULT", ini);
  ApplyDialogLayout(dialog, d->font, kLprConfigureLayout);
  core::PortEntry* port = d->port;
  SetUpTimeoutField(dialog, IDC_TIMEOUT_EDIT, IDC_TIMEOUT_SPIN, port);
  CheckDlgButton(dialog, IDC_CHK_RECONNECT, port->Reconnection != 0 ? BST_CHECKED : BST_UNCHECKED);
  HWND byte_count = GetDlgItem(dialog, IDC_CHK_BYTECNT);
  if (port->block_kind == core::kLpr) {
    CheckDlgButton(dialog, IDC_CHK_BYTECNT,
                   core::Lpr(port)->NonByteCount != 0 ? BST_CHECKED : BST_UNCHECKED);
  } else {
    // A Raw port sends no byte count to do without.
    EnableWindow(byte_count, FALSE);
    ShowWindow(byte_count, SW_HIDE);
  }
}

void PressLprOk(HWND dialog, LprDialog* d) {
  core::PortEntry* port = d->port;
  if (!StoreTimeoutField(dialog, IDC_TIMEOUT_EDIT, port)) return;
  port->Reconnection = IsDlgButtonChecked(dialog, IDC_CHK_RECONNECT) == BST_CHECKED ? 1 : 0;
  if (port->block_kind == core::kLpr)
    core::Lpr(port)->NonByteCount = IsDlgButtonChecked(dialog, IDC_CHK_BYTECNT) == BST_CHECKED;
  core::WriteConfiguredValues(d->port_name, port);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK LprDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    OpenLprDialog(dialog, reinterpret_cast<LprDialog*>(lparam));
    return TRUE;
  }
  LprDialog* d = LprOf(dialog);
  if (d == nullptr) return FALSE;
  switch (message) {
    case WM_GETFONT:
      if (d->font == nullptr) return FALSE;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(d->font));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK: PressLprOk(dialog, d); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        case IDC_BTN_VER: ShowVersionBox(dialog); return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR ShowLprDialog(HWND owner, const char* port_name, std::uint32_t kind) {
  LprDialog d{port_name, LoadSettings(port_name, kind), nullptr};
  if (d.port == nullptr) return 0;
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_CFG_LPR), owner,
                                   LprDialogProc, reinterpret_cast<LPARAM>(&d));
  if (d.font != nullptr) DeleteObject(d.font);
  FreeSettings(d.port);
  return result == 1 ? 1 : 0;
}

// --- version box -------------------------------------------------------------------

INT_PTR CALLBACK VersionProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* own = reinterpret_cast<HFONT*>(lparam);
    HFONT font = OwnerOrIniFont(dialog, GetParent(dialog), own);
    ApplyDialogLayout(dialog, font, kVersionLayout);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowConfigureDialog(HWND owner, const char* port_name, std::uint32_t kind) {
  switch (kind) {
    case core::kLpr:
    case core::kRaw: ShowLprDialog(owner, port_name, kind); break;
    case core::kIpp: ShowTabbedDialog(owner, port_name, kind, kIppDialog); break;
    case core::kMail: ShowTabbedDialog(owner, port_name, kind, kMailDialog); break;
  }
}

core::PortEntry* LoadSettings(const char* port_name, std::uint32_t kind) {
  auto* port = static_cast<core::PortEntry*>(core::Alloc(sizeof(core::PortEntry)));
  void* block = core::Alloc(core::BlockSize(kind));
  if (port == nullptr || block == nullptr) {
    core::Free(port);
    core::Free(block);
    return nullptr;
  }
  port->kind = port->block_kind = kind;
  port->block = block;
  // A key without time-outs prints with the kind's own; the dialog shows
  // those rather than a 0 it would refuse to keep.
  const core::KindValues* values = core::ValuesOf(kind);
  if (values != nullptr) port->cmd_timeout = port->data_timeout = values->timeout;
  core::LoadPortRecord(port, port_name);
  return port;
}

void FreeSettings(core::PortEntry* port) {
  if (port == nullptr) return;
  core::Free(port->block);
  core::Free(port);
}

void SetConfigureCaption(HWND dialog, const char* port_name) {
  char title[core::kIniTextMax];
  core::IniText(core::kDialogIni, "TITLE", "CONFIG", {}, title, sizeof(title));
  char caption[core::kIniTextMax + 300];
  core::CopyText(caption, sizeof(caption), title);
  core::AppendText(caption, sizeof(caption), " - ");
  core::AppendText(caption, sizeof(caption), port_name);
  SetWindowTextA(dialog, caption);
}

INT_PTR ShowVersionBox(HWND owner) {
  HFONT own = nullptr;
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_VERSION), owner,
                                   VersionProc, reinterpret_cast<LPARAM>(&own));
  if (own != nullptr) DeleteObject(own);
  return result;
}

void SetUpTimeoutField(HWND dialog, int edit, int spin, const core::PortEntry* port) {
  SetUpNumberField(dialog, edit, spin, kTimeoutMin, kTimeoutMax, port->cmd_timeout / kMsPerSecond,
                   kTimeoutDigits);
}

bool StoreTimeoutField(HWND dialog, int edit, core::PortEntry* port) {
  DWORD seconds = 0;
  if (!ReadWholeNumber(dialog, edit, kTimeoutMin, kTimeoutMax, &seconds)) {
    RefuseField(dialog, edit, "IDS_INVALID_TIMEOUT");
    return false;
  }
  port->cmd_timeout = port->data_timeout = seconds * kMsPerSecond;
  return true;
}

}  // namespace ui
