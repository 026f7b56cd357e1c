// What the search makes of the answers it receives, fed straight into
// AddFoundPrinter with a list view of the test's own: nothing is sent, so
// these run anywhere. The real sweep, with the cut descriptions and the
// 128-row limit, is tested in the network lab.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "discovery/search.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/search_dialog.h"

namespace {

using discovery::SnmpBinding;

// One decoded answer as DecodeSnmpResponse leaves it in the search's slots.
struct Answer {
  char names[5][256] = {};
  std::uint8_t values[5][256] = {};
  SnmpBinding slots[6] = {};
  Answer(const std::string& description, const std::string& hardware) {
    for (int i = 0; i < 5; ++i) {
      slots[i].name = names[i];
      slots[i].value = values[i];
      slots[i].value_type = 4;
    }
    description.copy(reinterpret_cast<char*>(values[0]), 255);
    hardware.copy(reinterpret_cast<char*>(values[3]), 255);
  }
};

std::string Mac(int last) { return std::string("\x00\x80\x77\x12\x34", 5) + static_cast<char>(last); }

class SearchRows : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT | LVS_SINGLESEL, 0, 0, 400,
                            300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list_, nullptr);
    for (int column = 0; column < 3; ++column) {
      LVCOLUMNA info = {};
      info.mask = LVCF_WIDTH | LVCF_SUBITEM;
      info.cx = 100;
      info.iSubItem = column;
      SendMessageA(list_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
    }
    results_ = new discovery::ResultTable{};
    session_.socket = INVALID_SOCKET;
    session_.results = results_;
    session_.sort_direction[0] = discovery::kSortAscending;
    session_.sort_direction[1] = session_.sort_direction[2] = discovery::kSortDescending;
  }
  void TearDown() override {
    DestroyWindow(list_);
    delete results_;
  }

  int Add(const std::string& description, const std::string& hardware, const char* sender) {
    Answer answer(description, hardware);
    int index = discovery::AddFoundPrinter(&session_, answer.slots, inet_addr(sender));
    if (index >= 0) ui::ListFoundPrinter(list_, &session_, index);
    return index >= 0 ? 1 : 0;
  }
  int Rows() { return ListView_GetItemCount(list_); }
  std::string Cell(int row, int column) { return Column(column).at(row); }
  std::vector<std::string> Column(int column) { return gui::ListColumn(list_, column); }
  UINT State(int row) { return ListView_GetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED); }

  HWND list_ = nullptr;
  discovery::ResultTable* results_ = nullptr;
  discovery::SearchSession session_ = {};
};

TEST_F(SearchRows, OnlyTheMakersPrintersAreListedOncePerHardwareAddress) {
  EXPECT_EQ(Add("Harlune LX-4020", Mac(1), "10.0.0.5"), 1);
  EXPECT_EQ(Add("network printer by harlune", Mac(2), "10.0.0.6"), 1);
  EXPECT_EQ(Add("Othermaker Jet", Mac(3), "10.0.0.7"), 0);
  EXPECT_EQ(Add("", Mac(4), "10.0.0.8"), 0);
  EXPECT_EQ(Add("Harl une", Mac(5), "10.0.0.9"), 0);
  // The same interface answering from another address: the first one wins.
  EXPECT_EQ(Add("Harlune LX-4020", Mac(1), "10.0.0.99"), 0);
  // No sender is no printer to connect to.
  EXPECT_EQ(Add("Harlune", Mac(9), "0.0.0.0"), 0);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 0), "10.0.0.5");
  EXPECT_EQ(Cell(0, 1), "00:80:77:12:34:01");
  EXPECT_EQ(Cell(0, 2), "Harlune LX-4020");
  EXPECT_EQ(results_->count, 2u);

  // Agents that give an empty ifPhysAddress all look alike ("NULL" and two
  // zero bytes), so only the first of them is listed.
  EXPECT_EQ(Add("Harlune A", "NULL", "10.0.1.1"), 1);
  EXPECT_EQ(Add("Harlune B", "NULL", "10.0.1.2"), 0);
  EXPECT_EQ(Cell(2, 1), "4e:55:4c:4c:00:00");
}

