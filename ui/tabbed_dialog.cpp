#include "ui/tabbed_dialog.h"

#include <commctrl.h>

#include "core/ini.h"
#include "core/state.h"
#include "core/store.h"
#include "resources/configure.h"
#include "ui/configure.h"
#include "ui/controls.h"
#include "ui/wizard.h"

namespace ui {

ConfigureDialog g_configure;

namespace {

HWND Tabs() { return GetDlgItem(g_configure.dialog, IDC_TABS); }

bool IsChoiceButton(HWND button) {
  LONG style = GetWindowLongA(button, GWL_STYLE) & 0x0F;
  return style == BS_CHECKBOX || style == BS_AUTOCHECKBOX || style == BS_RADIOBUTTON ||
         style == BS_AUTORADIOBUTTON || style == BS_3STATE || style == BS_AUTO3STATE;
}

bool IsChange(WPARAM wparam, LPARAM lparam) {
  auto control = reinterpret_cast<HWND>(lparam);
  if (control == nullptr) return false;
  if (HIWORD(wparam) == EN_CHANGE) return true;
  return HIWORD(wparam) == BN_CLICKED && IsChoiceButton(control);
}

// Every page runs through here: the frame lays the page out before the
// page's own procedure sees it, turns its answer to kCfgValidate into the
// message's result, and notices the changes that enable Apply.
INT_PTR CALLBACK PageFrameProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const TabPage& row = *reinterpret_cast<const TabPage*>(lparam);
    SetWindowLongPtrA(page, DWLP_USER, lparam);
    ApplyDialogLayout(page, g_configure.font, *row.layout);
    return row.procedure(page, message, wparam, reinterpret_cast<LPARAM>(&g_configure));
  }
  const auto* row = reinterpret_cast<const TabPage*>(GetWindowLongPtrA(page, DWLP_USER));
  if (row == nullptr) return FALSE;  // before WM_INITDIALOG
  if (message == WM_GETFONT) {
    if (g_configure.font == nullptr) return FALSE;
    SetWindowLongPtrA(page, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(g_configure.font));
    return TRUE;
  }
  INT_PTR result = row->procedure(page, message, wparam, lparam);
  if (message == kCfgValidate) {
    SetWindowLongPtrA(page, DWLP_MSGRESULT, result == 1 ? 1 : 0);
    return TRUE;
  }
  if (message == WM_COMMAND && IsChange(wparam, lparam)) MarkConfigureChanged();
  return result;
}

bool Validate(int index) {
  return SendMessageA(g_configure.pages[index], kCfgValidate, 0, 0) == 1;
}

void ShowPage(int index) {
  g_configure.current = index;
  ShowOnlyPage(g_configure.pages[index], g_configure.pages, g_configure.layout->page_count);
}

bool Open(HWND dialog, const TabbedDialog& layout) {
  g_configure.dialog = dialog;
  g_configure.layout = &layout;
  SetForegroundWindow(dialog);
  char ini[MAX_PATH];
  core::IniPath(core::kDialogIni, ini, sizeof(ini));
  g_configure.font = CreateIniFont(dialog, "DEFAULT", ini);
  ApplyDialogLayout(dialog, g_configure.font, *layout.layout);
  SetConfigureCaption(dialog, g_configure.port_name);
  HWND tabs = Tabs();
  for (int i = 0; i < layout.page_count && i < kMaxTabPages; ++i) {
    const TabPage& row = layout.pages[i];
    char text[core::kIniTextMax];
    core::IniText(core::kDialogIni, "TAB", row.tab_key, {}, text, sizeof(text));
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    HWND page = CreateDialogParamA(core::g_monitor.module, MAKEINTRESOURCEA(row.template_id),
                                   dialog, PageFrameProc, reinterpret_cast<LPARAM>(&row));
    if (page == nullptr) return false;
    // Above the tab control, which would otherwise paint over it.
    SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    g_configure.pages[i] = page;
  }
  ShowPage(0);
  EnableWindow(GetDlgItem(dialog, IDC_APPLY), FALSE);
  g_configure.ready = true;
  return true;
}

bool ValidateAndWrite() {
  if (!Validate(g_configure.current)) return false;
  if (g_configure.layout->before_write != nullptr) g_configure.layout->before_write();
  core::WriteConfiguredValues(g_configure.port_name, g_configure.port);
  return true;
}

void Apply(HWND dialog) {
  if (!ValidateAndWrite()) return;
  HWND apply = GetDlgItem(dialog, IDC_APPLY);
  // The focus leaves Apply before it is disabled, or it would be lost.
  SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
  SendMessageA(apply, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  EnableWindow(apply, FALSE);
}

INT_PTR Notify(HWND dialog, const NMHDR& header) {
  if (header.idFrom != IDC_TABS) return FALSE;
  if (header.code == TCN_SELCHANGING) {
    // TRUE keeps the user on the tab whose fields were refused.
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, Validate(g_configure.current) ? FALSE : TRUE);
    return TRUE;
  }
  if (header.code == TCN_SELCHANGE) {
    int index = static_cast<int>(SendMessageA(Tabs(), TCM_GETCURSEL, 0, 0));
    if (index >= 0 && index < g_configure.layout->page_count) ShowPage(index);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK FrameProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      if (!Open(dialog, *reinterpret_cast<const TabbedDialog*>(lparam))) EndDialog(dialog, 0);
      return FALSE;  // the first page has set the focus
    case WM_GETFONT:
      if (g_configure.font == nullptr) return FALSE;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(g_configure.font));
      return TRUE;
    case WM_NOTIFY:
      return Notify(dialog, *reinterpret_cast<const NMHDR*>(lparam));
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          if (ValidateAndWrite()) EndDialog(dialog, 1);
          return TRUE;
        case IDC_APPLY: Apply(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      // The pages, children of the dialog, go after this; they keep the
      // font until then.
      g_configure.ready = false;
      return FALSE;
  }
  return FALSE;
}

}  // namespace

INT_PTR ShowTabbedDialog(HWND owner, const char* port_name, std::uint32_t kind,
                         const TabbedDialog& dialog) {
  core::PortEntry* port = LoadSettings(port_name, kind);
  if (port == nullptr) return 0;
  g_configure = ConfigureDialog{};
  g_configure.port_name = port_name;
  g_configure.port = port;
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(dialog.template_id),
                                   owner, FrameProc, reinterpret_cast<LPARAM>(&dialog));
  if (g_configure.font != nullptr) DeleteObject(g_configure.font);
  FreeSettings(port);
  g_configure = ConfigureDialog{};
  return result == 1 ? 1 : 0;
}

void MarkConfigureChanged() {
  if (g_configure.ready) EnableWindow(GetDlgItem(g_configure.dialog, IDC_APPLY), TRUE);
}

void FocusFirstField(HWND page, int id) {
  if (GetFocus() == Tabs()) return;
  HWND field = GetDlgItem(page, id);
  SendMessageA(g_configure.dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

}  // namespace ui
