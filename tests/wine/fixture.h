// Points the monitor's state at a monitor key and an install folder of the
// test's own, so the registry store, the INI texts and the dialogs can be
// driven without the spooler; and answers the message boxes they show.
#pragma once
#include <windows.h>

#include <fstream>
#include <string>

#include "core/state.h"
#include "monitor/monitor_table.h"
#include "core/text.h"

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR registry_root, monitor::MonitorTable* table);

namespace wine_test {

// The monitor started as the spooler starts it, once per test program;
// null when it refused to start. The dialogs are the test's to plug into
// its hooks: in the product the DLL's entry does that.
inline monitor::MonitorTable* StartedMonitor() {
  static monitor::MonitorTable table{};
  static bool started = InitializeMonitorEx(nullptr, &table);
  return started ? &table : nullptr;
}

inline constexpr char kTestMonitor[] = "Vexa Test Network Printer Port";

inline std::string MonitorKey() {
  return std::string(core::kMonitorsKey) + "\\" + kTestMonitor;
}
inline std::string PortKey(const std::string& name) { return MonitorKey() + "\\Ports\\" + name; }

// Newer than the Windows 95 headers the build uses, and in Wine's advapi32.
extern "C" LONG WINAPI RegDeleteTreeA(HKEY key, LPCSTR subkey);

inline void SetValue(const std::string& path, const char* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  if (name != nullptr) RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}
inline void SetDword(const std::string& path, const char* name, DWORD value) {
  SetValue(path, name, REG_DWORD, &value, sizeof(value));
}
inline void SetString(const std::string& path, const char* name, const std::string& text) {
  SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The bytes of a value when it has this type, else "absent".
inline std::string Value(const std::string& path, const char* name, DWORD type) {
  char data[300];
  DWORD got = 0, size = sizeof(data);
  return RegGetValueA(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_ANY, &got, data, &size) ==
                     ERROR_SUCCESS && got == type ? std::string(data, size) : "absent";
}

// A fresh, empty test monitor key with its Ports key.
inline void UseTestMonitor() {
  [[maybe_unused]] static bool lock = (InitializeCriticalSection(&core::g_monitor.lock), true);
  core::CopyText(core::g_monitor.name, sizeof(core::g_monitor.name), kTestMonitor);
  core::CopyText(core::g_monitor.monitor_key, sizeof(core::g_monitor.monitor_key),
                 MonitorKey().c_str());
  core::CopyText(core::g_monitor.ports_key, sizeof(core::g_monitor.ports_key),
                 (MonitorKey() + "\\Ports").c_str());
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, MonitorKey().c_str());
  SetValue(MonitorKey() + "\\Ports", nullptr, 0, nullptr, 0);
}

// A fresh test monitor whose install folder is `name` in %TEMP%, without
// INI files until the test writes some; its dialog templates come from the
// test EXE, which links the DLL's resources.
inline std::string UseInstallFolder(const char* name) {
  UseTestMonitor();
  core::g_monitor.module = GetModuleHandleA(nullptr);
  char temp[MAX_PATH];
  std::string folder = std::string(temp, GetTempPathA(sizeof(temp), temp)) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "\\NIMDLG.INI").c_str());
  DeleteFileA((folder + "\\NIMMES.INI").c_str());
  SetString(MonitorKey(), "InstallPath", folder);
  return folder;
}

// The install folder becomes the test EXE's, where the build copies the
// INI files shipped with the DLL: the dialogs as a user sees them.
inline std::string UseShippedTexts() {
  char exe[MAX_PATH];
  std::string folder(exe, GetModuleFileNameA(nullptr, exe, sizeof(exe)));
  folder.erase(folder.find_last_of('\\'));
  SetString(MonitorKey(), "InstallPath", folder);
  return folder;
}

// Writes an INI file and drops any copy the profile functions cached.
inline void WriteIni(const std::string& folder, const char* file, const std::string& text) {
  std::string path = folder + "\\" + file;
  std::ofstream(path, std::ios::binary) << text;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

// While one lives, every message box this thread shows is noted and
// answered at once: with `answer` where the box has that button, else OK.
struct AnsweredBoxes {
  inline static std::string title, text;
  inline static int answer = IDOK;
  HHOOK hook = SetWindowsHookExA(WH_CBT, Answer, nullptr, GetCurrentThreadId());
  AnsweredBoxes() { title = text = "none shown", answer = IDOK; }
  ~AnsweredBoxes() { UnhookWindowsHookEx(hook); }
  static LRESULT CALLBACK Answer(int code, WPARAM wparam, LPARAM lparam) {
    auto box = reinterpret_cast<HWND>(wparam);
    char buffer[1100] = "";
    if (code == HCBT_ACTIVATE && GetClassNameA(box, buffer, sizeof(buffer)) &&
        lstrcmpA(buffer, "#32770") == 0) {
      GetWindowTextA(box, buffer, sizeof(buffer));
      title = buffer;
      GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
      text = buffer;
      PostMessageA(box, WM_COMMAND, GetDlgItem(box, answer) ? answer : IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
};

}  // namespace wine_test
