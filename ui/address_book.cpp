#include "ui/address_book.h"

#include "core/state.h"
#include "core/text.h"
#include "resources/mail.h"
#include "ui/mail_checks.h"

namespace ui {
namespace {

constexpr DWORD kSlotBytes = core::kAddressChars + 1;

enum class Slot { kAddress, kPassedOver, kEnd };

// Addresses are compared byte for byte: letter case makes another mailbox
// to a mail server, and lstrcmpA's locale rules would join some others.
bool SameAddress(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

void HistoryPath(char (&path)[sizeof(core::g_monitor.monitor_key) + 16]) {
  core::CopyText(path, sizeof(path), core::g_monitor.monitor_key);
  core::AppendText(path, sizeof(path), "\\AddrBook");
}

void SlotName(int slot, char (&name)[16]) { wsprintfA(name, "%s%03d", "Address", slot); }

Slot ReadSlot(HKEY key, int slot, char (&address)[kSlotBytes]) {
  char name[16];
  SlotName(slot, name);
  for (char& c : address) c = '\0';
  DWORD type = 0, size = kSlotBytes;
  // Missing, or longer than the buffer.
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(address), &size) !=
      ERROR_SUCCESS)
    return Slot::kEnd;
  if (type != REG_SZ) return Slot::kPassedOver;
  // 65 characters written without their zero fill the buffer and are still too long.
  if (address[core::kAddressChars] != '\0') return Slot::kEnd;
  return address[0] == '\0' ? Slot::kPassedOver : Slot::kAddress;
}

void RemoveAddress(AddressList* list, const char* address) {
  for (int i = 0; i < list->count; ++i) {
    if (!SameAddress(list->entries[i], address)) continue;
    for (int j = i + 1; j < list->count; ++j)
      core::CopyText(list->entries[j - 1], kSlotBytes, list->entries[j]);
    --list->count;
    return;
  }
}

HWND Control(HWND page, int id) { return GetDlgItem(page, id); }

int ListedCount(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }

// Entry `i` of the list; every entry fits, as only this page fills the list.
void Listed(HWND list, int i, char (&address)[kSlotBytes]) {
  address[0] = '\0';
  if (SendMessageA(list, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(kSlotBytes))
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(address));
}

int FindListed(HWND list, const char* address) {
  char listed[kSlotBytes];
  for (int i = 0; i < ListedCount(list); ++i) {
    Listed(list, i, listed);
    if (SameAddress(listed, address)) return i;
  }
  return -1;
}

}  // namespace

void LoadAddressHistory(HWND combo) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  char path[sizeof(core::g_monitor.monitor_key) + 16];
  HistoryPath(path);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char address[kSlotBytes];
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    Slot read = ReadSlot(key, slot, address);
    if (read == Slot::kEnd) break;
    if (read == Slot::kAddress)
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
  }
  RegCloseKey(key);
}

void SaveAddressHistory(AddressList* list) {
  char path[sizeof(core::g_monitor.monitor_key) + 16];
  HistoryPath(path);
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  int used = 0;
  char address[kSlotBytes];
  for (; used < kHistorySlots; ++used) {
    Slot read = ReadSlot(key, used, address);
    if (read == Slot::kEnd) break;
    if (read == Slot::kAddress) RemoveAddress(list, address);
  }
  for (int i = 0; i < list->count; ++i) {
    int slot = used >= kHistorySlots ? 0 : used;
    char name[16];
    SlotName(slot, name);
    const char* entry = list->entries[i];
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry),
                   static_cast<DWORD>(core::TextLength(entry)));
    used = slot + 1;
  }
  RegCloseKey(key);
}

bool AddDestination(HWND page) {
  HWND list = Control(page, IDC_TO_LIST);
  if (ListedCount(list) >= static_cast<int>(core::kMaxDestinations)) {
    MailWarning(page, "IDS_MAX_TO_ADDR_ERROR");
    return false;
  }
  char address[kSlotBytes];
  GetDlgItemTextA(page, IDC_TO_COMBO, address, sizeof(address));
  if (address[0] == '\0') {
    MailWarning(page, "IDS_INVALID_FROM_ADDR");
    return false;
  }
  if (core::HoldsForbidden(address, core::kAddressForbidden, IsLeadByte)) {
    MailWarning(page, "IDS_INVALID_CHARACTER", core::TextInsertOf(core::kAddressForbidden));
    SelectField(page, IDC_TO_COMBO);
    // The focus went back to the address: Enter there must not add it again.
    SendDlgItemMessageA(page, IDC_MAIL_ADD, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    return false;
  }
  if (FindListed(list, address) >= 0) {
    MailWarning(page, "IDS_EMALREADYEXISTS");
    return false;
  }
  bool had_selection = SendMessageA(list, LB_GETCURSEL, 0, 0) != LB_ERR;
  LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
  if (!had_selection) EnableWindow(Control(page, IDC_MAIL_DELETE), TRUE);
  SendMessageA(list, LB_SETCURSEL, at, 0);
  SetDlgItemTextA(page, IDC_TO_COMBO, "");
  return true;
}

bool DeleteDestination(HWND page) {
  HWND list = Control(page, IDC_TO_LIST);
  LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (at == LB_ERR) return false;
  SendMessageA(list, LB_DELETESTRING, at, 0);
  int left = ListedCount(list);
  if (left > 0) {
    SendMessageA(list, LB_SETCURSEL, at < left ? at : left - 1, 0);
    return true;
  }
  // The focus leaves Delete before it is disabled, or it would be lost.
  HWND remove = Control(page, IDC_MAIL_DELETE);
  SetFocus(Control(page, IDC_MAIL_ADD));
  SendMessageA(remove, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  EnableWindow(remove, FALSE);
  return true;
}

bool JoinDestinations(HWND page, char* to_addr, std::size_t size) {
  HWND list = Control(page, IDC_TO_LIST);
  int count = ListedCount(list);
  if (count <= 0) {
    MailWarning(page, "IDS_INVALID_TO_ADDR");
    return false;
  }
  to_addr[0] = '\0';
  char address[kSlotBytes];
  for (int i = 0; i < count; ++i) {
    Listed(list, i, address);
    if (i > 0) core::AppendText(to_addr, size, ",");
    core::AppendText(to_addr, size, address);
  }
  return true;
}

void ListDestinations(HWND page, const char* to_addr) {
  HWND list = Control(page, IDC_TO_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  char address[kSlotBytes];
  int count = 0;
  for (const char* at = to_addr;
       count < static_cast<int>(core::kMaxDestinations) && core::NextDestination(&at, address);) {
    if (FindListed(list, address) >= 0) continue;
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
    ++count;
  }
  if (count > 0) SendMessageA(list, LB_SETCURSEL, 0, 0);
  EnableWindow(Control(page, IDC_MAIL_DELETE), count > 0);
}

void CopyDestinations(HWND page, AddressList* list) {
  HWND box = Control(page, IDC_TO_LIST);
  list->count = 0;
  for (int i = 0; i < ListedCount(box) && list->count < static_cast<int>(core::kMaxDestinations); ++i)
    Listed(box, i, list->entries[list->count++]);
}

}  // namespace ui