TEST_F(SearchRows, EveryNewRowIsSortedByAddressAndTheFirstRowSelected) {
  Add("Harlune", Mac(1), "192.168.0.9");
  EXPECT_EQ(State(0), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
  Add("Harlune", Mac(2), "192.168.0.10");
  Add("Harlune", Mac(3), "10.1.1.1");
  // Text order, as a user sorting the column sees it.
  using V = std::vector<std::string>;
  EXPECT_EQ(Column(0), (V{"10.1.1.1", "192.168.0.10", "192.168.0.9"}));
  EXPECT_EQ(State(0), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
  EXPECT_EQ(State(1) | State(2), 0u);

  // Sorted by another column meanwhile: a new answer re-sorts by address,
  // in the address column's own direction.
  session_.sort_direction[2] = discovery::kSortAscending;
  ui::SortResults(list_, &session_, 2);
  session_.sort_direction[0] = discovery::kSortDescending;
  Add("Harlune", Mac(4), "172.16.0.1");
  EXPECT_EQ(Column(0), (V{"192.168.0.9", "192.168.0.10", "172.16.0.1", "10.1.1.1"}));

  ui::ClearResults(list_, &session_);
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(results_->count, 0u);
  EXPECT_EQ(Add("Harlune", Mac(1), "192.168.0.9"), 1);  // listed again after a new search
}

TEST(SearchBroadcasts, UserAddressesAreReadFreshAndDamageMeansTheLimitedBroadcast) {
  std::string folder = wine_test::UseInstallFolder("vexa_search_rows");
  std::string path = folder + "\\Qvemon.ini";
  auto load = [&](const std::string& text) {
    wine_test::WriteIni(folder, "Qvemon.ini", text);
    discovery::UserBroadcasts broadcasts = {};
    broadcasts.count = -5;
    discovery::LoadUserBroadcasts(path.c_str(), &broadcasts);
    std::vector<std::string> dotted;
    for (int i = 0; i < broadcasts.count; ++i) {
      in_addr address;
      address.s_addr = broadcasts.addresses[i];
      dotted.push_back(inet_ntoa(address));
    }
    return dotted;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(load(""), V{});
  EXPECT_EQ(load("[UserDefined]\r\nUDPCount=2\r\nUDP00=c0a801ff\r\nUDP01=0A0000FF\r\n"),
            (V{"192.168.1.255", "10.0.0.255"}));
  EXPECT_EQ(load("[UserDefined]\r\nUDPCount=3\r\nUDP00=\r\nUDP01=c0a8zz01\r\nUDP02=1\r\n"),
            (V{"255.255.255.255", "255.255.255.255", "0.0.0.1"}));
  EXPECT_EQ(load("[UserDefined]\r\nUDPCount=-1\r\nUDP00=c0a801ff\r\n"), V{});
  // However many the file claims, the search reads 64 at most.
  EXPECT_EQ(load("[UserDefined]\r\nUDPCount=100000\r\n").size(), 64u);
  DeleteFileA(path.c_str());
  EXPECT_EQ(load(""), V{});
}

TEST(SearchDrawing, FitTextWithEllipsisCutsToTheWidth) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  auto width_of = [dc](const std::string& text) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  char text[64] = "Harlune LX-4020 network printer";
  const std::string full_text = text;
  const int full = width_of(text);
  ui::FitTextWithEllipsis(dc, text, full, 0);
  EXPECT_EQ(text, full_text);
  ui::FitTextWithEllipsis(dc, text, full - 1, 0);
  std::string cut = text;
  ASSERT_GE(cut.size(), 4u);
  EXPECT_EQ(cut.substr(cut.size() - 3), "...");
  EXPECT_LE(width_of(cut), full - 1);
  EXPECT_EQ(cut.substr(0, cut.size() - 3), full_text.substr(0, cut.size() - 3));
  // Margin counts against the width; nothing left to cut keeps one character.
  char narrow[16] = "Harlune";
  ui::FitTextWithEllipsis(dc, narrow, 1, 0);
  EXPECT_STREQ(narrow, "H...");
  char empty[4] = "";
  ui::FitTextWithEllipsis(dc, empty, 0, 0);
  EXPECT_STREQ(empty, "");
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

}  // namespace
