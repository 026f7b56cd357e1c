// Layout tables applied to dialogs, and the font from NIMDLG.INI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/gui/dialog_fixture.h"
#include "tests/wine/gui/gui.h"
#include "tests/wine/gui/test_dialogs.h"
#include "ui/layout.h"

using namespace ui;

namespace {

constexpr char kDialogTexts[] =
    "[FONT]\r\n"
    "DEFAULT=Arial,20,SHIFTJIS\r\n"
    "SPACED= Courier New , 14 , GREEK \r\n"
    "NO_CHARSET=Arial,12\r\n"
    "LOWER_CASE=Arial,12,shiftjis\r\n"
    "UNKNOWN=Arial,12,KLINGON\r\n"
    "NOT_A_SIZE=Arial,12pt,ANSI\r\n"
    "ZERO=Arial,0,ANSI\r\n"
    "NO_FACE=,12,ANSI\r\n"
    "[TITLE]\r\n"
    "TEST=Test caption\r\n"
    "[LABEL]\r\n"
    "TWO_LINES=first\\nsecond\r\n"
    "[BUTTON]\r\n"
    "PRESS=Press me\r\n";

const LayoutRow kTopRows[] = {
    {0, "TITLE", "TEST", 0, 0, 300, 200},
    {IDC_TEST_LABEL, "LABEL", "TWO_LINES", 10, 12, 150, 40},
    {IDC_TEST_EDIT, "EDIT", nullptr, 10, 60, 120, 21},
    {IDC_TEST_BUTTON, "BUTTON", "PRESS", 140, 60, 88, 23},
    {IDC_TEST_PLAIN, nullptr, nullptr, 10, 100, 50, 16},
    {IDC_TEST_UNKEYED, "LABEL", "NOT_IN_THE_FILE", 10, 120, 100, 16},
    {4242, "LABEL", "TWO_LINES", 0, 0, 10, 10},  // no such control in the template
};
constexpr int kTopRowCount = sizeof(kTopRows) / sizeof(kTopRows[0]);

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

bool SameRect(const RECT& r, int x, int y, int width, int height) {
  return r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height;
}

std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + ")";
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = gui::UseInstallFolder("vexa_layout_test");
    gui::WriteIni(folder_, "NIMDLG.INI", kDialogTexts);
    ini_path_ = folder_ + "\\NIMDLG.INI";
  }
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    for (HFONT font : fonts_) DeleteObject(font);
  }

  // Hidden, modeless: geometry and texts are all these tests look at.
  HWND Open(int template_id, HWND parent = nullptr) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id),
                                     parent, PlainProc, 0);
    if (dialog != nullptr && parent == nullptr) windows_.push_back(dialog);
    return dialog;
  }
  HFONT Font(const char* key) {
    HFONT font = CreateIniFont(nullptr, key, ini_path_.c_str());
    if (font != nullptr) fonts_.push_back(font);
    return font;
  }

  std::string folder_, ini_path_;
  std::vector<HWND> windows_;
  std::vector<HFONT> fonts_;
};

// Sets the caption height Windows reports; false when it cannot be done.
bool SetCaptionHeight(int wanted) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return false;
  metrics.iCaptionHeight += wanted - GetSystemMetrics(SM_CYCAPTION);
  SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  return GetSystemMetrics(SM_CYCAPTION) == wanted;
}

}  // namespace

