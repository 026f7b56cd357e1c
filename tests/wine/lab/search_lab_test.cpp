// The printer search dialog against real SNMP agents in the network lab
// (tests/wine/discovery_test.sh). The lab's agents, on one bridge with the
// client at 10.77.0.1:
//   10.77.0.11  "Harlune LX-4020 network printer"      00:80:77:12:34:56
//   10.77.0.12  "Othermaker OfficeJet 9"               00:11:22:33:44:55
//   10.77.0.13  "HARLUNE LX-4020 second interface"     00:80:77:12:34:56
//   10.77.0.14  "harlune LX-9000 " and 184 "w"          00:80:77:aa:bb:01
//   10.77.0.15  "Harlune LX-100 no hardware address"   (empty ifPhysAddress)
// Each test runs in a process of its own (the lab script starts one per
// test), as the dialog keeps some state for the life of the process.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/search.h"
#include "resources/discovery.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/layout_tables.h"
#include "tests/wine/lab/lab.h"
#include "ui/search_dialog.h"

namespace {

const std::string kLongDescription = "harlune LX-9000 " + std::string(184, 'w');
// The sweep's request, as a user's broadcast address receives it.
constexpr char kSearchRequestHex[] =
    "306002010004066d65766f6c61a1530201000201000201003048"
    "300b06072b0601020101010500"
    "300d06092b06010201041401010500"
    "300b06072b0601020101020500"
    "300d06092b06010201020201060500"
    "300e060a2b0601020119030201030500";

using Names = std::vector<std::string>;

class SearchLab : public ::testing::Test {
 protected:
  void SetUp() override {
    wine_test::UseInstallFolder("vexa_search_lab");
    // The shipped texts, so that the pictures show what a user sees.
    folder_ = wine_test::UseShippedTexts();
    DeleteFileA((folder_ + "\\Qvemon.ini").c_str());
  }
  void TearDown() override {
    DeleteFileA((folder_ + "\\Qvemon.ini").c_str());  // the folder is the test EXE's
  }

  HWND Open() {
    modal_ = gui::RunModal([this] { return ui::ShowSearchDialog(nullptr, &answer_); },
                           {.control_id = IDC_SEARCH_LIST});
    dialog_ = modal_->dialog;
    EXPECT_NE(dialog_, nullptr) << "the search dialog did not show";
    list_ = dialog_ != nullptr ? GetDlgItem(dialog_, IDC_SEARCH_LIST) : nullptr;
    return dialog_;
  }

