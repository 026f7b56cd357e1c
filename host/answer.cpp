#include "host/answer.h"

#include <windows.h>

#include <string>
#include <vector>

#include "host/console.h"
#include "host/threads.h"

namespace host::answer {
namespace {

constexpr DWORD kPollMs = 20;
// Static control holding a message box's text, in Windows and in Wine.
constexpr int kBoxTextId = 0xFFFF;

// The monitor's prompts, known by the controls of their templates: their
// captions and texts come from an INI file and may say anything.
constexpr int kRetryPrompt = 401;
constexpr int kRetryButton = 402;
constexpr int kRetryText = 403;
constexpr int kPasswordPrompt = 394;
constexpr int kPasswordExplanation = 396;
constexpr int kUserEdit = 398;
constexpr int kPasswordEdit = 400;

// How one session line answers; line 0 is the foreground's.
struct Answers {
  int line = 0;
  Reply reply = Reply::kNone;
  bool has_credentials = false;
  std::string user;
  std::string password;
  PromptSeen on_prompt = nullptr;
  ULONG_PTR on_prompt_context = 0;
};

struct Shared {
  Shared() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::vector<Answers> lines;
};
Shared g_shared;

// The calling line's entry, made on first use; call with the lock held.
Answers& Own() {
  int line = threads::CurrentLine();
  for (Answers& answers : g_shared.lines)
    if (answers.line == line) return answers;
  Answers& made = g_shared.lines.emplace_back();
  made.line = line;
  return made;
}

// A copy of LINE's answers; a line that set none answers as the foreground.
Answers AnswersOf(int line) {
  const Answers* own = nullptr;
  const Answers* foreground = nullptr;
  EnterCriticalSection(&g_shared.lock);
  for (const Answers& answers : g_shared.lines) {
    if (answers.line == line) own = &answers;
    if (answers.line == 0) foreground = &answers;
  }
  Answers found = own ? *own : foreground ? *foreground : Answers{};
  LeaveCriticalSection(&g_shared.lock);
  found.line = line;
  return found;
}

// The add-port wizard's frame, known by its Next, Back and picture controls.
constexpr int kWizardNext = 201;
constexpr int kWizardBack = 202;
constexpr int kWizardPicture = 203;

volatile LONG g_wizard_user = static_cast<LONG>(WizardUser::kNobody);
volatile LONG g_boxes = 0;
volatile LONG g_wizards = 0;
volatile LONG g_wizards_unanswered = 0;
// The wizard last reported, and whether a person at the display still has
// time to answer it. The watcher's thread alone uses these.
HWND g_wizard = nullptr;
DWORD g_wizard_since = 0;
bool g_wizard_waits = false;
HANDLE g_watcher = nullptr;
// Windows already reported: one stays listed until it is destroyed.
std::vector<HWND> g_seen;

int ButtonFor(Reply reply) {
  switch (reply) {
    case Reply::kOk: return IDOK;
    case Reply::kCancel: return IDCANCEL;
    case Reply::kRetry: return IDRETRY;
    case Reply::kYes: return IDYES;
    case Reply::kNo: return IDNO;
    case Reply::kNone:
    case Reply::kWait: break;
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

// A box without the reply's button may still have one that says the same:
// a Yes/No question answered "cancel" is refused, not given its default Yes.
int SameMeaning(Reply reply) {
  if (reply == Reply::kCancel) return IDNO;
  if (reply == Reply::kNo) return IDCANCEL;
  return 0;
}

// The button for the reply, or one that means the same, or else the box's
// only button, or else its default one: an OK-only box answered "cancel"
// still gets closed. The default is read from the buttons' styles; Wine's
// DM_GETDEFID names IDOK even in a Yes/No box that has no such button.
int ChooseButton(HWND box, Reply reply) {
  int wanted = ButtonFor(reply);
  if (Visible(GetDlgItem(box, wanted))) return wanted;
  int same = SameMeaning(reply);
  if (same && Visible(GetDlgItem(box, same))) return same;
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

bool AlreadySeen(HWND window) {
  bool found = false;
  for (size_t i = 0; i < g_seen.size();) {
    if (!IsWindow(g_seen[i])) {
      g_seen.erase(g_seen.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (g_seen[i] == window) found = true;
    ++i;
  }
  return found;
}

bool HasControl(HWND dialog, int id, const char* class_name) {
  HWND child = GetDlgItem(dialog, id);
  if (!child) return false;
  char name[16];
  return !class_name ||
         (GetClassNameA(child, name, sizeof(name)) && lstrcmpiA(name, class_name) == 0);
}

int PromptId(HWND dialog) {
  if (HasControl(dialog, kRetryButton, "Button") && HasControl(dialog, kRetryText, nullptr) &&
      HasControl(dialog, IDCANCEL, "Button"))
    return kRetryPrompt;
  if (HasControl(dialog, kUserEdit, "Edit") && HasControl(dialog, kPasswordEdit, "Edit") &&
      HasControl(dialog, IDOK, "Button") && HasControl(dialog, IDCANCEL, "Button"))
    return kPasswordPrompt;
  return 0;
}

// One line per prompt: line breaks show as the \n the INI files write.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

void Press(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

bool IsWizard(HWND dialog) {
  return HasControl(dialog, kWizardNext, "Button") && HasControl(dialog, kWizardBack, "Button") &&
         HasControl(dialog, kWizardPicture, nullptr) && HasControl(dialog, IDCANCEL, "Button");
}

// As a click on the wizard's own Cancel button: on the printer URL page
// that also stops a connection test before the wizard closes.
void PressCancelButton(HWND wizard) { PostMessageA(GetDlgItem(wizard, IDCANCEL), BM_CLICK, 0, 0); }

void VisitWizard(HWND wizard, int line, Reply reply, bool unseen) {
  auto user = static_cast<WizardUser>(InterlockedCompareExchange(&g_wizard_user, 0, 0));
  if (user == WizardUser::kDriver || (user == WizardUser::kPerson && reply == Reply::kNone))
    return;
  if (wizard != g_wizard) {
    g_wizard = wizard;
    g_wizard_since = GetTickCount();
    g_wizard_waits = reply == Reply::kNone;
    InterlockedIncrement(&g_wizards);
    console::OutFor(line, "wizard: %s", WindowText(wizard).c_str());
    if (reply == Reply::kNone || reply == Reply::kWait) return;
    PressCancelButton(wizard);
    if (unseen) console::OutFor(line, "answered cancel: no display; see --answer");
    return;
  }
  if (!g_wizard_waits || GetTickCount() - g_wizard_since < kUnansweredWizardMs) return;
  g_wizard_waits = false;
  InterlockedIncrement(&g_wizards_unanswered);
  PressCancelButton(wizard);
  console::OutFor(line, "answered cancel: nobody answered the wizard in %lu s; see --answer",
                  kUnansweredWizardMs / 1000);
}

void AnswerPrompt(HWND dialog, int prompt, Reply reply, const Answers& answers) {
  bool positive = reply == Reply::kOk || reply == Reply::kYes || reply == Reply::kRetry;
  bool negative = reply == Reply::kCancel || reply == Reply::kNo;
  if (prompt == kRetryPrompt) {
    if (positive || negative) Press(dialog, positive ? kRetryButton : IDCANCEL);
    return;
  }
  if (answers.has_credentials || positive) {
    SetDlgItemTextA(dialog, kUserEdit, answers.user.c_str());
    SetDlgItemTextA(dialog, kPasswordEdit, answers.password.c_str());
    Press(dialog, IDOK);
  } else if (negative) {
    Press(dialog, IDCANCEL);
  }
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;  // the desktop is shared
  char name[16];
  if (!GetClassNameA(window, name, sizeof(name)) || lstrcmpA(name, "#32770") != 0) return TRUE;
  // Until it is shown the dialog may not have run WM_INITDIALOG yet.
  if (!IsWindowVisible(window) || AlreadySeen(window)) return TRUE;
  // The line of the command the window came up for: the thread it belongs
  // to works for it.
  int line = threads::LineOf(GetWindowThreadProcessId(window, nullptr));
  Answers answers = AnswersOf(line);
  Reply reply = answers.reply;
  // Nobody can answer a window nobody sees: it gets Cancel, and says so.
  bool unseen = reply == Reply::kNone && !HaveDisplay();
  if (unseen) reply = Reply::kCancel;
  if (IsMessageBox(window)) {
    console::OutFor(line, "box: %s | %s", WindowText(window).c_str(),
                    WindowText(GetDlgItem(window, kBoxTextId)).c_str());
    g_seen.push_back(window);
    InterlockedIncrement(&g_boxes);
    if (reply == Reply::kNone || reply == Reply::kWait) return TRUE;
    if (int button = ChooseButton(window, reply)) Press(window, button);
    if (unseen) console::OutFor(line, "answered cancel: no display; see --answer");
    return TRUE;
  }
  if (IsWizard(window)) {
    VisitWizard(window, line, reply, unseen);
    return TRUE;
  }
  int prompt = PromptId(window);
  if (!prompt) return TRUE;
  HWND text = GetDlgItem(window, prompt == kRetryPrompt ? kRetryText : kPasswordExplanation);
  console::OutFor(line, "prompt %d %s", prompt, OneLine(WindowText(text ? text : window)).c_str());
  g_seen.push_back(window);
  if (answers.on_prompt) answers.on_prompt(prompt, answers.on_prompt_context);
  AnswerPrompt(window, prompt, reply, answers);
  if (unseen) console::OutFor(line, "answered cancel: no display; see --answer");
  return TRUE;
}

DWORD WINAPI WatchWindows(LPVOID) {
  for (;;) {
    if (g_wizard && !IsWindow(g_wizard)) g_wizard = nullptr;
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
                {"no", Reply::kNo},
                {"wait", Reply::kWait}};
  for (const auto& entry : kWords) {
    if (lstrcmpiA(word, entry.word) != 0) continue;
    *reply = entry.reply;
    return true;
  }
  return false;
}

void Set(Reply reply) {
  EnterCriticalSection(&g_shared.lock);
  Own().reply = reply;
  LeaveCriticalSection(&g_shared.lock);
  Watch();
}

void Forget(int line) {
  EnterCriticalSection(&g_shared.lock);
  auto& lines = g_shared.lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].line != line) continue;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    break;
  }
  LeaveCriticalSection(&g_shared.lock);
}

bool HaveDisplay() {
  static LONG known = -1;
  if (known < 0) {
    char driver[32] = "";
    DWORD size = sizeof(driver), type = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
      if (RegQueryValueExA(key, "Graphics", nullptr, &type, reinterpret_cast<BYTE*>(driver),
                           &size) != ERROR_SUCCESS)
        driver[0] = '\0';
      RegCloseKey(key);
    }
    driver[sizeof(driver) - 1] = '\0';
    char display[64];
    bool shown = lstrcmpiA(driver, "null") != 0 &&
                 GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) > 0;
    InterlockedExchange(&known, shown ? 1 : 0);
  }
  return known == 1;
}

void Watch() {
  EnterCriticalSection(&g_shared.lock);
  if (!g_watcher) {
    // Wine loads its display driver on first use, once per process, and the
    // loading takes the loader lock. Were the watcher's first EnumWindows to
    // do it while this thread sits in LoadLibrary of the monitor (whose
    // imports need the driver too), each would wait for the other. Load it
    // here first.
    ReleaseDC(nullptr, GetDC(nullptr));
    g_watcher = CreateThread(nullptr, 0, WatchWindows, nullptr, 0, nullptr);
  }
  LeaveCriticalSection(&g_shared.lock);
}

void SetCredentials(const char* user, const char* password) {
  EnterCriticalSection(&g_shared.lock);
  Answers& own = Own();
  own.has_credentials = user != nullptr;
  own.user = user ? user : "";
  own.password = user && password ? password : "";
  LeaveCriticalSection(&g_shared.lock);
}

void OnPrompt(PromptSeen callback, ULONG_PTR context) {
  EnterCriticalSection(&g_shared.lock);
  Answers& own = Own();
  own.on_prompt = callback;
  own.on_prompt_context = context;
  LeaveCriticalSection(&g_shared.lock);
}

void SetWizardUser(WizardUser user) { InterlockedExchange(&g_wizard_user, static_cast<LONG>(user)); }

Seen Counts() {
  return Seen{InterlockedCompareExchange(&g_boxes, 0, 0),
              InterlockedCompareExchange(&g_wizards, 0, 0),
              InterlockedCompareExchange(&g_wizards_unanswered, 0, 0)};
}

}  // namespace host::answer
