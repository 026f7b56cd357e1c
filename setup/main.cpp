// SETUP.EXE: the installer a Windows 95/98 user runs from the unpacked
// release. Without switches it shows one small window; /S installs without
// any, /U removes everything again.
//   SETUP.EXE [/S] [FOLDER]     install (default C:\Program Files\Vexa)
//   SETUP.EXE /U [/S]           uninstall
// Exit codes: 0 done, 3010 done but Windows must restart to finish, 1 failed,
// 2 wrong switches. With /S every step and the outcome go to SETUP.LOG in the
// temporary folder.
#include <windows.h>
#include <shlobj.h>

#include "core/text.h"
#include "resources/setup.h"
#include "resources/version.h"
#include "setup/install.h"

namespace setup {
namespace {

constexpr UINT kExitFailed = 1;
constexpr UINT kExitUsage = 2;
constexpr UINT kExitRestart = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED, as installers use it
constexpr char kTitle[] = "Vexa Network Printer Port Setup";
constexpr char kUsage[] =
    "Usage:\r\n"
    "  SETUP.EXE [/S] [folder]   install (default folder C:\\Program Files\\Vexa)\r\n"
    "  SETUP.EXE /U [/S]         remove\r\n"
    "/S: no window; the exit code tells the outcome (0 done, 3010 restart Windows to "
    "finish, 1 failed) and SETUP.LOG in the temporary folder tells what happened.";

struct Request {
  bool silent = false;
  bool uninstall = false;
  bool usage = false;
  char folder[MAX_PATH] = "";
};

// One word of a command line: quotes group, and are dropped.
const char* NextWord(const char* at, char* word, std::size_t size) {
  while (*at == ' ' || *at == '\t') ++at;
  std::size_t length = 0;
  bool quoted = false;
  for (; *at && (quoted || (*at != ' ' && *at != '\t')); ++at) {
    if (*at == '"') {
      quoted = !quoted;
      continue;
    }
    if (length + 1 < size) word[length++] = *at;
  }
  word[length] = '\0';
  return at;
}

Request ParseCommandLine(const char* line) {
  Request request;
  char word[MAX_PATH];
  const char* at = NextWord(line, word, sizeof(word));  // the program itself
  for (;;) {
    at = NextWord(at, word, sizeof(word));
    if (!word[0]) {
      if (!*at) break;
      continue;
    }
    char letter = word[1] && !word[2] ? static_cast<char>(word[1] | 0x20) : 0;
    if (word[0] == '/' || word[0] == '-') {
      if (letter == 's') request.silent = true;
      else if (letter == 'u') request.uninstall = true;
      else request.usage = true;
    } else if (!request.folder[0]) {
      core::CopyText(request.folder, sizeof(request.folder), word);
    } else {
      request.usage = true;
    }
  }
  if (request.uninstall && request.folder[0]) request.usage = true;
  return request;
}

void WriteLog(const char* closing) {
  char folder[MAX_PATH];
  char path[MAX_PATH + 16];
  DWORD length = GetTempPathA(sizeof(folder), folder);
  if (length == 0 || length >= sizeof(folder)) return;
  core::CopyText(path, sizeof(path), folder);
  if (path[length - 1] != '\\') core::AppendText(path, sizeof(path), "\\");
  core::AppendText(path, sizeof(path), "SETUP.LOG");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  Note(closing);
  WriteFile(file, Notes(), static_cast<DWORD>(core::TextLength(Notes())), &written, nullptr);
  CloseHandle(file);
}

UINT ExitCodeOf(Result result) {
  switch (result) {
    case Result::kDone: return 0;
    case Result::kRestart: return kExitRestart;
    case Result::kFailed: break;
  }
  return kExitFailed;
}

void Show(HWND owner, const Outcome& outcome, const char* done, const char* restart) {
  if (outcome.result == Result::kFailed) {
    MessageBoxA(owner, outcome.message, kTitle, MB_OK | MB_ICONSTOP);
    return;
  }
  MessageBoxA(owner, outcome.result == Result::kRestart ? restart : done, kTitle,
              MB_OK | MB_ICONINFORMATION);
}

constexpr char kInstalled[] =
    "Vexa Network Printer Port " VEXA_VERSION " is installed.\r\n\r\nTo print to a network "
    "printer: open Printers, the printer's Properties, the Details tab, Add Port, Other, and "
    "choose Vexa Network Printer Port.";
constexpr char kInstalledRestart[] =
    "Vexa Network Printer Port " VEXA_VERSION " is installed, but the spooler is still using "
    "the old Vexamon.dll.\r\n\r\nRestart Windows to finish.";
constexpr char kRemoved[] = "Vexa Network Printer Port has been removed.";
constexpr char kRemovedRestart[] =
    "Vexa Network Printer Port has been removed. Vexamon.dll is still in use and is deleted "
    "when Windows restarts.";

// --- the window ------------------------------------------------------------------

struct Window {
  Result result = Result::kFailed;
  bool upgrade = false;
};

void Browse(HWND dialog) {
  BROWSEINFOA info{};
  char chosen[MAX_PATH] = "";
  info.hwndOwner = dialog;
  info.pszDisplayName = chosen;
  info.lpszTitle = "Choose the folder to install Vexa Network Printer Port into.";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (!item) return;
  if (SHGetPathFromIDListA(item, chosen)) SetDlgItemTextA(dialog, IDC_SETUP_FOLDER, chosen);
  // Windows 95's shell hands out its item lists from its own allocator.
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(item);
    allocator->Release();
  }
}

INT_PTR CALLBACK SetupProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      window = reinterpret_cast<Window*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      char folder[MAX_PATH];
      window->upgrade = InstalledFolder(folder, sizeof(folder));
      if (!window->upgrade) DefaultFolder(folder, sizeof(folder));
      SendDlgItemMessageA(dialog, IDC_SETUP_FOLDER, EM_LIMITTEXT, kMaxFolder, 0);
      SetDlgItemTextA(dialog, IDC_SETUP_FOLDER, folder);
      SetDlgItemTextA(
          dialog, IDC_SETUP_INTRO,
          window->upgrade
              ? "Vexa Network Printer Port is installed in this folder. Install replaces it with "
                "version " VEXA_VERSION "; its ports and their settings stay."
              : "Vexa Network Printer Port " VEXA_VERSION " lets Windows print to network "
                "printers through LPR, IPP and Raw TCP ports. Choose where to install it.");
      // An upgrade stays where the spooler finds it.
      EnableWindow(GetDlgItem(dialog, IDC_SETUP_FOLDER), !window->upgrade);
      EnableWindow(GetDlgItem(dialog, IDC_SETUP_BROWSE), !window->upgrade);
      SendMessageA(dialog, WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr),
                                                      MAKEINTRESOURCEA(IDI_SETUP))));
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_SETUP_BROWSE: Browse(dialog); return TRUE;
        case IDOK: {
          char folder[MAX_PATH];
          GetDlgItemTextA(dialog, IDC_SETUP_FOLDER, folder, sizeof(folder));
          HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
          Outcome outcome;
          window->result = Install(folder, &outcome);
          SetCursor(cursor);
          Show(dialog, outcome, kInstalled, kInstalledRestart);
          // After a failure the window stays, so another folder can be tried.
          if (window->result != Result::kFailed) EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

UINT Run(const Request& request) {
  if (request.usage) {
    if (request.silent) WriteLog(kUsage);
    else MessageBoxA(nullptr, kUsage, kTitle, MB_OK | MB_ICONINFORMATION);
    return kExitUsage;
  }
  Outcome outcome;
  if (request.uninstall) {
    if (!request.silent &&
        MessageBoxA(nullptr,
                    "Remove Vexa Network Printer Port, all its ports and their settings?",
                    kTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return kExitFailed;
    Uninstall(&outcome);
    if (request.silent) WriteLog(outcome.result == Result::kFailed ? "not removed"
                                 : outcome.result == Result::kRestart ? kRemovedRestart
                                                                      : kRemoved);
    else Show(nullptr, outcome, kRemoved, kRemovedRestart);
    return ExitCodeOf(outcome.result);
  }
  if (request.silent) {
    char folder[MAX_PATH];
    if (request.folder[0]) core::CopyText(folder, sizeof(folder), request.folder);
    else if (!InstalledFolder(folder, sizeof(folder))) DefaultFolder(folder, sizeof(folder));
    Install(folder, &outcome);
    WriteLog(outcome.result == Result::kFailed ? "not installed"
             : outcome.result == Result::kRestart ? kInstalledRestart
                                                  : kInstalled);
    return ExitCodeOf(outcome.result);
  }
  Window window;
  if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupProc,
                      reinterpret_cast<LPARAM>(&window)) != IDOK)
    return kExitFailed;
  return ExitCodeOf(window.result);
}

}  // namespace
}  // namespace setup

// No C runtime: this is where the process starts.
extern "C" void WINAPI SetupMain() {
  // Two at once would stage their copies over each other's.
  HANDLE once = CreateMutexA(nullptr, FALSE, "VexaNetworkPrinterPortSetup");
  if (once && GetLastError() == ERROR_ALREADY_EXISTS) {
    setup::Request request = setup::ParseCommandLine(GetCommandLineA());
    if (request.silent) setup::WriteLog("SETUP.EXE is already running.");
    else MessageBoxA(nullptr, "Setup is already running.", setup::kTitle, MB_OK | MB_ICONSTOP);
    ExitProcess(setup::kExitFailed);
  }
  ExitProcess(setup::Run(setup::ParseCommandLine(GetCommandLineA())));
}
