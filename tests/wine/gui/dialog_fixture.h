// The scene for a test of the monitor's dialogs: their templates come from
// the test EXE (which links the DLL's resources) and their texts from an
// install folder the test chooses.
#pragma once
#include <windows.h>

#include <fstream>
#include <string>

#include "core/state.h"
#include "tests/wine/monitor_fixture.h"

namespace gui {

// A fresh folder in %TEMP% as the test monitor's install folder, without
// INI files until the test writes some.
inline std::string UseInstallFolder(const char* name) {
  wine_test::UseTestMonitor();
  core::g_monitor.module = GetModuleHandleA(nullptr);
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "\\NIMDLG.INI").c_str());
  DeleteFileA((folder + "\\NIMMES.INI").c_str());
  wine_test::SetString(wine_test::MonitorKey(), "InstallPath", folder);
  return folder;
}

// The INI files shipped with the DLL, which the build copies beside it and
// the test EXE; for pictures of the dialogs as a user sees them.
inline std::string UseShippedTexts() {
  wine_test::UseTestMonitor();
  core::g_monitor.module = GetModuleHandleA(nullptr);
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  std::string folder(exe);
  folder.erase(folder.find_last_of('\\'));
  wine_test::SetString(wine_test::MonitorKey(), "InstallPath", folder);
  return folder;
}

// Writes an INI file and drops any copy the profile functions cached.
inline void WriteIni(const std::string& folder, const char* file, const std::string& text) {
  std::string path = folder + "\\" + file;
  std::ofstream(path, std::ios::binary) << text;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

}  // namespace gui
