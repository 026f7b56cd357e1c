#include "host/hands.h"

#include "host/commands.h"
#include "host/console.h"

namespace host::hands {

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result, DWORD ms) {
  DWORD_PTR answer = 0;
  if (!window ||
      !SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, ms, &answer))
    return false;
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

std::string Text(HWND window) {
  char text[1024] = "";
  if (!Send(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text))) return "";
  text[sizeof(text) - 1] = '\0';
  return text;
}

bool Click(HWND button, DWORD ms) {
  if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
  return Send(button, BM_CLICK, 0, 0, nullptr, ms);
}

bool PostClick(HWND button) {
  if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool Type(HWND field, const std::string& text) {
  if (!field || !IsWindowEnabled(field)) return false;
  if (!Send(field, EM_SETSEL, 0, -1) || !Send(field, WM_CHAR, '\b', 1)) return false;
  for (unsigned char c : text)
    if (!Send(field, WM_CHAR, c, 1)) return false;
  return true;
}

namespace {

struct DialogQuery {
  HWND owner;
  HWND except;
  int control;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<DialogQuery*>(param);
  char name[16];
  if (window == query->except || !GetClassNameA(window, name, sizeof(name)) ||
      lstrcmpA(name, "#32770") != 0)
    return TRUE;
  if (query->owner && GetWindow(window, GW_OWNER) != query->owner) return TRUE;
  if (query->control && !GetDlgItem(window, query->control)) return TRUE;
  query->found = window;
  return FALSE;
}

}  // namespace

HWND DialogOfThread(DWORD thread, HWND except, int control, HWND owner) {
  DialogQuery query{owner, except, control, nullptr};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

void CancelDialog(HWND dialog, const char* what) {
  DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  for (int round = 0; round < 4 && IsWindow(dialog); ++round) {
    if (HWND over = DialogOfThread(thread, dialog)) {
      for (int button : {IDCANCEL, IDNO, IDOK})
        if (Click(GetDlgItem(over, button), kAnswerMs)) break;
      Sleep(kPollMs);
      continue;
    }
    Click(GetDlgItem(dialog, IDCANCEL), kReactMs);
    for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < kShowMs;)
      Sleep(kPollMs);
  }
  if (!IsWindow(dialog)) return;
  console::Err("vexaspool: %s does not close; giving up", what);
  ExitProcess(static_cast<UINT>(commands::Status::kFailed));
}

}  // namespace host::hands
