#include "ui/search_dialog.h"

#include <commctrl.h>

#include "discovery/discovery_ini.h"
#include "discovery/query_wire.h"
#include "core/ini.h"
#include "core/state.h"
#include "core/store.h"
#include "core/text.h"
#include "resources/discovery.h"
#include "ui/broadcast_dialog.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

namespace ui {
namespace {

using discovery::kColumnCount;
using discovery::kSortAscending;
using discovery::kSortDescending;

constexpr int kCellText = 127;
// Cell text with every "&" doubled and "..." appended.
constexpr int kDrawText = 2 * kCellText + 4;
// Widths from the registry outside this range are damage, not a choice.
constexpr DWORD kColumnWidthMax = 4096;

// What a user expects a window to keep for the life of the process: the
// column sorted last and the widths read from the registry.
core::SearchListMemory& Memory() { return core::g_monitor.dialogs.search_list; }

struct SearchDialog {
  discovery::SearchAnswer* answer;
  discovery::SearchSession session;
  HWND list;
  int chosen_row;  // the result index of the row picked last, -1 none
  HFONT own_font;  // null when the owner lent its font
};

struct SortOrder {
  const discovery::ResultTable* results;
  int column;
  int direction;
};

// Compares by the result table, not by the rows' texts: while it sorts, a
// list view answers no other message reliably. The texts are the same ones
// the rows show.
int CALLBACK CompareResultRows(LPARAM a, LPARAM b, LPARAM sort) {
  const auto* order = reinterpret_cast<const SortOrder*>(sort);
  if (a < 0 || b < 0 || a >= discovery::kFoundMax || b >= discovery::kFoundMax) return 0;
  char text_a[256];
  char text_b[256];
  discovery::ResultColumnText(order->results->entries[a], order->column, text_a, sizeof(text_a));
  discovery::ResultColumnText(order->results->entries[b], order->column, text_b, sizeof(text_b));
  int result = lstrcmpA(text_a, text_b);
  return order->direction == kSortAscending ? result : -result;
}

void InsertRow(HWND list, const discovery::FoundPrinter& entry, int index) {
  char text[256];
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  item.lParam = index;
  discovery::ResultColumnText(entry, 0, text, sizeof(text));
  item.pszText = text;
  int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  for (int column = 1; column < kColumnCount; ++column) {
    discovery::ResultColumnText(entry, column, text, sizeof(text));
    LVITEMA sub = {};
    sub.iSubItem = column;
    sub.pszText = text;
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
  }
}

void SelectFirstRow(HWND list) {
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
}

SearchDialog* DialogOf(HWND dialog) {
  return reinterpret_cast<SearchDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void ColumnValueName(int column, char out[12]) { wsprintfA(out, "Column%02d", column); }

void ReadColumnWidths() {
  for (int column = 0; column < kColumnCount; ++column) {
    char name[12];
    ColumnValueName(column, name);
    DWORD width = 0, size = sizeof(width), type = 0;
    if (core::ReadKeyValue(HKEY_LOCAL_MACHINE, core::g_monitor.monitor_key, name, &width,
                              &size, &type) &&
        type == REG_BINARY && size == sizeof(width) && width <= kColumnWidthMax)
      Memory().widths[column] = static_cast<int>(width);
    else if (!Memory().widths_known)
      Memory().widths[column] = kDefaultColumnWidths[column];
  }
  Memory().widths_known = true;
}

void WriteColumnWidths(HWND list) {
  for (int column = 0; column < kColumnCount; ++column) {
    auto width = static_cast<DWORD>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    char name[12];
    ColumnValueName(column, name);
    core::WriteKeyValue(core::g_monitor.monitor_key, name, &width, sizeof(width), REG_BINARY);
  }
}

void InsertColumns(HWND list) {
  ReadColumnWidths();
  for (int column = 0; column < kColumnCount; ++column) {
    char key[12];
    wsprintfA(key, "ITEM%d", column);
    char heading[core::kIniTextMax];
    core::IniText(core::kDialogIni, "LIST", key, {}, heading, sizeof(heading));
    LVCOLUMNA info = {};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = LVCFMT_LEFT;
    info.cx = Memory().widths[column];
    info.pszText = heading;
    info.iSubItem = column;
    SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
  }
}

BOOL SearchInit(HWND dialog, LPARAM answer) {
  auto* search = static_cast<SearchDialog*>(core::Alloc(sizeof(SearchDialog)));
  auto* results = static_cast<discovery::ResultTable*>(core::Alloc(sizeof(discovery::ResultTable)));
  if (search == nullptr || results == nullptr) {
    if (search != nullptr) core::Free(search);
    if (results != nullptr) core::Free(results);
    EndDialog(dialog, 0);
    return TRUE;
  }
  search->answer = reinterpret_cast<discovery::SearchAnswer*>(answer);
  discovery::SearchSession& session = search->session;
  session.socket = INVALID_SOCKET;
  session.results = results;
  search->list = GetDlgItem(dialog, IDC_SEARCH_LIST);
  // A row picked before a new search emptied the list is no choice.
  search->chosen_row = -1;
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(search));
  InsertColumns(search->list);
  session.sort_direction[0] = kSortAscending;
  session.sort_direction[1] = kSortDescending;
  session.sort_direction[2] = kSortDescending;
  core::IniPath(discovery::kDiscoveryIni, session.ini_path, sizeof(session.ini_path));
  discovery::StartPrinterSearch(dialog, &session);
  HFONT font = OwnerOrIniFont(dialog, GetWindow(dialog, GW_OWNER), &search->own_font);
  ApplyDialogLayout(dialog, font, kSearchLayout);
  return TRUE;
}

void SearchAgain(SearchDialog* search) {
  discovery::SearchSession& session = search->session;
  ClearResults(search->list, &session);
  search->chosen_row = -1;
  discovery::LoadUserBroadcasts(session.ini_path, &session.broadcasts);
  if (session.socket != INVALID_SOCKET)
    discovery::SendSearchRequest(discovery::kSearchCommunity, session.socket, session.broadcasts);
}

void Accept(HWND dialog, SearchDialog* search) {
  if (search->chosen_row < 0 || search->chosen_row >= discovery::kFoundMax) {
    EndDialog(dialog, 0);
    return;
  }
  const discovery::FoundPrinter& found = search->session.results->entries[search->chosen_row];
  core::CopyText(search->answer->address, sizeof(search->answer->address), found.address);
  search->answer->query_port = discovery::kQueryDefaultPort;
  EndDialog(dialog, 1);
}

// The first click on a column sorts it ascending and each further click
// reverses it; the address column starts ascending and is the column last
// clicked in a fresh process, so its first click reverses it.
void ColumnClicked(SearchDialog* search, int column) {
  if (column < 0 || column >= kColumnCount) return;
  int* direction = search->session.sort_direction;
  if (column != Memory().sort_column) {
    for (int c = 0; c < kColumnCount; ++c) direction[c] = kSortDescending;
  }
  direction[column] = direction[column] == kSortAscending ? kSortDescending : kSortAscending;
  SortResults(search->list, &search->session, column);
  Memory().sort_column = column;
}

BOOL ListNotified(SearchDialog* search, const NMHDR* header) {
  if (header->idFrom != IDC_SEARCH_LIST) return FALSE;
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
  if (header->code == LVN_ITEMCHANGED) {
    search->chosen_row = static_cast<int>(change->lParam);
    return TRUE;
  }
  if (header->code == LVN_COLUMNCLICK) {
    ColumnClicked(search, change->iSubItem);
    return TRUE;
  }
  return FALSE;
}

// "&" would underline the next character; a printer's description is shown
// as it is.
void DoubleAmpersands(const char* text, char* out, int size) {
  core::TextWriter writer{out, static_cast<std::size_t>(size - 1)};
  for (; *text != '\0'; ++text) {
    writer.Char(*text);
    if (*text == '&') writer.Char('&');
  }
  out[writer.at] = '\0';
}

void DrawCell(HDC dc, HWND list, int row, int column, RECT cell) {
  char text[kCellText + 1] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  char shown[kDrawText];
  DoubleAmpersands(text, shown, sizeof(shown));
  FitTextWithEllipsis(dc, shown, cell.right - cell.left, 0);
  DrawTextA(dc, shown, -1, &cell, DT_VCENTER);
}

void DrawResultRow(const DRAWITEMSTRUCT* draw) {
  if (draw->CtlID != IDC_SEARCH_LIST || static_cast<int>(draw->itemID) < 0) return;
  HWND list = draw->hwndItem;
  HDC dc = draw->hDC;
  bool selected = (draw->itemState & (ODS_SELECTED | ODS_FOCUS)) != 0;
  const RECT& row = draw->rcItem;
  FillRect(dc, &row, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (selected && GetFocus() == list) DrawFocusRect(dc, &row);
  COLORREF old_colour = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  int old_mode = SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old_font = nullptr;
  auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
  if (font != nullptr) old_font = SelectObject(dc, font);
  int left = row.left;
  for (int column = 0; column < kColumnCount; ++column) {
    int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    RECT cell = row;
    cell.top = row.top + 1;
    if (column == 0) {
      cell.left = left + 1;
      cell.right = cell.left + width - 4;
    } else {
      cell.left = left + 3;
      cell.right = cell.left + width - 3;
    }
    if (cell.right > cell.left) DrawCell(dc, list, static_cast<int>(draw->itemID), column, cell);
    left += width;
  }
  if (old_font != nullptr) SelectObject(dc, old_font);
  SetBkMode(dc, old_mode);
  SetTextColor(dc, old_colour);
}

void SearchDestroy(HWND dialog) {
  SearchDialog* search = DialogOf(dialog);
  if (search == nullptr) return;
  discovery::SearchSession& session = search->session;
  if (session.socket != INVALID_SOCKET) closesocket(session.socket);
  session.socket = INVALID_SOCKET;
  WriteColumnWidths(search->list);
  core::Free(session.results);
  session.results = nullptr;
}

// The controls are gone by WM_NCDESTROY, so the font is no longer in use.
void SearchClose(HWND dialog) {
  SearchDialog* search = DialogOf(dialog);
  if (search == nullptr) return;
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
  if (search->own_font != nullptr) DeleteObject(search->own_font);
  core::Free(search);
}

INT_PTR CALLBACK SearchProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return SearchInit(dialog, lparam);
  SearchDialog* search = DialogOf(dialog);
  if (search == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          Accept(dialog, search);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_BTN_CON:
          ShowBroadcastDialog(dialog);
          return TRUE;
        case IDC_BTN_BROAD:
          SearchAgain(search);
          return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      return ListNotified(search, reinterpret_cast<const NMHDR*>(lparam));
    case WM_DRAWITEM:
      DrawResultRow(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    case discovery::kSearchSocketEvent: {
      int index = discovery::HandleSearchReply(&search->session);
      if (index >= 0) ListFoundPrinter(search->list, &search->session, index);
      return TRUE;
    }
    case WM_DESTROY:
      SearchDestroy(dialog);
      return FALSE;
    case WM_NCDESTROY:
      SearchClose(dialog);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void FitTextWithEllipsis(HDC dc, char* text, int width, int margin) {
  int length = static_cast<int>(core::TextLength(text));
  SIZE extent = {};
  if (length == 0) return;
  GetTextExtentPoint32A(dc, text, length, &extent);
  if (extent.cx + margin <= width) return;
  SIZE dots = {};
  GetTextExtentPoint32A(dc, "...", 3, &dots);
  while (length > 1) {
    --length;
    GetTextExtentPoint32A(dc, text, length, &extent);
    if (extent.cx + margin + dots.cx <= width) break;
  }
  core::CopyText(text + length, 4, "...");
}

void ListFoundPrinter(HWND list, discovery::SearchSession* session, int index) {
  InsertRow(list, session->results->entries[index], index);
  // A new row goes where the address column puts it, whatever the user
  // sorted by last.
  SortResults(list, session, 0);
  SelectFirstRow(list);
}

void SortResults(HWND list, discovery::SearchSession* session, int column) {
  if (column < 0 || column >= kColumnCount) return;
  SortOrder order = {session->results, column, session->sort_direction[column]};
  SendMessageA(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&order),
               reinterpret_cast<LPARAM>(CompareResultRows));
}

void ClearResults(HWND list, discovery::SearchSession* session) {
  *session->results = discovery::ResultTable{};
  SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

INT_PTR ShowSearchDialog(HWND owner, discovery::SearchAnswer* answer) {
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_SEARCH), owner,
                                   SearchProc, reinterpret_cast<LPARAM>(answer));
  return result == 1 ? 1 : 0;
}

}  // namespace ui
