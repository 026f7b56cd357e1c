// SETUP.EXE's window, used from outside as a person uses it: an upgrade
// shows the installed folder and will not move it, Install ends in the
// box that says what happened, and OK ends the program with status 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/setup.h"
#include "tests/wine/gui/gui.h"

namespace {

constexpr char kMonitorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vexa Network Printer Port";

// A visible dialog of the process that has a control `id` (0xFFFF: a
// message box's text).
HWND DialogOf(DWORD process, int id) {
  struct Search {
    DWORD process;
    int id;
    HWND found;
  } search{process, id, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->process || !IsWindowVisible(window) || !GetDlgItem(window, s->id))
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// WM_GETTEXT crosses processes; GetWindowText would not read an edit field.
std::string TextOf(HWND dialog, int id) {
  char text[512] = "";
  DWORD_PTR copied = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof(text),
                      reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return text;
}

std::string InstalledFolder() {
  char folder[MAX_PATH] = "";
  DWORD size = sizeof(folder);
  RegGetValueA(HKEY_LOCAL_MACHINE, kMonitorKey, "InstallPath", RRF_RT_REG_SZ, nullptr, folder,
               &size);
  return folder;
}

std::string SetupPath() {
  char exe[MAX_PATH];
  std::string path(exe, GetModuleFileNameA(nullptr, exe, sizeof(exe)));
  return path.substr(0, path.find_last_of('\\') + 1) + "SETUP.EXE";
}

bool Start(const std::string& command_line, PROCESS_INFORMATION* process) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::string line = command_line;
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process) != FALSE;
}

// Waits for the program's end (ending it after 10 s) and gives its status.
DWORD Finish(PROCESS_INFORMATION* process) {
  DWORD status = 99;
  if (WaitForSingleObject(process->hProcess, 10000) != WAIT_OBJECT_0)
    TerminateProcess(process->hProcess, 99);
  GetExitCodeProcess(process->hProcess, &status);
  CloseHandle(process->hThread);
  CloseHandle(process->hProcess);
  return status;
}

TEST(SetupWindow, AnUpgradeKeepsItsFolderAndEndsWithItsBox) {
  // Installed first without a window, as an administrator would.
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(Start("\"" + SetupPath() + "\" /S", &process));
  DWORD silent = Finish(&process);
  ASSERT_TRUE(silent == 0 || silent == 3010) << silent;
  const std::string installed = InstalledFolder();
  ASSERT_FALSE(installed.empty());

  ASSERT_TRUE(Start("\"" + SetupPath() + "\"", &process));
  HWND dialog = nullptr;
  EXPECT_TRUE(gui::Poll([&] { return (dialog = DialogOf(process.dwProcessId, IDC_SETUP_FOLDER)); },
                        10000));
  if (dialog) {
    EXPECT_EQ(installed, TextOf(dialog, IDC_SETUP_FOLDER));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SETUP_FOLDER)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SETUP_BROWSE)));
    EXPECT_TRUE(gui::SaveScreenshot(dialog, "setup_upgrade"));
    gui::PostClick(dialog, IDOK);
  }
  HWND box = nullptr;
  EXPECT_TRUE(gui::Poll([&] { return (box = DialogOf(process.dwProcessId, 0xFFFF)); }, 10000));
  if (box) {
    EXPECT_NE(std::string::npos, TextOf(box, 0xFFFF).find("is installed")) << TextOf(box, 0xFFFF);
    gui::PostClick(box, IDOK);
  }
  EXPECT_EQ(0u, Finish(&process));
}

}  // namespace
