// Texts and message boxes from the INI files in the install folder.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "monitor/ini.h"
#include "monitor/state.h"
#include "tests/wine/monitor_fixture.h"

using namespace monitor;
using namespace wine_test;

namespace {

struct Box {
  std::string title, text;
  int count = 0;
};
Box g_box;
HHOOK g_hook;

BOOL CALLBACK FindText(HWND child, LPARAM out) {
  char cls[32], text[1024];
  GetClassNameA(child, cls, sizeof(cls));
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof(text)) > 0) {
    *reinterpret_cast<std::string*>(out) = text;
    return FALSE;
  }
  return TRUE;
}

// Answers the message box as soon as it is activated, after noting what it says.
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    char cls[16];
    GetClassNameA(box, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") != 0) return CallNextHookEx(g_hook, code, wparam, lparam);
    char title[512];
    GetWindowTextA(box, title, sizeof(title));
    g_box.title = title;
    g_box.text.clear();
    EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&g_box.text));
    ++g_box.count;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

std::string TempFolder() {
  char path[MAX_PATH];
  GetTempPathA(sizeof(path), path);
  std::string folder = std::string(path) + "vexa_ini_test";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

class Ini : public ::testing::Test {
 protected:
  void SetUp() override {
    UseTestMonitor();
    folder_ = TempFolder();
    std::ofstream(folder_ + "\\NIMMES.INI")
        << "[MESSAGE]\r\n"
           "TITLE=Test Title\r\n"
           "IDS_TWO_LINES=first\\nsecond\r\n"
           "IDS_TAB=a\\tb\r\n"
           "IDS_CODE=status %04x\r\n"
           "IDS_NAME=port \"%s\" exists\r\n"
           "IDS_GREEDY=%s and %s\r\n";
    SetString(MonitorKey(), "InstallPath", folder_);
    g_box = Box{};
    g_hook = SetWindowsHookExA(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
  }
  void TearDown() override { UnhookWindowsHookEx(g_hook); }
  std::string folder_;
};

std::string Text(const char* key, UINT_PTR insert = 0) {
  char out[1100];
  IniText(kMessageIni, kMessageSection, key, insert, out, sizeof(out));
  return out;
}

}  // namespace

TEST_F(Ini, PathGetsOneBackslash) {
  char path[MAX_PATH];
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder_ + "\\X.INI");
  SetString(MonitorKey(), "InstallPath", folder_ + "\\");
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder_ + "\\X.INI");
}

TEST_F(Ini, TextsAreConvertedAndFormatted) {
  EXPECT_EQ(Text("IDS_TWO_LINES"), "first\r\nsecond");
  EXPECT_EQ(Text("IDS_TAB"), "a\tb");
  EXPECT_EQ(Text("IDS_CODE", 1027), "status 0403");
  EXPECT_EQ(Text("IDS_CODE"), "status %04x");  // no insert: the text as it stands
  EXPECT_EQ(Text("IDS_NAME", reinterpret_cast<UINT_PTR>("Raw1")), "port \"Raw1\" exists");
  // Two conversions would read an argument never passed: shown unformatted.
  EXPECT_EQ(Text("IDS_GREEDY", reinterpret_cast<UINT_PTR>("x")), "%s and %s");
  EXPECT_EQ(Text("IDS_MISSING"), "");
}

TEST_F(Ini, MessageBoxTakesTitleAndTextFromTheFile) {
  EXPECT_EQ(MessageFromIni(nullptr, "IDS_TWO_LINES", MB_ICONHAND), IDOK);
  EXPECT_EQ(g_box.count, 1);
  EXPECT_EQ(g_box.title, "Test Title");
  EXPECT_EQ(g_box.text, "first\r\nsecond");
  MessageFromIni(nullptr, "IDS_CODE", MB_ICONHAND, 0x0404);
  EXPECT_EQ(g_box.text, "status 0404");
}

TEST_F(Ini, MissingKeyShowsErrorAndMissingFolderTheBuiltInTitle) {
  MessageFromIni(nullptr, "IDS_NOT_THERE", MB_ICONEXCLAMATION);
  EXPECT_EQ(g_box.title, "Test Title");
  EXPECT_EQ(g_box.text, "ERROR");

  HKEY key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, MonitorKey().c_str(), 0, KEY_ALL_ACCESS, &key);
  RegDeleteValueA(key, "InstallPath");
  RegCloseKey(key);
  MessageFromIni(nullptr, "IDS_TWO_LINES", MB_ICONEXCLAMATION);
  EXPECT_EQ(g_box.title, kBuiltInErrorTitle);
  EXPECT_EQ(g_box.text, "ERROR");
  EXPECT_EQ(Text("IDS_TWO_LINES"), "");
}
