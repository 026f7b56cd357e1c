// Driving and inspecting the monitor's dialogs from a test program under
// Wine. A test shows the dialog on a thread of its own (RunModal), finds it
// once it is visible, reads and presses its controls from the test thread,
// and may save a picture of it for a person to look at.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/layout.h"

namespace gui {

// True once `done` holds, asked every 10 ms; false after `timeout_ms`.
bool Poll(const std::function<bool()>& done, DWORD timeout_ms = 5000);

// The first visible dialog (#32770) of this process with the caption (null
// for any) and a control `control_id` (0 for any), looked for until
// `timeout_ms` pass; null if none showed. Visible means its WM_INITDIALOG
// has run, so its layout and texts are final.
struct DialogQuery {
  const char* caption = nullptr;
  int control_id = 0;
};
HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms = 5000);

// A message box of this process that shows (a dialog with the box's text
// control, 0xFFFF); null when there is none.
HWND VisibleMessageBox();

// --- reading ----------------------------------------------------------------------

std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
// A window's rectangle in the client coordinates of its parent (screen
// coordinates for a top-level window); empty for a missing control.
RECT RectInParent(HWND window);
RECT ControlRect(HWND dialog, int id);

// The font a control draws its text in, as WM_GETFONT gives it (null: the
// system font), and a font's "face,height,charset" ("" for none).
HFONT ControlFont(HWND dialog, int id);
std::string FontText(HFONT font);

// The room the window's text takes in the window's font: wrapped at
// `wrap_width` pixels as a static control wraps it, or on one line for 0.
// With the control's size, this tells whether a text is clipped.
SIZE TextSize(HWND window, int wrap_width = 0);

// Whether the control's text shows whole: wrapped within its box for a
// label, on one line with room for its edges for a button.
bool TextFits(HWND dialog, int id, bool button = false);

// The rows of `table` whose INI text does not fit its control in `dialog`
// (TextFits), one "ID KEY: "TEXT"" line each; empty when all fit. Hidden
// controls of a shown dialog are skipped: nobody sees them.
std::string ClippedTexts(HWND dialog, const ui::LayoutTable& table);

// Every row's text in `column` of a report-view list view, top to bottom.
std::vector<std::string> ListColumn(HWND list, int column);

// --- acting ------------------------------------------------------------------------

// Presses a button of a dialog that runs on another thread as a click would
// (BM_CLICK); returns once the dialog handled it.
bool Click(HWND dialog, int id);

// Presses a button without waiting for the dialog to handle it: for a
// button whose handler shows a message box and so does not return.
void PostClick(HWND dialog, int id);

// Delivers a WM_TIMER tick and returns once the window handled it.
bool SendTimer(HWND window, UINT_PTR id);

// Types `text` into a control one WM_CHAR at a time, as a keyboard would,
// so that limits such as EM_LIMITTEXT apply.
void Type(HWND dialog, int id, const std::string& text);

// Presses and releases a key on a control through its thread's message
// queue, so that the dialog's message loop, its message-filter hooks and
// the dialog manager all see it as a real key; returns once it was handled.
bool PressKey(HWND dialog, int id, WPARAM virtual_key);

// Returns once `window`'s thread has taken from its queue, and handled,
// every message posted to it before the call; false after `timeout_ms`.
bool Settle(HWND window, DWORD timeout_ms = 5000);

// The window that has the keyboard focus on `window`'s thread.
HWND Focus(HWND window);

// --- modal dialogs on a thread of their own ------------------------------------

struct Modal {
  HANDLE thread = nullptr;
  DWORD thread_id = 0;
  std::function<INT_PTR()> show;
  INT_PTR result = -1;
  HWND dialog = nullptr;  // as WaitForDialog found it; null if it did not show
  // Presses `button` (0: none) and waits for the call to return; its result,
  // or -2 when the button is missing or the call did not return in time.
  INT_PTR End(int button = 0, DWORD timeout_ms = 5000);
  // A dialog a failed test left up is cancelled, so the thread can end.
  ~Modal();
};

// Starts `show` (a call that runs a modal dialog) on a new thread and waits
// for the dialog that `query` describes.
std::unique_ptr<Modal> RunModal(std::function<INT_PTR()> show, const DialogQuery& query);

// --- pictures ------------------------------------------------------------------------

// The window as drawn, frame and caption included, into
// <build>/screenshots/<name>.bmp, its path printed. False when the picture
// shows no more than a blank (so the window did not draw) or could not be
// written; true without a picture under Wine's null driver, which draws
// nothing.
bool SaveScreenshot(HWND window, const std::string& name);

}  // namespace gui
