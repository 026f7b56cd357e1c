// Layout tables applied to dialogs, and the font from NIMDLG.INI; and the
// tables as data: every control inside its dialog, none on top of another,
// pages inside the dialogs that hold them. A slip in a hand-typed
// coordinate shows up before a dialog opens.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "tests/wine/gui/test_dialogs.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

using namespace ui;

namespace {

constexpr char kDialogTexts[] =
    "[FONT]\r\nDEFAULT=Arial,20,SHIFTJIS\r\n[TITLE]\r\nTEST=Test caption\r\n"
    "[LABEL]\r\nTWO_LINES=first\\nsecond\r\n[BUTTON]\r\nPRESS=Press me\r\n";

const LayoutRow kTopRows[] = {
    {0, "TITLE", "TEST", 0, 0, 300, 200},
    {IDC_TEST_LABEL, "LABEL", "TWO_LINES", 10, 12, 150, 40},
    {4242, "LABEL", "TWO_LINES", 0, 0, 10, 10},  // no such control in the template
    {IDC_TEST_EDIT, "EDIT", nullptr, 10, 60, 120, 21},
    {IDC_TEST_BUTTON, "BUTTON", "PRESS", 140, 60, 88, 23},
    {IDC_TEST_PLAIN, nullptr, nullptr, 10, 100, 50, 16},
    {IDC_TEST_UNKEYED, "LABEL", "NOT_IN_THE_FILE", 10, 120, 100, 16},
};
constexpr int kTopRowCount = sizeof(kTopRows) / sizeof(kTopRows[0]);
// Texts after the layout: a keyless row keeps the dialog's, a typeless one the template's.
const char* const kTopTexts[] = {"Test caption",  "first\r\nsecond", nullptr,
                                 "typed by the dialog", "Press me", "template plain", ""};

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
std::string Box(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " +
         std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

// Frames, group boxes and the tab control hold other controls.
const std::set<int> kContainers = {222, 264, 290, 297, 332, 340, 350, 357, 363, 377};
// A combo box's row height includes its drop-down list; only its 21-pixel edit part takes room.
const std::set<int> kCombos = {247, 284, 365, 386};

RECT Place(const LayoutRow& row) {
  return {row.x, row.y, row.x + row.width, row.y + (kCombos.count(row.id) ? 21 : row.height)};
}
bool Inside(const RECT& a, const RECT& b) {
  return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
}
// Row 0 of a top-level dialog includes the caption and Windows 95's 3-pixel frame on each side.
RECT Client(const LayoutTable& table) {
  const LayoutRow& frame = table.rows[0];
  if (table.mode == kLayoutPage) return {0, 0, frame.width, frame.height};
  return {0, 0, frame.width - 6, frame.height - kLayoutCaptionHeight - 6};
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = wine_test::UseInstallFolder("vexa_layout_test");
    wine_test::WriteIni(folder, "NIMDLG.INI", kDialogTexts);
    ini_ = folder + "\\NIMDLG.INI";
    font_ = CreateIniFont(nullptr, "DEFAULT", ini_.c_str());
  }
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
    DeleteObject(font_);
  }
  // Hidden, modeless: geometry and texts are all these tests look at.
  HWND Open(int template_id, HWND parent = nullptr) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_id),
                                     parent, PlainProc, 0);
    if (dialog != nullptr && parent == nullptr) windows_.push_back(dialog);
    return dialog;
  }
  std::string ini_;
  HFONT font_ = nullptr;
  std::vector<HWND> windows_;
};

}  // namespace

