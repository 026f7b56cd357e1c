#include "ui/ipp_pages.h"

#include <commctrl.h>

#include "core/ini.h"
#include "core/state.h"
#include "core/text.h"
#include "core/url.h"
#include "resources/configure.h"
#include "ui/configure.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"
#include "ui/tabbed_dialog.h"

namespace ui {
namespace {

constexpr int kAddressChars = 256;  // URL and proxy address
constexpr int kProxyPortDigits = 5;
constexpr int kCredentialChars = 64;
constexpr int kChunkMin = 1024;
constexpr int kChunkMax = 16384;
constexpr int kChunkDigits = 5;

constexpr int kProxyControls[] = {IDC_CNF_PROXY, IDC_CNF_PROXY_EDIT, IDC_CNF_PORT,
                                  IDC_CNF_PORT_EDIT};
constexpr int kCredentialControls[] = {IDC_CNF_USER, IDC_CNF_USER_EDIT, IDC_CNF_PASS,
                                       IDC_CNF_PASS_EDIT};
constexpr int kChunkControls[] = {IDC_CNF_CHUNKSIZE, IDC_CNF_CHUNK_EDIT, IDC_CNF_CHUNK_SPIN,
                                  IDC_CNF_BYTE};

core::IppBlock* Settings() { return core::Ipp(g_configure.port); }

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void Check(HWND dialog, int id, std::uint32_t on) {
  CheckDlgButton(dialog, id, on != 0 ? BST_CHECKED : BST_UNCHECKED);
}

// --- tab PAGE1: address, time-out, proxy, retry ------------------------------------

void FillAddressPage(HWND page) {
  const core::IppBlock* ipp = Settings();
  SendDlgItemMessageA(page, IDC_CNF_URL, EM_LIMITTEXT, kAddressChars, 0);
  SetDlgItemTextA(page, IDC_CNF_URL, ipp->URL);
  SetUpTimeoutField(page, IDC_CNF_TIMEOUT_EDIT, IDC_CNF_TIMEOUT_SPIN, g_configure.port);
  Check(page, IDC_CHK_RECONNECT, g_configure.port->Reconnection);
  Check(page, IDC_CHK_PROXY, ipp->UseProxy);
  SendDlgItemMessageA(page, IDC_CNF_PROXY_EDIT, EM_LIMITTEXT, kAddressChars, 0);
  SetDlgItemTextA(page, IDC_CNF_PROXY_EDIT, ipp->ProxyName);
  SendDlgItemMessageA(page, IDC_CNF_PORT_EDIT, EM_LIMITTEXT, kProxyPortDigits, 0);
  if (ipp->ProxyNum != 0) SetDlgItemInt(page, IDC_CNF_PORT_EDIT, ipp->ProxyNum, FALSE);
  EnableControls(page, kProxyControls, ipp->UseProxy != 0);
}

// Checked in the order the fields are read top to bottom; the first
// refused one keeps the tab.
bool StoreAddressPage(HWND page) {
  core::IppBlock* ipp = Settings();
  GetDlgItemTextA(page, IDC_CNF_URL, ipp->URL, sizeof(ipp->URL));
  if (!core::ParseUrl(ipp)) {
    RefuseField(page, IDC_CNF_URL, "IDS_INVALID_URI");
    return false;
  }
  if (!StoreTimeoutField(page, IDC_CNF_TIMEOUT_EDIT, g_configure.port)) return false;
  g_configure.port->Reconnection = Checked(page, IDC_CHK_RECONNECT);
  ipp->UseProxy = Checked(page, IDC_CHK_PROXY);
  if (ipp->UseProxy == 0) return true;
  GetDlgItemTextA(page, IDC_CNF_PROXY_EDIT, ipp->ProxyName, sizeof(ipp->ProxyName));
  if (ipp->ProxyName[0] == '\0') {
    RefuseField(page, IDC_CNF_PROXY_EDIT, "IDS_INVALID_PROXYNAME");
    return false;
  }
  // Unlike the wizard's proxy page, 0 is refused here: no proxy listens there.
  DWORD port = 0;
  if (!ReadWholeNumber(page, IDC_CNF_PORT_EDIT, 1, 0xFFFFFFFF, &port)) {
    RefuseField(page, IDC_CNF_PORT_EDIT, "IDS_INVALID_PROXYNUMBER");
    return false;
  }
  ipp->ProxyNum = port;
  return true;
}

void AddressPageCommand(HWND page, WPARAM wparam) {
  switch (LOWORD(wparam)) {
    case IDC_CHK_PROXY: EnableControls(page, kProxyControls, Checked(page, IDC_CHK_PROXY)); break;
    case IDC_BTN_HIGH:
      if (ShowIppAdvanced(page, Settings()) == 1) MarkConfigureChanged();
      break;
    case IDC_BTN_VERSION: ShowVersionBox(page); break;
  }
}

// --- tab PAGE2: Basic authentication -----------------------------------------------

void FillAuthPage(HWND page) {
  const core::IppBlock* ipp = Settings();
  Check(page, IDC_CHK_BASIC, ipp->Base64);
  SendDlgItemMessageA(page, IDC_CNF_USER_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
  SendDlgItemMessageA(page, IDC_CNF_PASS_EDIT, EM_LIMITTEXT, kCredentialChars, 0);
  SetDlgItemTextA(page, IDC_CNF_USER_EDIT, ipp->UserName);
  SetDlgItemTextA(page, IDC_CNF_PASS_EDIT, ipp->PassWord);
  EnableControls(page, kCredentialControls, ipp->Base64 != 0);
}

void StoreAuthPage(HWND page) {
  core::IppBlock* ipp = Settings();
  ipp->Base64 = Checked(page, IDC_CHK_BASIC);
  if (ipp->Base64 == 0) return;
  GetDlgItemTextA(page, IDC_CNF_USER_EDIT, ipp->UserName, sizeof(ipp->UserName));
  GetDlgItemTextA(page, IDC_CNF_PASS_EDIT, ipp->PassWord, sizeof(ipp->PassWord));
}

// --- advanced settings -------------------------------------------------------------

struct Advanced {
  core::IppBlock* block;
  HFONT own_font;
};

void OpenAdvanced(HWND dialog, Advanced* a) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(a));
  HFONT font = OwnerOrIniFont(dialog, GetParent(dialog), &a->own_font);
  ApplyDialogLayout(dialog, font, kIppAdvancedLayout);
  const core::IppBlock* ipp = a->block;
  Check(dialog, IDC_CHK_CHUNK, ipp->Chunked);
  SetUpNumberField(dialog, IDC_CNF_CHUNK_EDIT, IDC_CNF_CHUNK_SPIN, kChunkMin, kChunkMax,
                   ipp->MaxChunk, kChunkDigits);
  EnableControls(dialog, kChunkControls, ipp->Chunked != 0);
  // A code that is none of the five selects nothing, and OK keeps it.
  HWND list = GetDlgItem(dialog, IDC_LANG_LIST);
  for (int i = 0; i < static_cast<int>(sizeof(kIppLanguages) / sizeof(kIppLanguages[0])); ++i) {
    char key[8] = "LANG";
    key[4] = static_cast<char>('0' + i);
    key[5] = '\0';
    char text[core::kIniTextMax];
    core::IniText(core::kDialogIni, "COMBO", key, {}, text, sizeof(text));
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (core::EqualNoCase(ipp->Language, kIppLanguages[i])) SendMessageA(list, CB_SETCURSEL, i, 0);
  }
}

void PressAdvancedOk(HWND dialog, core::IppBlock* ipp) {
  bool chunked = Checked(dialog, IDC_CHK_CHUNK);
  DWORD size = 0;
  if (chunked && !ReadWholeNumber(dialog, IDC_CNF_CHUNK_EDIT, kChunkMin, kChunkMax, &size)) {
    RefuseField(dialog, IDC_CNF_CHUNK_EDIT, "IDS_INVALID_CHUNKSIZE");
    return;
  }
  ipp->Chunked = chunked;
  if (chunked) ipp->MaxChunk = size;
  auto chosen = SendDlgItemMessageA(dialog, IDC_LANG_LIST, CB_GETCURSEL, 0, 0);
  if (chosen >= 0 && chosen < static_cast<LRESULT>(sizeof(kIppLanguages) / sizeof(kIppLanguages[0])))
    core::CopyText(ipp->Language, sizeof(ipp->Language), kIppLanguages[chosen]);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK AdvancedProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    OpenAdvanced(dialog, reinterpret_cast<Advanced*>(lparam));
    return TRUE;
  }
  auto* a = reinterpret_cast<Advanced*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (a == nullptr || message != WM_COMMAND) return FALSE;
  switch (LOWORD(wparam)) {
    case IDC_CHK_CHUNK:
      EnableControls(dialog, kChunkControls, Checked(dialog, IDC_CHK_CHUNK));
      return TRUE;
    case IDOK: PressAdvancedOk(dialog, a->block); return TRUE;
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK IppAddressPageProc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: FillAddressPage(page); return FALSE;
    case kWizShown: FocusFirstField(page, IDC_CNF_URL); return TRUE;
    case kCfgValidate: return StoreAddressPage(page) ? 1 : 0;
    case WM_COMMAND: AddressPageCommand(page, wparam); return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK IppAuthPageProc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: FillAuthPage(page); return FALSE;
    case kWizShown:
      FocusFirstField(page, Checked(page, IDC_CHK_BASIC) ? IDC_CNF_USER_EDIT : IDC_CHK_BASIC);
      return TRUE;
    case kCfgValidate: StoreAuthPage(page); return 1;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_CHK_BASIC)
        EnableControls(page, kCredentialControls, Checked(page, IDC_CHK_BASIC));
      return TRUE;
  }
  return FALSE;
}

INT_PTR ShowIppAdvanced(HWND owner, core::IppBlock* block) {
  Advanced a{block, nullptr};
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_IPP_ADVANCED),
                                   owner, AdvancedProc, reinterpret_cast<LPARAM>(&a));
  if (a.own_font != nullptr) DeleteObject(a.own_font);
  return result == 1 ? 1 : 0;
}

}  // namespace ui
