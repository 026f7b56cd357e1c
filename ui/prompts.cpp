#include "ui/prompts.h"

#include <windows.h>

#include "core/ini.h"
#include "core/job_status.h"
#include "core/retry.h"
#include "core/state.h"
#include "resources/prompts.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

namespace ui {
namespace {

// What a prompt keeps while it is up; freed when its window goes.
struct Prompt {
  core::PortEntry* port;
  HFONT font;
};

Prompt* PromptOf(HWND dialog) {
  return reinterpret_cast<Prompt*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

// Common opening: the prompt's own font (it has no owner to lend one), its
// icon, and the layout. Null when there is no memory for the prompt; the
// prompt then ends with 0 at once.
Prompt* OpenPrompt(HWND dialog, LPARAM port, const LayoutTable& layout, int icon_id,
                   LPCSTR icon) {
  auto* prompt = static_cast<Prompt*>(core::Alloc(sizeof(Prompt)));
  if (prompt == nullptr) {
    EndDialog(dialog, 0);
    return nullptr;
  }
  prompt->port = reinterpret_cast<core::PortEntry*>(port);
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(prompt));
  // No owner: the spooler has no window to give the prompt.
  OwnerOrIniFont(dialog, nullptr, &prompt->font);
  SendDlgItemMessageA(dialog, icon_id, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIconA(nullptr, icon)), 0);
  ApplyDialogLayout(dialog, prompt->font, layout);
  return prompt;
}

// The controls are gone by WM_NCDESTROY, so the font is no longer in use.
void ClosePromptWindow(HWND dialog) {
  Prompt* prompt = PromptOf(dialog);
  if (prompt == nullptr) return;
  SetWindowLongPtrA(dialog, DWLP_USER, 0);
  if (prompt->font != nullptr) DeleteObject(prompt->font);
  core::Free(prompt);
}

// Without Close (and with it the title bar's close box) the prompt can only
// be answered with its buttons. The separator that stood above Close would
// be left dangling at the menu's end, so it goes too.
void RemoveClose(HWND dialog) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  if (menu == nullptr) return;
  DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
  int last = GetMenuItemCount(menu) - 1;
  if (last < 0) return;
  MENUITEMINFOA item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_TYPE;
  if (GetMenuItemInfoA(menu, last, TRUE, &item) && (item.fType & MFT_SEPARATOR) != 0)
    DeleteMenu(menu, last, MF_BYPOSITION);
}

// The sending side writes the state under the global lock; reading and
// updating it under the same lock keeps a close request that arrives at
// the 10-second mark from being overwritten.
std::uint8_t ReadPromptState(core::PortEntry* port) {
  core::Locked lock;
  return port->prompt_state;
}

void RetryInit(HWND dialog, LPARAM port) {
  Prompt* prompt = OpenPrompt(dialog, port, kRetryLayout, IDC_RETRY_ICON, IDI_EXCLAMATION);
  if (prompt == nullptr) return;
  RemoveClose(dialog);
  // An id without a text keeps the template's general one.
  const char* key = core::PromptMessageKey(prompt->port->prompt_message_id);
  if (key != nullptr) {
    char text[core::kIniTextMax];
    core::IniText(core::kMessageIni, core::kMessageSection, key, {}, text, sizeof(text));
    SetDlgItemTextA(dialog, IDC_RETRY_TEXT, text);
  }
  SetTimer(dialog, kFirstTimer, kFirstTimerMs, nullptr);
}

// 10 seconds without an answer release the waiting sender (state 3), which
// retries while the prompt stays up; a close request that came earlier
// means the retry already succeeded.
void RetryFirstTick(HWND dialog, core::PortEntry* port) {
  KillTimer(dialog, kFirstTimer);
  bool asked_to_close;
  {
    core::Locked lock;
    asked_to_close = port->prompt_state == core::kPromptClose;
    if (!asked_to_close) port->prompt_state = core::kPromptUnanswered;
  }
  if (asked_to_close) {
    EndDialog(dialog, 1);
    return;
  }
  SetTimer(dialog, kFlashTimer, kFlashTimerMs, nullptr);
}

