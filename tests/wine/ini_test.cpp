// Texts and message boxes from NIMMES.INI in the install folder.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/ini.h"
#include "tests/wine/monitor_fixture.h"

using namespace core;
using namespace wine_test;

namespace {

std::string g_title, g_text;
HHOOK g_hook;

// Notes what a message box says and answers it as soon as it shows.
LRESULT CALLBACK AnswerBox(int code, WPARAM wparam, LPARAM lparam) {
  auto box = reinterpret_cast<HWND>(wparam);
  char text[1100] = "";
  if (code == HCBT_ACTIVATE && GetClassNameA(box, text, sizeof(text)) &&
      lstrcmpA(text, "#32770") == 0) {
    GetWindowTextA(box, text, sizeof(text));
    g_title = text;
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    g_text = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

std::string Text(const char* key, const TextInsert& insert = {}) {
  char out[1100];
  return IniText(kMessageIni, kMessageSection, key, insert, out, sizeof(out));
}

std::string Shown(const char* key, const TextInsert& insert = {}) {
  g_title = g_text = "none shown";
  EXPECT_EQ(MessageFromIni(nullptr, key, MB_ICONHAND, insert), IDOK);
  return g_text;
}

}  // namespace

TEST(Ini, TextsAndBoxesFromTheInstallFolder) {
  UseTestMonitor();
  char temp[MAX_PATH], path[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string folder = std::string(temp) + "vexa_ini_test";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\NIMMES.INI") << "[MESSAGE]\r\nTITLE=Test Title\r\n"
                                            "IDS_LINES=first\\nsecond\\tthird\r\n"
                                            "IDS_CODE=status %04x\r\nIDS_NAME=port \"%s\"\r\n"
                                            "IDS_GREEDY=%s and %s\r\nIDS_REWORDED=Refused: %s\r\n";
  SetString(MonitorKey(), "InstallPath", folder + "\\");
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");
  SetString(MonitorKey(), "InstallPath", folder);
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");

  EXPECT_EQ(Text("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(Text("IDS_CODE", NumberInsert(1027)), "status 0403");
  EXPECT_EQ(Text("IDS_CODE"), "status %04x");  // no insert: the text as it stands
  EXPECT_EQ(Text("IDS_NAME", TextInsertOf("Raw1")), "port \"Raw1\"");
  // A second conversion would read an argument never passed.
  EXPECT_EQ(Text("IDS_GREEDY", TextInsertOf("x")), "%s and %s");
  EXPECT_EQ(Text("IDS_MISSING"), "");

  g_hook = SetWindowsHookExA(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
  EXPECT_EQ(Shown("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(g_title, "Test Title");
  EXPECT_EQ(Shown("IDS_CODE", NumberInsert(0x0404)), "status 0404");
  // Reworded with a conversion of the wrong type: shown, not formatted.
  EXPECT_EQ(Shown("IDS_REWORDED", NumberInsert(0x0400)), "Refused: %s");
  EXPECT_EQ(Shown("IDS_NOT_THERE"), "ERROR");
  // Without an install path nothing is read from the Windows folder either.
  SetString(MonitorKey(), "InstallPath", "");
  EXPECT_EQ(Shown("IDS_LINES"), "ERROR");
  EXPECT_EQ(g_title, kBuiltInErrorTitle);
  EXPECT_EQ(Text("IDS_LINES"), "");
  UnhookWindowsHookEx(g_hook);
}
