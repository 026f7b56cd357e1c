// Driving and inspecting the monitor's dialogs from a test program under
// Wine. A test shows the dialog on a thread of its own (RunModal), finds it
// once it is visible, reads and presses its controls from the test thread,
// and may save a picture of it for a person to look at.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gui {

// --- finding dialogs ----------------------------------------------------------

struct DialogQuery {
  const char* caption = nullptr;       // exact window text; null for any
  const char* window_class = "#32770";  // null for any
  int control_id = 0;                  // a control the window must have; 0 for any
};

// The first visible top-level window of this process that matches, looked
// for until `timeout_ms` pass; null if none showed. Visible means its
// WM_INITDIALOG has run, so its layout and texts are final.
HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms = 5000);

// True once `window` no longer exists; false after `timeout_ms`.
bool WaitForClose(HWND window, DWORD timeout_ms = 5000);

// --- reading ----------------------------------------------------------------------

std::string Text(HWND window);
std::string ControlText(HWND dialog, int id);
// The control's rectangle in the client coordinates of its parent; empty
// for a missing control.
RECT ControlRect(HWND dialog, int id);
// A window's rectangle in the client coordinates of its parent (screen
// coordinates for a top-level window).
RECT RectInParent(HWND window);

struct FontInfo {
  HFONT handle = nullptr;  // as WM_GETFONT gives it; null: the system font
  std::string face;
  LONG height = 0;
  BYTE charset = 0;
};
FontInfo WindowFont(HWND window);
FontInfo ControlFont(HWND dialog, int id);

// The room the window's text takes in the window's font: wrapped at
// `wrap_width` pixels as a static control wraps it, or on one line for 0.
// With the control's size, this tells whether a text is clipped.
SIZE TextSize(HWND window, int wrap_width = 0);

// --- acting ------------------------------------------------------------------------

// Presses a button as a click would (BM_CLICK), sent from a helper thread;
// returns once the dialog handled it. Works from any thread, the dialog's
// own included.
bool Click(HWND dialog, int id);

// Posts a WM_TIMER tick as the timer `id` would, without waiting for it.
void PostTimer(HWND window, UINT_PTR id);
// Delivers a WM_TIMER tick and returns once the window handled it.
bool SendTimer(HWND window, UINT_PTR id);

// Types `text` into a control one WM_CHAR at a time, as a keyboard would,
// so that limits such as EM_LIMITTEXT apply.
void Type(HWND dialog, int id, const std::string& text);

// Presses a button without waiting for the dialog to handle it: for a
// button whose handler shows a message box and so does not return.
void PostClick(HWND dialog, int id);

// Presses and releases a key on a control through its thread's message
// queue, so that the dialog's message loop, its message-filter hooks and
// the dialog manager all see it as a real key; returns once it was handled.
bool PressKey(HWND dialog, int id, WPARAM virtual_key);

// Returns once `window`'s thread has taken from its queue, and handled,
// every message posted to it before the call; false after `timeout_ms`.
bool Settle(HWND window, DWORD timeout_ms = 5000);

// The window that has the keyboard focus on `window`'s thread.
HWND Focus(HWND window);

// An edit control's selection as EM_GETSEL gives it.
struct Selection {
  DWORD start = 0;
  DWORD end = 0;
};
Selection EditSelection(HWND dialog, int id);

// --- modal dialogs on a thread of their own ------------------------------------

struct Modal {
  HANDLE thread = nullptr;
  DWORD thread_id = 0;
  std::function<INT_PTR()> show;
  INT_PTR result = -1;
  // A dialog a failed test left up is cancelled, so the thread can end.
  ~Modal();
};

// Starts `show` (a call that runs a modal dialog) on a new thread.
std::unique_ptr<Modal> RunModal(std::function<INT_PTR()> show);

// Waits for the call to return and gives its result; false on time-out.
bool WaitModal(Modal& modal, INT_PTR* result, DWORD timeout_ms = 5000);

// --- pictures ------------------------------------------------------------------------

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom
};

// True when Wine draws on an X display (under the null driver nothing is
// drawn and there is nothing to take a picture of).
bool HaveDisplay();

// The window as drawn, frame and caption included, after making it paint.
bool Capture(HWND window, Image* image);

// Writes an RGB PNG (stored, uncompressed deflate blocks).
bool WritePng(const std::string& path, const Image& image);

// <build>/screenshots, made if need be (the test EXE lives in <build>/bin).
std::string ScreenshotFolder();

// Captures `window` into <build>/screenshots/<name>.png; the path in `path`.
bool SaveScreenshot(HWND window, const std::string& name, std::string* path = nullptr);

}  // namespace gui