  int Rows() { return ListView_GetItemCount(list_); }
  // Waits until `rows` rows are listed, then as long again to see that no
  // more follow. The answers of a lab this small all arrive within
  // milliseconds of the sweep.
  bool WaitForRows(int rows, DWORD timeout_ms = 5000) {
    gui::Poll([&] { return Rows() >= rows; }, timeout_ms);
    Sleep(700);
    return Rows() == rows;
  }
  std::string Cell(int row, int column) { return Column(column).at(row); }
  Names Column(int column) { return gui::ListColumn(list_, column); }
  void ClickColumn(int column) {
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list_;
    click.hdr.idFrom = IDC_SEARCH_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(dialog_, WM_NOTIFY, IDC_SEARCH_LIST, reinterpret_cast<LPARAM>(&click));
  }
  void SelectRow(int row) {
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  int ColumnWidth(int column) { return ListView_GetColumnWidth(list_, column); }

  std::string folder_;
  discovery::SearchAnswer answer_ = {};
  std::unique_ptr<gui::Modal> modal_;
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};

// Run before any agent is up: nothing to choose.
TEST_F(SearchLab, OkBeforeAnyAnswerChoosesNothing) {
  answer_.query_port = 7;
  lstrcpyA(answer_.address, "untouched");
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(WaitForRows(0, 0));
  EXPECT_EQ(modal_->End(IDOK), 0);
  EXPECT_EQ(answer_.query_port, 7);
  EXPECT_STREQ(answer_.address, "untouched");
}

TEST_F(SearchLab, ListsEachHarlunePrinterOnceAndHandsBackTheChosenOne) {
  wine_test::WriteIni(folder_, "Qvemon.ini",
                "[UserDefined]\r\nUDPCount=2\r\nUDP00=7f000002\r\nUDP01=7F000003\r\n");
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(WaitForRows(3)) << Rows() << " rows";
  Names addresses = Column(0);
  // Two interfaces with one hardware address give one row, for whichever
  // answered first.
  EXPECT_TRUE(addresses[0] == "10.77.0.11" || addresses[0] == "10.77.0.13") << addresses[0];
  EXPECT_EQ(addresses[1], "10.77.0.14");
  EXPECT_EQ(addresses[2], "10.77.0.15");
  EXPECT_EQ(Column(1), (Names{"00:80:77:12:34:56", "00:80:77:aa:bb:01", "4e:55:4c:4c:00:00"}));
  EXPECT_EQ(Cell(0, 2), addresses[0] == "10.77.0.11" ? "Harlune LX-4020 network printer"
                                                     : "HARLUNE LX-4020 second interface");
  EXPECT_EQ(Cell(1, 2), kLongDescription.substr(0, 127));
  EXPECT_EQ(Cell(2, 2), "Harlune LX-100 no hardware address");
  EXPECT_EQ(SendMessageA(list_, LVM_GETITEMSTATE, 0, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(gui::ClippedTexts(dialog_, ui::kSearchLayout), "");
  EXPECT_TRUE(gui::SaveScreenshot(dialog_, "search_dialog"));

  // The same request went to each of the user's addresses, on port 161.
  for (const char* log : {"/127.0.0.2.log", "/127.0.0.3.log"})
    EXPECT_EQ(lab::ReadFile("VEXA_LAN_LOG_DIR", log), std::string(kSearchRequestHex) + "\n") << log;

  SelectRow(1);
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_STREQ(answer_.address, "10.77.0.14");
  EXPECT_EQ(answer_.query_port, 19541);
}

TEST_F(SearchLab, ColumnClicksSortAsAUserExpects) {
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(WaitForRows(3));
  const std::string first = Cell(0, 0);
  // The address column starts ascending and counts as clicked last: its
  // first click reverses it.
  ClickColumn(0);
  EXPECT_EQ(Column(0), (Names{"10.77.0.15", "10.77.0.14", first}));
  // Another column's first click sorts it ascending, the next reverses it.
  ClickColumn(1);
  EXPECT_EQ(Column(1), (Names{"00:80:77:12:34:56", "00:80:77:aa:bb:01", "4e:55:4c:4c:00:00"}));
  ClickColumn(1);
  EXPECT_EQ(Column(1), (Names{"4e:55:4c:4c:00:00", "00:80:77:aa:bb:01", "00:80:77:12:34:56"}));
  ClickColumn(0);
  EXPECT_EQ(Column(0), (Names{first, "10.77.0.14", "10.77.0.15"}));
}

TEST_F(SearchLab, SearchAgainListsTheAnswersAfresh) {
  ASSERT_NE(Open(), nullptr);
  ASSERT_TRUE(WaitForRows(3));
  // Rows of the earlier sweep must go: mark one to see that it went.
  LVITEMA mark = {};
  mark.iSubItem = 2;
  mark.pszText = const_cast<char*>("earlier sweep");
  SendMessageA(list_, LVM_SETITEMTEXTA, 2, reinterpret_cast<LPARAM>(&mark));
  ASSERT_TRUE(gui::Click(dialog_, IDC_BTN_BROAD));
  ASSERT_TRUE(WaitForRows(3));
  for (const std::string& description : Column(2)) EXPECT_NE(description, "earlier sweep");
  // The printers listed before are listed again, and a choice still works.
  SelectRow(2);
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_STREQ(answer_.address, "10.77.0.15");
}

TEST_F(SearchLab, ColumnWidthsAreKeptAndDamagedOnesIgnored) {
  const std::string key = wine_test::MonitorKey();
  DWORD huge = 0xFFFFFFF0u;
  wine_test::SetValue(key, "Column00", REG_BINARY, &huge, sizeof(huge));
  wine_test::SetValue(key, "Column01", REG_SZ, "90", 3);
  WORD short_value = 50;
  wine_test::SetValue(key, "Column02", REG_BINARY, &short_value, sizeof(short_value));
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ColumnWidth(0), 110);
  EXPECT_EQ(ColumnWidth(1), 110);
  EXPECT_EQ(ColumnWidth(2), 138);
  SendMessageA(list_, LVM_SETCOLUMNWIDTH, 0, 95);
  SendMessageA(list_, LVM_SETCOLUMNWIDTH, 2, 240);
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  for (auto [name, want] : {std::pair{"Column00", 95u}, {"Column01", 110u}, {"Column02", 240u}}) {
    std::string bytes(reinterpret_cast<char*>(&want), 4);  // a DWORD, REG_BINARY
    EXPECT_EQ(wine_test::Value(key, name, REG_BINARY), bytes) << name;
  }
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(ColumnWidth(0), 95);
  EXPECT_EQ(ColumnWidth(2), 240);
}

// With the hostile responder up: a series of malformed and extreme
// answers, then a well-formed sentinel. Its manifest says of each whether a
// careful decoder must drop it ("reject"), must list it ("valid"), or may do
// either as long as nothing breaks ("open"). Beside it, a printer of another
// maker that names Harlune only in its hrDeviceDescr.
TEST_F(SearchLab, SurvivesHostileAnswers) {
  ASSERT_NE(Open(), nullptr);
  auto listed = [this](const std::string& mac) {
    Names hardware = Column(1);
    return std::find(hardware.begin(), hardware.end(), mac) != hardware.end();
  };
  auto sentinel = [&] { return listed("02:00:00:00:ff:ff"); };
  ASSERT_TRUE(gui::Poll(sentinel, 10000)) << "no sentinel after " << Rows() << " rows";
  std::istringstream manifest(lab::ReadFile("VEXA_HOSTILE_MANIFEST"));
  std::string line;
  int valid = 0, rejected = 0;
  while (std::getline(manifest, line)) {
    std::string verdict = line.substr(3, line.find(' ', 3) - 3);
    std::string mac = line.substr(line.rfind("mac=") + 4);
    if (verdict == "valid") {
      ++valid;
      EXPECT_TRUE(listed(mac)) << line;
    } else if (verdict == "reject") {
      ++rejected;
      EXPECT_FALSE(listed(mac)) << line;
    }
  }
  EXPECT_GT(valid, 0);
  EXPECT_GT(rejected, 0);
  EXPECT_FALSE(listed("02:00:00:00:fd:01")) << "listed for its hrDeviceDescr";
  for (const std::string& description : Column(2)) EXPECT_LE(description.size(), 127u);
  // Still answering the user: a new sweep lists the sentinel again.
  ASSERT_TRUE(gui::Click(dialog_, IDC_BTN_BROAD));
  EXPECT_TRUE(gui::Poll(sentinel, 10000));
}

// With 130 more printers answering: the list stops at 128.
TEST_F(SearchLab, ListsNoMoreThan128Printers) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(WaitForRows(128, 10000)) << Rows() << " rows";
  EXPECT_EQ(SendMessageA(list_, LVM_GETITEMSTATE, 0, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_TRUE(gui::SaveScreenshot(dialog_, "search_dialog_full"));
}

}  // namespace
