#include "ui/broadcast_dialog.h"

#include <windows.h>
#include <winsock.h>

#include <cstdint>

#include "discovery/discovery_ini.h"
#include "core/ini.h"
#include "core/state.h"
#include "core/text.h"
#include "resources/discovery.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

namespace ui {
namespace {

constexpr char kAllOnes[] = "255.255.255.255";
constexpr int kOctetDigits = 3;
constexpr int kDottedSize = 16;  // "255.255.255.255" and the zero
constexpr UINT kMessageStyle = MB_ICONEXCLAMATION | MB_OK;

// A hand-edited file can name any count. Nothing reads a key past the
// search's limit, so the list never holds more than the search would send
// to, and saving never has more stale keys to clear than that.
constexpr int kKeysRead = discovery::kSearchBroadcastMax;

core::BroadcastDialogState& State() { return core::g_monitor.dialogs.broadcast; }

HWND Item(int id) { return GetDlgItem(State().dialog, id); }

// Without an install folder there is no file to read or write, and an empty
// path would send the profile functions to the Windows folder.
bool HaveIni() { return State().ini_path[0] != '\0'; }

std::int32_t ReadNumber(const char* key, const char* fallback, int base) {
  char text[32];
  GetPrivateProfileStringA(discovery::kUserDefinedSection, key, fallback, text, sizeof(text),
                           State().ini_path);
  return core::ParseNumber(text, base);
}

int ReadCount() {
  std::int32_t count = ReadNumber(discovery::kUdpCountKey, "0", 10);
  if (count < 0) return 0;
  return count > kKeysRead ? kKeysRead : count;
}

void FormatDotted(std::uint32_t address, char out[kDottedSize]) {
  wsprintfA(out, "%d.%d.%d.%d", static_cast<int>(address >> 24),
            static_cast<int>(address >> 16 & 0xFF), static_cast<int>(address >> 8 & 0xFF),
            static_cast<int>(address & 0xFF));
}

int ListCount() {
  return static_cast<int>(
      SendDlgItemMessageA(State().dialog, IDC_BROADCAST_LIST, LB_GETCOUNT, 0, 0));
}

void SelectAll(HWND field) { SendMessageA(field, EM_SETSEL, 0, -1); }

void PlaceCaret(HWND field, bool at_end) {
  int at = at_end ? GetWindowTextLengthA(field) : 0;
  SendMessageA(field, EM_SETSEL, at, at);
}

// Focus moved with SetFocus, not by the dialog manager, leaves a button
// that had it drawn as the default one.
void DrawAsPlainButton(int id) {
  SendDlgItemMessageA(State().dialog, id, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

void LoadBroadcastList() {
  HWND dialog = State().dialog;
  RECT client = {0, 0, 0, 0};
  GetClientRect(Item(IDC_ADDRESS_PICTURE), &client);
  int height = client.bottom - 3;
  State().picture = static_cast<HBITMAP>(
      LoadImageA(core::g_monitor.module, MAKEINTRESOURCEA(IDB_ADDRESS), IMAGE_BITMAP,
                 client.right, height > 0 ? height : 0, LR_LOADMAP3DCOLORS));
  if (State().picture != nullptr)
    SendDlgItemMessageA(dialog, IDC_ADDRESS_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(State().picture));
  for (int id = IDC_OCTET1; id <= IDC_OCTET4; ++id)
    SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kOctetDigits, 0);

  int count = HaveIni() ? ReadCount() : 0;
  if (count == 0) EnableWindow(Item(IDC_BTN_DEL), FALSE);
  for (int i = 0; i < count; ++i) {
    char key[8];
    discovery::UdpKeyName(i, key);
    char dotted[kDottedSize];
    FormatDotted(static_cast<std::uint32_t>(ReadNumber(key, "", 16)), dotted);
    SendDlgItemMessageA(dialog, IDC_BROADCAST_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(dotted));
    if (i == 0) SendDlgItemMessageA(dialog, IDC_BROADCAST_LIST, LB_SETCURSEL, 0, 0);
  }
}

void SaveBroadcastList() {
  if (!HaveIni()) return;
  int count = ListCount();
  if (count < 0) return;  // no list to save: better the old file than an empty one
  if (count > kKeysRead) count = kKeysRead;
  int old = ReadCount();
  const char* section = discovery::kUserDefinedSection;
  const char* path = State().ini_path;
  if (count > 0) {
    char text[16];
    wsprintfA(text, "%d", count);
    WritePrivateProfileStringA(section, discovery::kUdpCountKey, text, path);
  } else {
    WritePrivateProfileStringA(section, discovery::kUdpCountKey, nullptr, path);
  }
  int last = count > old ? count : old;
  for (int i = 0; i < last; ++i) {
    char key[8];
    discovery::UdpKeyName(i, key);
    if (i >= count) {
      WritePrivateProfileStringA(section, key, nullptr, path);
      continue;
    }
    char dotted[kDottedSize] = "";
    LRESULT length =
        SendDlgItemMessageA(State().dialog, IDC_BROADCAST_LIST, LB_GETTEXTLEN, i, 0);
    if (length >= 0 && length < kDottedSize)
      SendDlgItemMessageA(State().dialog, IDC_BROADCAST_LIST, LB_GETTEXT, i,
                          reinterpret_cast<LPARAM>(dotted));
    char hex[9];
    discovery::FormatBroadcastHex(ntohl(inet_addr(dotted)), hex);
    WritePrivateProfileStringA(section, key, hex, path);
  }
}

// True when `dotted` may go into the list; otherwise the user has been told.
bool CheckBroadcastList(const char* dotted) {
  int count = ListCount();
  if (count < 0) return false;
  if (count >= discovery::kDialogBroadcastMax) {
    core::MessageFromIni(State().dialog, "IDS_BROADCAST_ERROR", kMessageStyle);
    return false;
  }
  if (SendDlgItemMessageA(State().dialog, IDC_BROADCAST_LIST, LB_FINDSTRINGEXACT,
                          static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(dotted)) != LB_ERR) {
    core::MessageFromIni(State().dialog, "IDS_IPALREADYEXISTS", kMessageStyle);
    return false;
  }
  return true;
}

// The message box takes the focus away; it goes back to the field to fix,
// with its text selected so that typing replaces it.
void RefuseAddress(int field, const char* message_key) {
  core::MessageFromIni(State().dialog, message_key, kMessageStyle);
  HWND edit = Item(field);
  SetFocus(edit);
  SelectAll(edit);
  DrawAsPlainButton(IDC_BTN_ADD);
}

void AddBroadcastAddress() {
  HWND dialog = State().dialog;
  UINT octets[4];
  for (int i = 0; i < 4; ++i) {
    BOOL number = FALSE;
    octets[i] = GetDlgItemInt(dialog, IDC_OCTET1 + i, &number, FALSE);
    if (!number || octets[i] > 255) {
      RefuseAddress(IDC_OCTET1 + i, "IDS_INVALIDIPADDRESS");
      return;
    }
  }
  char dotted[kDottedSize];
  FormatDotted(octets[0] << 24 | octets[1] << 16 | octets[2] << 8 | octets[3], dotted);
  // Every search sends to 255.255.255.255 anyway.
  if (lstrcmpA(dotted, kAllOnes) == 0) {
    RefuseAddress(IDC_OCTET1, "IDS_ADD_BROADCASE_ERROR");
    return;
  }
  if (!CheckBroadcastList(dotted)) return;

  HWND list = Item(IDC_BROADCAST_LIST);
  bool had_selection = SendMessageA(list, LB_GETCURSEL, 0, 0) != LB_ERR;
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(dotted));
  if (!had_selection) EnableWindow(Item(IDC_BTN_DEL), TRUE);
  LRESULT added = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(dotted));
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(added), 0);
  for (int id = IDC_OCTET1; id <= IDC_OCTET4; ++id) SetDlgItemTextA(dialog, id, "");
}

