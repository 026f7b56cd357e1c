#include "ui/controls.h"

#include <commctrl.h>

#include "core/ini.h"
#include "ui/wizard.h"

namespace ui {

bool ReadWholeNumber(HWND dialog, int id, DWORD low, DWORD high, DWORD* number) {
  char text[16];
  int length = GetDlgItemTextA(dialog, id, text, sizeof(text));
  if (length < 1) return false;
  DWORD value = 0;
  for (int i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    DWORD digit = static_cast<DWORD>(text[i] - '0');
    if (value > (0xFFFFFFFFu - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (value < low || value > high) return false;
  *number = value;
  return true;
}

void RefuseField(HWND dialog, int id, const char* message_key) {
  core::MessageFromIni(dialog, message_key, MB_ICONEXCLAMATION | MB_OK);
  HWND field = GetDlgItem(dialog, id);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

void SetUpNumberField(HWND dialog, int edit, int spin, int low, int high, DWORD value,
                      int digits) {
  SendDlgItemMessageA(dialog, edit, EM_LIMITTEXT, static_cast<WPARAM>(digits), 0);
  SendDlgItemMessageA(dialog, spin, UDM_SETRANGE, 0, MAKELPARAM(high, low));
  SendDlgItemMessageA(dialog, spin, UDM_SETPOS, 0, MAKELPARAM(value, 0));
  // The spin control would show a stored value cut to its range; the user
  // sees what is stored, and OK refuses it if it is out of range.
  SetDlgItemInt(dialog, edit, value, FALSE);
}

void EnableControls(HWND dialog, const int* ids, int count, bool enabled) {
  for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(dialog, ids[i]), enabled);
}

void ShowOnlyPage(HWND shown, const HWND* pages, int count) {
  SendMessageA(shown, kWizPrepare, 0, 0);
  EnableWindow(shown, TRUE);
  ShowWindow(shown, SW_SHOW);
  SendMessageA(shown, kWizShown, 0, 0);
  for (int i = 0; i < count; ++i) {
    if (pages[i] == nullptr || pages[i] == shown) continue;
    EnableWindow(pages[i], FALSE);
    ShowWindow(pages[i], SW_HIDE);
  }
}

}  // namespace ui
