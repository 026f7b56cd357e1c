// Points the monitor's state at a monitor key of the test's own, so the
// registry store and INI layer can be driven without the spooler.
#pragma once
#include <windows.h>

#include <string>

#include "core/state.h"
#include "core/text.h"

namespace wine_test {

inline constexpr char kTestMonitor[] = "Vexa Test Network Printer Port";

inline std::string MonitorKey() {
  return std::string(core::kMonitorsKey) + "\\" + kTestMonitor;
}
inline std::string PortsKey() { return MonitorKey() + "\\Ports"; }
inline std::string PortKey(const std::string& name) { return PortsKey() + "\\" + name; }

inline void DeleteTree(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[300];
    while (RegEnumKeyA(key, 0, name, sizeof(name)) == ERROR_SUCCESS)
      DeleteTree(root, path + "\\" + name);
    RegCloseKey(key);
  }
  RegDeleteKeyA(root, path.c_str());
}

inline void UseTestMonitor() {
  static bool initialised = false;
  if (!initialised) {
    InitializeCriticalSection(&core::g_monitor.lock);
    initialised = true;
  }
  core::CopyText(core::g_monitor.name, sizeof(core::g_monitor.name), kTestMonitor);
  core::CopyText(core::g_monitor.monitor_key, sizeof(core::g_monitor.monitor_key),
                    MonitorKey().c_str());
  core::CopyText(core::g_monitor.ports_key, sizeof(core::g_monitor.ports_key),
                    PortsKey().c_str());
  DeleteTree(HKEY_LOCAL_MACHINE, MonitorKey());
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, PortsKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  RegCloseKey(key);
}

inline void SetValue(const std::string& path, const char* name, DWORD type, const void* data,
                     DWORD size) {
  HKEY key;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

inline void SetDword(const std::string& path, const char* name, DWORD value) {
  SetValue(path, name, REG_DWORD, &value, sizeof(value));
}

inline void SetString(const std::string& path, const char* name, const std::string& text) {
  SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

}  // namespace wine_test