TEST_F(Layout, TopLevelDialogKeepsItsPlaceAndTakesRowZeroSizeBelowTheCaption) {
  HWND dialog = Open(IDD_TEST_TOP);
  ASSERT_NE(dialog, nullptr);
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RECT before, after;
  GetWindowRect(dialog, &before);
  ApplyDialogLayout(dialog, nullptr, kTopRows, kTopRowCount, kLayoutTopLevel);
  GetWindowRect(dialog, &after);
  EXPECT_TRUE(SameRect(after, before.left, before.top, 300,
                       200 + GetSystemMetrics(SM_CYCAPTION) - 19))
      << Describe(after) << " with a caption of " << GetSystemMetrics(SM_CYCAPTION);
  EXPECT_EQ(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(gui::Text(dialog), "Test caption");

  // The caption height is the session's: put it back whatever happens.
  struct Restore {
    int height;
    ~Restore() { SetCaptionHeight(height); }
  } restore{GetSystemMetrics(SM_CYCAPTION)};
  if (!SetCaptionHeight(19)) GTEST_SKIP() << "the caption height cannot be changed here";
  ApplyDialogLayout(dialog, nullptr, kTopRows, 1, kLayoutTopLevel);
  GetWindowRect(dialog, &after);
  EXPECT_EQ(after.bottom - after.top, 200) << "a 19-pixel caption gives row 0's height";
  ASSERT_TRUE(SetCaptionHeight(23));
  ApplyDialogLayout(dialog, nullptr, kTopRows, 1, kLayoutTopLevel);
  GetWindowRect(dialog, &after);
  EXPECT_EQ(after.bottom - after.top, 204) << "a 23-pixel caption gives 4 pixels more";
}

TEST_F(Layout, PageMovesToRowZeroInsideItsHostAndOtherModesStayPut) {
  HWND host = Open(IDD_TEST_HOST);
  HWND page = Open(IDD_TEST_PAGE, host);
  ASSERT_NE(page, nullptr);
  const LayoutRow rows[] = {
      {0, nullptr, nullptr, 30, 40, 200, 100},
      {IDC_TEST_LABEL, "LABEL", "TWO_LINES", 5, 6, 150, 40},
  };
  ApplyDialogLayout(page, nullptr, rows, 2, kLayoutPage);
  RECT rect = gui::RectInParent(page);
  EXPECT_TRUE(SameRect(rect, 30, 40, 200, 100)) << Describe(rect);
  EXPECT_TRUE(SameRect(gui::ControlRect(page, IDC_TEST_LABEL), 5, 6, 150, 40));

  // Any other mode leaves the dialog where and as large as it is, but
  // still does the controls and the caption.
  HWND dialog = Open(IDD_TEST_TOP);
  RECT before, after;
  GetWindowRect(dialog, &before);
  ApplyDialogLayout(dialog, nullptr, kTopRows, kTopRowCount, 2);
  GetWindowRect(dialog, &after);
  EXPECT_TRUE(EqualRect(&before, &after)) << Describe(after);
  EXPECT_EQ(gui::Text(dialog), "Test caption");
  EXPECT_TRUE(SameRect(gui::ControlRect(dialog, IDC_TEST_BUTTON), 140, 60, 88, 23));
}

TEST_F(Layout, ControlsArePlacedAndTakeTheirFontAndText) {
  HWND dialog = Open(IDD_TEST_TOP);
  ASSERT_NE(dialog, nullptr);
  HFONT font = Font("DEFAULT");
  ASSERT_NE(font, nullptr);
  HFONT template_font = gui::ControlFont(dialog, IDC_TEST_PLAIN).handle;
  SetDlgItemTextA(dialog, IDC_TEST_EDIT, "typed by the dialog");

  ApplyDialogLayout(dialog, font, kTopRows, kTopRowCount, kLayoutTopLevel);

  for (int i = 1; i < kTopRowCount - 1; ++i) {
    const LayoutRow& row = kTopRows[i];
    RECT rect = gui::ControlRect(dialog, row.id);
    EXPECT_TRUE(SameRect(rect, row.x, row.y, row.width, row.height))
        << "control " << row.id << " at " << Describe(rect);
  }
  // "\n" in the file is a line break in the label.
  EXPECT_EQ(gui::ControlText(dialog, IDC_TEST_LABEL), "first\r\nsecond");
  EXPECT_EQ(gui::ControlFont(dialog, IDC_TEST_LABEL).handle, font);
  EXPECT_EQ(gui::ControlText(dialog, IDC_TEST_BUTTON), "Press me");
  EXPECT_EQ(gui::ControlFont(dialog, IDC_TEST_BUTTON).handle, font);
  // An edit field gets the font but keeps what the dialog put in it.
  EXPECT_EQ(gui::ControlText(dialog, IDC_TEST_EDIT), "typed by the dialog");
  EXPECT_EQ(gui::ControlFont(dialog, IDC_TEST_EDIT).handle, font);
  // A row without a type is only moved.
  EXPECT_EQ(gui::ControlText(dialog, IDC_TEST_PLAIN), "template plain");
  EXPECT_EQ(gui::ControlFont(dialog, IDC_TEST_PLAIN).handle, template_font);
  // A key missing from the file is an empty text, not the template's.
  EXPECT_EQ(gui::ControlText(dialog, IDC_TEST_UNKEYED), "");
}

TEST_F(Layout, FontEntryGivesFaceCharacterHeightAndCharset) {
  LOGFONTA font = {};
  HFONT handle = Font("DEFAULT");
  ASSERT_NE(handle, nullptr);
  GetObjectA(handle, sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, "Arial");
  EXPECT_EQ(font.lfHeight, -20) << "a character height, not a cell height";
  EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
  EXPECT_EQ(font.lfWeight, FW_DONTCARE);
  EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);

  handle = Font("SPACED");
  ASSERT_NE(handle, nullptr);
  GetObjectA(handle, sizeof(font), &font);
  EXPECT_STREQ(font.lfFaceName, "Courier New");
  EXPECT_EQ(font.lfHeight, -14);
  EXPECT_EQ(font.lfCharSet, GREEK_CHARSET);
}

TEST_F(Layout, CharsetNamesAreCaseSensitiveAndUnknownOnesGiveTheDefault) {
  for (const char* key : {"LOWER_CASE", "UNKNOWN"}) {
    HFONT handle = Font(key);
    ASSERT_NE(handle, nullptr) << key;
    LOGFONTA font = {};
    GetObjectA(handle, sizeof(font), &font);
    EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET) << key;
  }
}

TEST_F(Layout, IncompleteOrMissingFontEntriesGiveNoFont) {
  for (const char* key : {"NO_CHARSET", "NOT_A_SIZE", "ZERO", "NO_FACE", "NOT_IN_THE_FILE"})
    EXPECT_EQ(Font(key), nullptr) << key;
  EXPECT_EQ(CreateIniFont(nullptr, "DEFAULT", (folder_ + "\\NOSUCH.INI").c_str()), nullptr);
  EXPECT_EQ(CreateIniFont(nullptr, "DEFAULT", ""), nullptr);
}

TEST_F(Layout, FitControlToTextSizesTheControlInPlace) {
  HWND dialog = Open(IDD_TEST_TOP);
  ASSERT_NE(dialog, nullptr);
  HFONT font = Font("DEFAULT");
  HWND button = GetDlgItem(dialog, IDC_TEST_BUTTON);
  MoveWindow(button, 10, 20, 30, 40, FALSE);

  const char text[] = "Send a mail after printing";
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent;
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
  SelectObject(dc, old);
  ReleaseDC(button, dc);

  int width = FitControlToText(button, font, text, 13, 22);
  EXPECT_EQ(width, extent.cx + 13);
  RECT rect = gui::ControlRect(dialog, IDC_TEST_BUTTON);
  EXPECT_TRUE(SameRect(rect, 10, 20, extent.cx + 13, 22)) << Describe(rect);
  EXPECT_LT(FitControlToText(button, font, "Send", 13, 22), width);
}
