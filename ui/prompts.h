// The two dialogs that can appear while a job is being sent: the retry
// prompt after a failed send and the user name and password prompt of an
// IPP printer that demands authentication. Both are modal, have no owner
// (the spooler has no window to give them) and come to the foreground.
#pragma once
#include <windows.h>

#include "core/port_entry.h"

namespace ui {

// The retry prompt's timers. The first runs once, 10 s after the prompt
// opens; the second then ticks every second until the prompt closes.
inline constexpr UINT_PTR kFirstTimer = 1;
inline constexpr UINT_PTR kFlashTimer = 2;
inline constexpr UINT kFirstTimerMs = 10000;
inline constexpr UINT kFlashTimerMs = 1000;

// Longest user name and password the prompt takes (the IPP block holds
// that many characters and the zero).
inline constexpr int kCredentialMax = 64;

// Shows the retry prompt (dialog 401) for `port`, whose prompt message id
// picks the text. Returns 1 for retry, 0 for stop, also when the dialog
// could not be created. The prompt reads and sets port->prompt_state while
// it is up; the caller owns everything before and after.
INT_PTR ShowRetryPrompt(core::PortEntry* port);

// Shows the user name and password prompt (dialog 394). OK (1) puts both
// into the port's IPP block, in memory only, and turns Basic authentication
// on; Cancel (0) changes nothing.
INT_PTR ShowPasswordPrompt(core::PortEntry* port);

// Plugs both prompts into the monitor's dialog hooks.
void InstallPromptHooks();

}  // namespace ui