TEST_F(Layout, TopLevelDialogKeepsItsPlaceTakesRowZeroSizeBelowTheCaptionAndItsControls) {
  HWND dialog = Open(IDD_TEST_TOP);
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HFONT template_font = gui::ControlFont(dialog, IDC_TEST_PLAIN);
  SetDlgItemTextA(dialog, IDC_TEST_EDIT, "typed by the dialog");
  // Row 0 is sized for a 19-pixel caption; a taller one makes the dialog as much taller.
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  metrics.iCaptionHeight += 4;
  SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  RECT before = gui::RectInParent(dialog);
  ApplyDialogLayout(dialog, font_, kTopRows, 1, 2);  // any other mode: no move, no size
  EXPECT_EQ(Box(gui::RectInParent(dialog)), Box(before));
  ApplyDialogLayout(dialog, font_, kTopRows, kTopRowCount, kLayoutTopLevel);
  int height = 200 + GetSystemMetrics(SM_CYCAPTION) - 19;
  EXPECT_EQ(Box(gui::RectInParent(dialog)),
            Box({before.left, before.top, before.left + 300, before.top + height}));
  metrics.iCaptionHeight -= 4;  // the session's again, for the tests that follow
  SystemParametersInfoA(SPI_SETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  EXPECT_EQ(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(gui::Text(dialog), kTopTexts[0]);
  for (int i = 1; i < kTopRowCount; ++i) {
    const LayoutRow& row = kTopRows[i];
    if (kTopTexts[i] == nullptr) continue;
    EXPECT_EQ(Box(gui::ControlRect(dialog, row.id)),
              Box({row.x, row.y, row.x + row.width, row.y + row.height}));
    EXPECT_EQ(gui::ControlFont(dialog, row.id), row.type ? font_ : template_font) << row.id;
    EXPECT_EQ(gui::ControlText(dialog, row.id), kTopTexts[i]) << row.id;
  }
}

TEST_F(Layout, PageMovesToRowZeroInItsHost) {
  HWND page = Open(IDD_TEST_PAGE, Open(IDD_TEST_HOST));
  HFONT template_font = gui::ControlFont(page, IDC_TEST_LABEL);
  const LayoutRow rows[] = {{0, nullptr, nullptr, 30, 40, 200, 100},
                            {IDC_TEST_LABEL, "LABEL", "TWO_LINES", 5, 6, 150, 40}};
  ApplyDialogLayout(page, nullptr, rows, 2, kLayoutPage);
  EXPECT_EQ(Box(gui::RectInParent(page)), "30,40 200x100");
  EXPECT_EQ(Box(gui::ControlRect(page, IDC_TEST_LABEL)), "5,6 150x40");
  EXPECT_EQ(gui::ControlFont(page, IDC_TEST_LABEL), template_font) << "no font given";
}

TEST_F(Layout, FontEntryGivesFaceCharacterHeightAndCharsetOrNoFont) {
  // Face, character height, charset: 128 SHIFTJIS, 161 GREEK, 0 ANSI, 1 the mapper's; "" no font.
  const std::pair<const char*, const char*> cases[] = {
      {"Arial,20,SHIFTJIS", "Arial,-20,128"}, {" Courier New , 14 , GREEK ", "Courier New,-14,161"},
      {"Arial,9999,ANSI", "Arial,-9999,0"}, {"Arial,12,shiftjis", "Arial,-12,1"},
      {"Arial,12,KLINGON", "Arial,-12,1"}, {"Arial,12", ""}, {"Arial,12pt,ANSI", ""},
      {"Arial,0,ANSI", ""}, {"Arial,10000,ANSI", ""}, {",12,ANSI", ""}, {"", ""}};
  for (const auto& [entry, expected] : cases) {
    WritePrivateProfileStringA("FONT", "CASE", entry, ini_.c_str());
    HFONT handle = CreateIniFont(nullptr, "CASE", ini_.c_str());
    LOGFONTA font = {};
    GetObjectA(handle, sizeof(font), &font);
    EXPECT_EQ(gui::FontText(handle), expected) << entry;
    EXPECT_FALSE(font.lfWeight || font.lfItalic || font.lfUnderline || font.lfStrikeOut) << entry;
    DeleteObject(handle);
  }
}

TEST_F(Layout, FitControlToTextSizesTheControlInPlace) {
  HWND button = GetDlgItem(Open(IDD_TEST_TOP), IDC_TEST_BUTTON);
  SetWindowTextA(button, "Send a mail after printing");
  auto template_font = reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0));
  int narrow = gui::TextSize(button).cx + 13;
  SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  int wide = gui::TextSize(button).cx + 13;
  MoveWindow(button, 10, 20, 30, 40, FALSE);
  // Measured in the font given, else in the control's own.
  EXPECT_EQ(FitControlToText(button, template_font, gui::Text(button).c_str(), 13, 22), narrow);
  EXPECT_EQ(FitControlToText(button, nullptr, gui::Text(button).c_str(), 13, 22), wide);
  EXPECT_EQ(Box(gui::RectInParent(button)), Box({10, 20, 10 + wide, 42}));
}

