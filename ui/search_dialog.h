// The printer search dialog: lists the Harlune printers that answer the
// search, lets the user sort them and pick one, and opens the broadcast
// address dialog.
#pragma once
#include <windows.h>

#include "discovery/search.h"

namespace ui {

// Modal on template 257, owned by `owner` (whose font it takes when it has
// one). 1 when a printer was chosen: its address and the query port 19541
// are then in `answer`; 0 otherwise, with `answer` untouched.
INT_PTR ShowSearchDialog(HWND owner, discovery::SearchAnswer* answer);

// Shortens `text` in place to fit `width` pixels with `margin` on the DC's
// font, ending it in "..." when it had to be cut (down to one character at
// least). `text` needs room for three more characters.
void FitTextWithEllipsis(HDC dc, char* text, int width, int margin);

// The list's rows: one per found printer, listed as `index` of the results
// is added, then sorted by address with the first row selected.
void ListFoundPrinter(HWND list, discovery::SearchSession* session, int index);
// Sorts the list by `column` in that column's current direction.
void SortResults(HWND list, discovery::SearchSession* session, int column);
// Empties the results and the list, for a new sweep.
void ClearResults(HWND list, discovery::SearchSession* session);

// Column widths used when the registry holds none, in pixels.
inline constexpr int kDefaultColumnWidths[discovery::kColumnCount] = {110, 110, 138};

}  // namespace ui
