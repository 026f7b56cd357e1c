// Reading a report-view list view's rows from a test, from any thread.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace wine_test {

inline int ListRows(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

inline std::string ListCell(HWND list, int row, int column) {
  char text[256] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof(text);
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

// Every row's text in `column`, top to bottom.
inline std::vector<std::string> ListColumn(HWND list, int column) {
  std::vector<std::string> cells;
  for (int row = 0; row < ListRows(list); ++row) cells.push_back(ListCell(list, row, column));
  return cells;
}

}  // namespace wine_test