TEST(LayoutTables, EachTableFitsItsDialogAndEachPageItsHost) {
  // Wizard pages go right of its picture (row 4) and above its separator (row 5), configure pages
  // inside the tab control (row 4).
  std::map<int, RECT> hosts;
  const LayoutRow* wizard = kWizardFrameLayout.rows;
  for (int page : {205, 211, 215, 219, 228, 234, 242, 249, 324, 328})
    hosts[page] = {wizard[4].x + wizard[4].width, 0, Client(kWizardFrameLayout).right, wizard[5].y};
  for (int page : {333, 349}) hosts[page] = Place(kIppConfigureLayout.rows[4]);
  for (int page : {374, 376, 384, 387}) hosts[page] = Place(kMailConfigureLayout.rows[4]);
  std::set<int> templates;
  for (int t = 0; t < kAllLayoutCount; ++t) {
    const LayoutTable& table = *kAllLayouts[t];
    const LayoutRow& frame = table.rows[0];
    SCOPED_TRACE("template " + std::to_string(table.template_id));
    EXPECT_TRUE(templates.insert(table.template_id).second);
    // Captions come from "TITLE", and only top-level dialogs have one.
    bool caption = table.mode == kLayoutTopLevel && frame.type != nullptr &&
                   std::string(frame.type) == "TITLE" && frame.key != nullptr;
    EXPECT_TRUE(caption || (frame.type == nullptr && frame.key == nullptr));
    std::set<int> ids;
    for (int i = 1; i < table.count; ++i) {
      const LayoutRow& row = table.rows[i];
      EXPECT_TRUE(ids.insert(row.id).second) << row.id << " twice";
      EXPECT_TRUE(row.key == nullptr || row.type != nullptr) << row.id << ": text without section";
      EXPECT_TRUE(row.width > 0 && row.height > 0 && Inside(Place(row), Client(table))) << row.id;
      for (int j = i + 1; j < table.count; ++j) {
        RECT a = Place(row), b = Place(table.rows[j]), common;
        int other = table.rows[j].id;
        // The wizard's Back and Next share their edge pixel, as the Windows 95 wizards draw them.
        EXPECT_TRUE(!IntersectRect(&common, &a, &b) ||
                    (kContainers.count(row.id) && Inside(b, a)) ||
                    (kContainers.count(other) && Inside(a, b)) ||
                    (table.template_id == 200 && std::set{row.id, other} == std::set{201, 202}))
            << row.id << " and " << other << " overlap";
      }
    }
    if (table.mode != kLayoutPage) continue;
    ASSERT_TRUE(hosts.count(table.template_id)) << "a page without a host";
    // A wizard page is wider than the room right of the picture (it keeps
    // the size it was designed with); what must stay inside are its controls.
    for (int i = 1; i < table.count; ++i) {
      RECT control = Place(table.rows[i]);
      OffsetRect(&control, frame.x, frame.y);
      EXPECT_TRUE(Inside(table.template_id < 330 ? control : Place(frame), hosts[table.template_id]))
          << table.rows[i].id << " leaves the page's host";
    }
    hosts.erase(table.template_id);
  }
  EXPECT_EQ(templates.size(), 27u);
  EXPECT_TRUE(hosts.empty()) << hosts.size() << " pages without a table";
}
