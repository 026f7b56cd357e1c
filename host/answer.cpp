#include "host/answer.h"

#include <windows.h>

#include <string>
#include <vector>

#include "host/console.h"

namespace host::answer {
namespace {

constexpr DWORD kPollMs = 20;
// Static control holding a message box's text, in Windows and in Wine.
constexpr int kBoxTextId = 0xFFFF;

volatile LONG g_reply = static_cast<LONG>(Reply::kNone);
HANDLE g_watcher = nullptr;
// Boxes already answered: a box stays listed until it is destroyed.
std::vector<HWND> g_answered;

int ButtonFor(Reply reply) {
  switch (reply) {
    case Reply::kOk: return IDOK;
    case Reply::kCancel: return IDCANCEL;
    case Reply::kRetry: return IDRETRY;
    case Reply::kYes: return IDYES;
    case Reply::kNo: return IDNO;
    case Reply::kNone: break;
  }
  return 0;
}

bool Visible(HWND window) {
  return window && (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// MessageBox builds its dialog with a procedure inside user32; the monitor's
// own dialogs have theirs in the monitor. The W query gives the procedure's
// real address (the A one gives a thunk for a Unicode procedure).
bool IsMessageBox(HWND window) {
  static BYTE* base = nullptr;
  static DWORD size = 0;
  if (!base) {
    base = reinterpret_cast<BYTE*>(GetModuleHandleA("user32.dll"));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    size = nt->OptionalHeader.SizeOfImage;
  }
  auto* proc = reinterpret_cast<BYTE*>(GetWindowLongPtrW(window, DWLP_DLGPROC));
  return proc >= base && proc < base + size;
}

struct Buttons {
  int count = 0;
  int only = 0;
  int fallback = 0;  // a BS_DEFPUSHBUTTON, if the box has one
};

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
  auto* buttons = reinterpret_cast<Buttons*>(param);
  char name[16];
  if (!GetClassNameA(child, name, sizeof(name)) || lstrcmpiA(name, "Button") != 0 ||
      !Visible(child))
    return TRUE;
  int id = GetDlgCtrlID(child);
  ++buttons->count;
  buttons->only = id;
  if ((GetWindowLongA(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) buttons->fallback = id;
  return TRUE;
}

// The button for the reply, or else the box's only button, or else its
// default one: an OK-only box answered "cancel" still gets closed. The
// default is read from the buttons' styles; Wine's DM_GETDEFID names IDOK
// even in a Yes/No box that has no such button.
int ChooseButton(HWND box, Reply reply) {
  int wanted = ButtonFor(reply);
  if (Visible(GetDlgItem(box, wanted))) return wanted;
  Buttons buttons;
  EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&buttons));
  if (buttons.count == 1) return buttons.only;
  return buttons.fallback ? buttons.fallback : wanted;
}

std::string WindowText(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof(text));
  std::string out;
  for (const char* c = text; *c; ++c)
    if (*c != '\r') out += *c;
  return out;
}

bool AlreadyAnswered(HWND box) {
  bool found = false;
  for (size_t i = 0; i < g_answered.size();) {
    if (!IsWindow(g_answered[i])) {
      g_answered.erase(g_answered.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (g_answered[i] == box) found = true;
    ++i;
  }
  return found;
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;  // the desktop is shared
  char name[16];
  if (!GetClassNameA(window, name, sizeof(name)) || lstrcmpA(name, "#32770") != 0) return TRUE;
  // Until it is shown the dialog may not have run WM_INITDIALOG yet.
  if (!IsWindowVisible(window) || !IsMessageBox(window) || AlreadyAnswered(window)) return TRUE;
  auto reply = static_cast<Reply>(InterlockedCompareExchange(&g_reply, 0, 0));
  if (reply == Reply::kNone) return TRUE;
  console::Out("box: %s | %s", WindowText(window).c_str(),
               WindowText(GetDlgItem(window, kBoxTextId)).c_str());
  int button = ChooseButton(window, reply);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
  g_answered.push_back(window);
  return TRUE;
}

DWORD WINAPI Watch(LPVOID) {
  for (;;) {
    if (static_cast<Reply>(InterlockedCompareExchange(&g_reply, 0, 0)) != Reply::kNone)
      EnumWindows(VisitWindow, 0);
    Sleep(kPollMs);
  }
}

}  // namespace

bool Parse(const char* word, Reply* reply) {
  static const struct {
    const char* word;
    Reply reply;
  } kWords[] = {{"ok", Reply::kOk},
                {"cancel", Reply::kCancel},
                {"retry", Reply::kRetry},
                {"yes", Reply::kYes},
                {"no", Reply::kNo}};
  for (const auto& entry : kWords) {
    if (lstrcmpiA(word, entry.word) != 0) continue;
    *reply = entry.reply;
    return true;
  }
  return false;
}

void Set(Reply reply) {
  InterlockedExchange(&g_reply, static_cast<LONG>(reply));
  if (reply == Reply::kNone || g_watcher) return;
  // Wine loads its display driver on first use, once per process, and the
  // loading takes the loader lock. Were the watcher's first EnumWindows to do
  // it while this thread sits in LoadLibrary of the monitor (whose imports
  // need the driver too), each would wait for the other. Load it here first.
  ReleaseDC(nullptr, GetDC(nullptr));
  g_watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
}

}  // namespace host::answer
