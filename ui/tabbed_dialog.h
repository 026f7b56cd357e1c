// The frame of the tabbed configure dialogs (IPP 330, E-mail 373): a tab
// control (332) with one page per tab, OK, Cancel and Apply (331). It loads
// the port's settings into a temporary entry, lets the pages change it, and
// writes it to the port's key on OK and Apply; Cancel writes nothing.
//
// How a page plugs in: a TabPage row names its template (a child dialog,
// PAGE_STYLE as in resources/configure.rc, not visible), its layout table
// (mode kLayoutPage, row 0 at (12, 38), inside the tab control), the key of
// its tab text in section "TAB", and its dialog procedure. The frame creates
// every page once, applies its layout with the dialog's font, and only then
// hands the procedure WM_INITDIALOG (lparam: &g_configure), where the page
// fills its fields from g_configure.port. Then the procedure gets:
// - kWizPrepare before its tab is shown, kWizShown after (focus the first
//   field with FocusFirstField);
// - kCfgValidate when its tab is left, on OK and on Apply: check the fields,
//   store them into g_configure.port and RETURN 1 (valid) or 0 (a message
//   was shown; the tab stays). The frame makes that the message's result.
// Edit changes (EN_CHANGE) and clicks on check boxes and radio buttons
// enable Apply by themselves; any other change (a list entry added, a
// dialog closed with OK) calls MarkConfigureChanged. WM_GETFONT and DWLP_USER
// of a page belong to the frame: dialogs opened from a page take the
// configure dialog's font through OwnerOrIniFont(dialog, page, &own).
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/port_entry.h"
#include "ui/layout.h"
#include "ui/wizard.h"  // kWizPrepare, kWizShown

namespace ui {

// Sent to a page to check and store its fields; 1 valid, 0 refused.
inline constexpr UINT kCfgValidate = WM_USER + 205;

struct TabPage {
  int template_id;
  const LayoutTable* layout;
  const char* tab_key;  // section "TAB"
  DLGPROC procedure;
};

struct TabbedDialog {
  int template_id;  // OK, Cancel, IDC_APPLY and IDC_TABS of resources/configure.h
  const LayoutTable* layout;
  const TabPage* pages;
  int page_count;
  // Called on OK and Apply once the page was found valid, just before the
  // settings are written; may be null.
  void (*before_write)();
};

inline constexpr int kMaxTabPages = 4;

// The open tabbed dialog. ConfigurePort lets one open at a time.
struct ConfigureDialog {
  HWND dialog;
  const TabbedDialog* layout;
  const char* port_name;
  core::PortEntry* port;  // the temporary entry, with its protocol block
  HFONT font;             // may be null: the templates' font then stays
  HWND pages[kMaxTabPages];
  int current;
  bool ready;  // pages filled: changes from now on enable Apply
};
extern ConfigureDialog g_configure;

// Shows the dialog modally for the port of that name and kind: 1 after OK,
// 0 after Cancel or when it could not be opened.
INT_PTR ShowTabbedDialog(HWND owner, const char* port_name, std::uint32_t kind,
                         const TabbedDialog& dialog);

// Enables Apply for a change the frame cannot see.
void MarkConfigureChanged();

// What a page does on kWizShown: focus `id` and select its text, unless
// the user is on the tab control itself.
void FocusFirstField(HWND page, int id);

}  // namespace ui