void RetryFlashTick(HWND dialog, core::PortEntry* port) {
  if (ReadPromptState(port) == core::kPromptClose) {
    EndDialog(dialog, 0);
    return;
  }
  FlashWindow(dialog, TRUE);
}

// Once the sender retries under the prompt (state 3), stopping means the
// job must go: cancelling it in the spooler is what the sender notices.
// Before that the sender is still waiting and takes the 0 itself.
void RetryCancel(HWND dialog, core::PortEntry* port) {
  {
    core::Locked lock;
    if (port->prompt_state == core::kPromptUnanswered) core::CancelJob(port);
  }
  EndDialog(dialog, 0);
}

INT_PTR CALLBACK RetryProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  Prompt* prompt = PromptOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      RetryInit(dialog, lparam);
      return TRUE;
    case WM_TIMER:
      if (prompt == nullptr) return FALSE;
      if (wparam == kFirstTimer) RetryFirstTick(dialog, prompt->port);
      else if (wparam == kFlashTimer) RetryFlashTick(dialog, prompt->port);
      return TRUE;
    case WM_COMMAND:
      if (prompt == nullptr) return FALSE;
      if (LOWORD(wparam) == IDC_RETRY) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        RetryCancel(dialog, prompt->port);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      KillTimer(dialog, kFirstTimer);
      KillTimer(dialog, kFlashTimer);
      return FALSE;
    case WM_NCDESTROY:
      ClosePromptWindow(dialog);
      return FALSE;
  }
  return FALSE;
}

void PasswordInit(HWND dialog, LPARAM port) {
  SendDlgItemMessageA(dialog, IDC_NAME_EDIT, EM_LIMITTEXT, kCredentialMax, 0);
  SendDlgItemMessageA(dialog, IDC_KEYWORD_EDIT, EM_LIMITTEXT, kCredentialMax, 0);
  OpenPrompt(dialog, port, kPasswordLayout, IDC_PASS_ICON, IDI_ASTERISK);
}

// Memory only: the credentials last for this job; the next StartDocPort
// reads the port's settings from the registry again.
void PasswordAccept(HWND dialog, core::PortEntry* port) {
  if (port->block != nullptr && port->block_kind == core::kIpp) {
    core::IppBlock* ipp = core::Ipp(port);
    ipp->Base64 = 1;
    GetDlgItemTextA(dialog, IDC_NAME_EDIT, ipp->UserName, sizeof(ipp->UserName));
    GetDlgItemTextA(dialog, IDC_KEYWORD_EDIT, ipp->PassWord, sizeof(ipp->PassWord));
  }
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  Prompt* prompt = PromptOf(dialog);
  switch (message) {
    case WM_INITDIALOG:
      PasswordInit(dialog, lparam);
      return TRUE;
    case WM_COMMAND:
      if (prompt == nullptr) return FALSE;
      if (LOWORD(wparam) == IDOK) {
        PasswordAccept(dialog, prompt->port);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    case WM_NCDESTROY:
      ClosePromptWindow(dialog);
      return FALSE;
  }
  return FALSE;
}

// -1 (no dialog at all) is no answer the sender can act on; stop is the
// one that cannot loop.
INT_PTR Show(int template_id, DLGPROC proc, core::PortEntry* port) {
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(template_id),
                                   nullptr, proc, reinterpret_cast<LPARAM>(port));
  return result == 1 ? 1 : 0;
}

}  // namespace

INT_PTR ShowRetryPrompt(core::PortEntry* port) { return Show(IDD_RETRY, RetryProc, port); }

INT_PTR ShowPasswordPrompt(core::PortEntry* port) { return Show(IDD_PASS, PasswordProc, port); }

void InstallPromptHooks() {
  core::g_monitor.hooks.retry_dialog = ShowRetryPrompt;
  core::g_monitor.hooks.password_dialog = ShowPasswordPrompt;
}

}  // namespace ui
