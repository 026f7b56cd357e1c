// Texts and message boxes from NIMMES.INI in the install folder.
#include <gtest/gtest.h>

#include <string>

#include "core/ini.h"
#include "tests/wine/fixture.h"

using namespace core;
using namespace wine_test;

namespace {

std::string Text(const char* key, UINT_PTR insert = 0) {
  char out[1100];
  return IniText(kMessageIni, kMessageSection, key, insert, out, sizeof(out));
}

std::string Shown(const char* key, UINT_PTR insert = 0) {
  AnsweredBoxes::text = "none shown";
  EXPECT_EQ(MessageFromIni(nullptr, key, MB_ICONHAND, insert), IDOK);
  return AnsweredBoxes::text;
}

}  // namespace

TEST(Ini, TextsAndBoxesFromTheInstallFolder) {
  std::string folder = UseInstallFolder("vexa_ini_test");
  char path[MAX_PATH];
  WriteIni(folder, "NIMMES.INI",
           "[MESSAGE]\r\nTITLE=Test Title\r\nIDS_LINES=first\\nsecond\\tthird\r\n"
           "IDS_CODE=status %04x\r\nIDS_NAME=port \"%s\"\r\nIDS_GREEDY=%s and %s\r\n");
  SetString(MonitorKey(), "InstallPath", folder + "\\");
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");
  SetString(MonitorKey(), "InstallPath", folder);
  EXPECT_EQ(std::string(IniPath("X.INI", path, sizeof(path))), folder + "\\X.INI");

  EXPECT_EQ(Text("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(Text("IDS_CODE", 1027), "status 0403");
  EXPECT_EQ(Text("IDS_CODE"), "status %04x");  // no insert: the text as it stands
  EXPECT_EQ(Text("IDS_NAME", reinterpret_cast<UINT_PTR>("Raw1")), "port \"Raw1\"");
  // A second conversion would read an argument never passed.
  EXPECT_EQ(Text("IDS_GREEDY", reinterpret_cast<UINT_PTR>("x")), "%s and %s");
  EXPECT_EQ(Text("IDS_MISSING"), "");

  AnsweredBoxes boxes;
  EXPECT_EQ(Shown("IDS_LINES"), "first\r\nsecond\tthird");
  EXPECT_EQ(boxes.title, "Test Title");
  EXPECT_EQ(Shown("IDS_CODE", 0x0404), "status 0404");
  EXPECT_EQ(Shown("IDS_NOT_THERE"), "ERROR");
  // Without an install path nothing is read from the Windows folder either.
  SetString(MonitorKey(), "InstallPath", "");
  EXPECT_EQ(Shown("IDS_LINES"), "ERROR");
  EXPECT_EQ(boxes.title, kBuiltInErrorTitle);
  EXPECT_EQ(Text("IDS_LINES"), "");
}
