// Hands on another thread's windows: what a person's typing and clicking
// sends a control, from a thread that is not the window's own. Each call
// waits for the window's thread to handle the message, for a bounded time:
// a dialog that stops answering fails the command, never hangs it.
#pragma once
#include <windows.h>

#include <string>

namespace host::hands {

// How long a window's thread may take to handle one message, to show a
// window, and to react to a press (a box waiting for a person included).
inline constexpr DWORD kAnswerMs = 5000;
inline constexpr DWORD kShowMs = 10000;
inline constexpr DWORD kReactMs = 60000;
inline constexpr DWORD kPollMs = 20;

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr,
          DWORD ms = kAnswerMs);

// The window's text, at most 1023 characters; "" when it does not answer.
std::string Text(HWND window);

// A person can click only what is shown and enabled. Returns once the
// click has been handled, a box it raised answered and all, or MS passed.
bool Click(HWND button, DWORD ms);

// For a button that opens a modal dialog: the click is handled only once
// that dialog closes.
bool PostClick(HWND button);

// Select all, Backspace, then one character at a time, as typed: the
// field's own limit cuts what does not fit. A '\n' is what Ctrl+Enter
// types: a line break in a multi-line field of a dialog, where Enter would
// press the default button.
bool Type(HWND field, const std::string& text);

// A top-level dialog of THREAD, shown or not (a message box is made before
// it shows), other than EXCEPT, holding CONTROL (0: any) and owned by
// OWNER (null: any).
HWND DialogOfThread(DWORD thread, HWND except, int control = 0, HWND owner = nullptr);

// Cancels a modal dialog a person would otherwise have to close: whatever
// is open over it (a box, a dialog it opened) is refused first, then its
// Cancel is pressed. A dialog that will not close ends the process, saying
// WHAT would not close: the main thread would otherwise sit in the
// monitor's call for ever.
void CancelDialog(HWND dialog, const char* what);

}  // namespace host::hands