void DeleteBroadcastAddress() {
  HWND list = Item(IDC_BROADCAST_LIST);
  LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
  LRESULT left = SendMessageA(list, LB_GETCOUNT, 0, 0);
  if (left > 0) {
    if (selected < 0) selected = 0;
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected < left ? selected : left - 1), 0);
    return;
  }
  // A disabled button must not keep the focus, or the keyboard has nowhere to go.
  EnableWindow(Item(IDC_BTN_DEL), FALSE);
  SetFocus(Item(IDC_BTN_ADD));
  DrawAsPlainButton(IDC_BTN_DEL);
}

// Three digits fill an octet: typing goes straight on in the next field.
void OctetChanged(int id) {
  DWORD end = 0;
  SendDlgItemMessageA(State().dialog, id, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
  if (end != kOctetDigits) return;
  HWND next = Item(id + 1);
  SetFocus(next);
  SelectAll(next);
}

void MoveTo(int id, bool select_all, bool at_end) {
  HWND field = Item(id);
  SetFocus(field);
  if (select_all)
    SelectAll(field);
  else
    PlaceCaret(field, at_end);
}

// Lets the four fields behave as one address: the caret runs over from one
// to the next. Moving the focus is all it does; the key still reaches the
// field it was meant for, where at these positions it changes nothing.
void OnOctetKey(HWND field, WPARAM key) {
  int id = GetDlgCtrlID(field);
  DWORD start = 0, end = 0;
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  bool first = id == IDC_OCTET1, last = id == IDC_OCTET4;
  bool caret_only = start == end;
  switch (key) {
    case VK_BACK:
      if (!first && end == 0) MoveTo(id - 1, true, false);
      break;
    case VK_LEFT:
      if (!first && end == 0) MoveTo(id - 1, false, true);
      break;
    case VK_RIGHT:
      if (!last && caret_only && end == static_cast<DWORD>(GetWindowTextLengthA(field)))
        MoveTo(id + 1, false, false);
      break;
    case VK_DECIMAL:
      if (!last && caret_only && end != 0) MoveTo(id + 1, true, false);
      break;
    case VK_HOME:
      MoveTo(IDC_OCTET1, false, false);
      break;
    case VK_END:
      MoveTo(IDC_OCTET4, false, true);
      break;
  }
}

LRESULT CALLBACK OctetKeyFilter(int code, WPARAM wparam, LPARAM lparam) {
  if (code == MSGF_DIALOGBOX) {
    const MSG* message = reinterpret_cast<const MSG*>(lparam);
    if (message->message == WM_KEYDOWN && message->hwnd != nullptr &&
        GetParent(message->hwnd) == State().dialog) {
      int id = GetDlgCtrlID(message->hwnd);
      if (id >= IDC_OCTET1 && id <= IDC_OCTET4) OnOctetKey(message->hwnd, message->wParam);
    }
  }
  return CallNextHookEx(State().hook, code, wparam, lparam);
}

void BroadcastInit(HWND dialog, HWND owner) {
  State().dialog = dialog;
  core::IniPath(discovery::kDiscoveryIni, State().ini_path, sizeof(State().ini_path));
  HFONT font = OwnerOrIniFont(dialog, owner, &State().own_font);
  ApplyDialogLayout(dialog, font, kBroadcastLayout);
  LoadBroadcastList();
  State().hook = SetWindowsHookExA(WH_MSGFILTER, OctetKeyFilter, nullptr, GetCurrentThreadId());
}

void ReleaseHookAndPicture() {
  if (State().hook != nullptr) UnhookWindowsHookEx(State().hook);
  State().hook = nullptr;
  if (State().picture == nullptr) return;
  // At the end of a session the window may still paint before it goes.
  SendDlgItemMessageA(State().dialog, IDC_ADDRESS_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0);
  DeleteObject(State().picture);
  State().picture = nullptr;
}

INT_PTR CALLBACK BroadcastProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      BroadcastInit(dialog, reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      int code = HIWORD(wparam);
      if (id == IDOK) {
        SaveBroadcastList();
        EndDialog(dialog, 1);
      } else if (id == IDCANCEL) {
        EndDialog(dialog, 0);
      } else if (id >= IDC_OCTET1 && id < IDC_OCTET4 && (code == EN_CHANGE || code == EN_MAXTEXT)) {
        OctetChanged(id);
      } else if (id == IDC_BTN_ADD) {
        AddBroadcastAddress();
      } else if (id == IDC_BTN_DEL) {
        DeleteBroadcastAddress();
      } else {
        return FALSE;
      }
      return TRUE;
    }
    // Only a session that really ends: after a cancelled shutdown the
    // dialog stays up and still needs its picture and its keys.
    case WM_ENDSESSION:
      if (wparam) ReleaseHookAndPicture();
      return FALSE;
    case WM_DESTROY:
      ReleaseHookAndPicture();
      return FALSE;
    // The controls are gone by now, so the font is no longer in use.
    case WM_NCDESTROY:
      if (State().own_font != nullptr) DeleteObject(State().own_font);
      State().own_font = nullptr;
      return FALSE;
  }
  return FALSE;
}

}  // namespace

INT_PTR ShowBroadcastDialog(HWND owner) {
  if (InterlockedExchange(&core::g_monitor.dialogs.broadcast_open, 1) != 0) return 0;
  State() = core::BroadcastDialogState{};
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_BROADCAST),
                                   owner, BroadcastProc, reinterpret_cast<LPARAM>(owner));
  State().dialog = nullptr;
  InterlockedExchange(&core::g_monitor.dialogs.broadcast_open, 0);
  return result == 1 ? 1 : 0;
}

}  // namespace ui
