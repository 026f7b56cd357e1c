// The broadcast address dialog, driven as a user would from another thread: keys go
// through its message loop (where its filter hook sees them), its message boxes are answered.
#include "ui/broadcast_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "resources/discovery.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/layout_tables.h"

namespace {

constexpr char kMessageTexts[] =
    "[MESSAGE]\r\nTITLE=Test box\r\nIDS_INVALIDIPADDRESS=bad number\\nfrom 0 to 255\r\n"
    "IDS_ADD_BROADCASE_ERROR=always searched\r\nIDS_BROADCAST_ERROR=list full\r\n"
    "IDS_IPALREADYEXISTS=already listed\r\n";
constexpr int kMessageTextId = 0xFFFF;  // the text of a message box

using Entries = std::vector<std::string>;

class Broadcast : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = wine_test::UseInstallFolder("vexa_broadcast_test");
    wine_test::WriteIni(folder_, "NIMDLG.INI", "[FONT]\r\nDEFAULT=Arial,12,ANSI\r\n");
    wine_test::WriteIni(folder_, "NIMMES.INI", kMessageTexts);
    WriteFile("");
  }
  // The shipped folder is the test EXE's: no list may be left there for the next run.
  void TearDown() override { DeleteFileA(Path().c_str()); }
  std::string Path() const { return folder_ + "\\Qvemon.ini"; }
  void WriteFile(const std::string& text) { wine_test::WriteIni(folder_, "Qvemon.ini", text); }
  std::string FileBytes() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Path().c_str());  // drops a cached copy
    std::ifstream in(Path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  HWND Open() {
    modal_ = gui::RunModal([] { return ui::ShowBroadcastDialog(nullptr); },
                           {.control_id = IDC_OCTET1});
    return dialog_ = modal_->dialog;
  }

  Entries List() {
    Entries entries;
    char text[64];
    while (SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_GETTEXT, entries.size(),
                               reinterpret_cast<LPARAM>(text)) != LB_ERR)
      entries.push_back(text);
    return entries;
  }
  auto Selected() { return SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_GETCURSEL, 0, 0); }
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
  bool LooksDefault(int id) { return GetWindowLongA(Item(id), GWL_STYLE) & BS_DEFPUSHBUTTON; }

  void Enter(const Entries& octets) {
    for (int i = 0; i < 4; ++i) SetDlgItemTextA(dialog_, IDC_OCTET1 + i, octets[i].c_str());
  }
  void Add(const Entries& octets) {
    Enter(octets);
    EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_ADD));
  }
  // Adds with the focus on Add (so that it looks like the default button) and
  // answers the box that should follow; its text, or "<no box>".
  std::string AddExpectingBox(const Entries& octets) {
    Enter(octets);
    FocusField(IDC_BTN_ADD);
    gui::PostClick(dialog_, IDC_BTN_ADD);
    HWND box = gui::WaitForDialog({.caption = "Test box", .control_id = kMessageTextId}, 3000);
    if (box == nullptr) return "<no box>";
    std::string text = gui::ControlText(box, kMessageTextId);
    EXPECT_TRUE(gui::Click(box, IDOK) && gui::Poll([box] { return !IsWindow(box); }));
    EXPECT_TRUE(gui::Settle(dialog_)) << "Add did not finish after its message";
    return text;
  }
  // As Tab would: the dialog manager moves the focus and restyles the buttons.
  void FocusField(int id, DWORD start = 0, DWORD end = 0) {
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    SendDlgItemMessageA(dialog_, id, EM_SETSEL, start, end);
  }
  void ExpectFocus(int id, DWORD start, DWORD end) {
    EXPECT_EQ(gui::Focus(dialog_), Item(id));
    EXPECT_EQ(SendDlgItemMessageA(dialog_, id, EM_GETSEL, 0, 0), MAKELONG(start, end));
  }

  std::string folder_;
  std::unique_ptr<gui::Modal> modal_;
  HWND dialog_ = nullptr;
};

}  // namespace

// The first address read stays selected as the list box sorts the others in
// around it; whatever was read, Cancel writes nothing.
TEST_F(Broadcast, LoadsTheFileAndCancelLeavesIt) {
  const std::tuple<std::string, Entries, LRESULT> cases[] = {
      {"", {}, LB_ERR},
      {"[UserDefined]\r\nUDPCount=0\r\nUDP00=c0a801ff\r\n", {}, LB_ERR},
      {"[UserDefined]\r\nUDPCount=-3\r\nUDP00=c0a801ff\r\n", {}, LB_ERR},
      {"; by hand\r\n[UserDefined]\r\nUDPCount = 4\r\nUDP00=c0a801ff\r\nUDP01=0A0000FF\r\n"
       "UDP02=c0a8xyff\r\nUDP03=\r\nUDP04=ac1000ff\r\n[Other]\r\nx=1\r\n",
       {"0.0.0.0", "10.0.0.255", "192.168.1.255", "255.255.255.255"},
       2}};
  for (const auto& [file, list, selected] : cases) {
    SCOPED_TRACE(file);
    WriteFile(file);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(List(), list);
    EXPECT_EQ(Selected(), selected);
    EXPECT_EQ(Enabled(IDC_BTN_DEL), !list.empty());
    EXPECT_EQ(modal_->End(IDCANCEL), 0);
    EXPECT_EQ(FileBytes(), file);
  }
}

TEST_F(Broadcast, AHostileFileOpensAndSavesQuickly) {
  WriteFile("[UserDefined]\r\nUDPCount=99999999\r\nUDP00=" + std::string(600, 'f') + "\r\n");
  DWORD start = GetTickCount();
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(List().size(), 64u) << "no more than the search itself reads";
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_NE(FileBytes().find("UDPCount=64\r\n"), std::string::npos);
}

// A refused address stays typed in; a wrong one sends the user to the field
// to fix, its text selected for retyping.
TEST_F(Broadcast, AddSortsRefusesAndOkSavesInListOrder) {
  WriteFile("[UserDefined]\r\nUDPCount=1\r\nUDP00=c0a801ff\r\n");
  ASSERT_NE(Open(), nullptr);
  Add({"10", "0", "0", "255"});
  EXPECT_EQ(List(), (Entries{"10.0.0.255", "192.168.1.255"}));
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET1), "");
  const std::tuple<Entries, const char*, int> cases[] = {
      {{"192", "168", "1", "256"}, "bad number\r\nfrom 0 to 255", IDC_OCTET4},
      {{"192", "168", "", "255"}, "bad number\r\nfrom 0 to 255", IDC_OCTET3},
      {{"255", "255", "255", "255"}, "always searched", IDC_OCTET1},
      {{"10", "0", "0", "255"}, "already listed", IDC_BTN_ADD}};
  for (const auto& [octets, message, focus] : cases) {
    SCOPED_TRACE(message);
    EXPECT_EQ(AddExpectingBox(octets), message);
    EXPECT_EQ(List().size(), 2u);
    EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET4), octets[3]);
    bool field = focus != IDC_BTN_ADD;  // else the focus stays on Add
    ExpectFocus(focus, 0, field ? static_cast<DWORD>(octets[focus - IDC_OCTET1].size()) : 0);
    EXPECT_FALSE(field && LooksDefault(IDC_BTN_ADD)) << "Add still looks like the default";
  }
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_EQ(FileBytes(), "[UserDefined]\r\nUDPCount=2\r\nUDP00=0a0000ff\r\nUDP01=c0a801ff\r\n");

  ASSERT_NE(Open(), nullptr);
  for (int i = 1; i <= 14; ++i) Add({"10", "0", std::to_string(i), "255"});
  EXPECT_EQ(AddExpectingBox({"10", "0", "15", "255"}), "list full");
  EXPECT_EQ(List().size(), 16u);
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_BTN_ADD));
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
}

TEST_F(Broadcast, DeleteKeepsASelectionAndOkRemovesEveryOldKey) {
  WriteFile(  // UDP00's address, selected, is the middle one
      "[UserDefined]\r\nUDPCount=3\r\nUDP00=ac1000ff\r\nUDP01=0a0000ff\r\nUDP02=c0a801ff\r\n");
  ASSERT_NE(Open(), nullptr);
  // The picture and the font are the dialog's own, and must go with it.
  auto picture = reinterpret_cast<HBITMAP>(
      SendDlgItemMessageA(dialog_, IDC_ADDRESS_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
  HFONT font = gui::ControlFont(dialog_, IDC_OCTET1);
  EXPECT_EQ(gui::FontText(font), "Arial,-12,0");
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(List(), (Entries{"10.0.0.255", "192.168.1.255"}));
  EXPECT_EQ(Selected(), 1) << "the next one moved up";
  FocusField(IDC_BTN_DEL);
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));  // the last: the new last
  EXPECT_EQ(Selected(), 0);
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_FALSE(Enabled(IDC_BTN_DEL));
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_BTN_ADD)) << "a disabled button kept the focus";
  EXPECT_FALSE(LooksDefault(IDC_BTN_DEL));
  Add({"192", "168", "2", "255"});
  EXPECT_TRUE(Enabled(IDC_BTN_DEL));
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_EQ(FileBytes(), "[UserDefined]\r\n");
  EXPECT_EQ(GetObjectType(picture), 0u) << "the picture outlived the dialog";
  EXPECT_EQ(GetObjectType(font), 0u) << "the font outlived the dialog";
}

// Typing and the editing keys run across the fields as through one address;
// the key still reaches its own field. Per case: the field and its selection,
// the key, then the field with the focus and its selection.
TEST_F(Broadcast, TypingAndKeysRunAcrossTheFields) {
  ASSERT_NE(Open(), nullptr);
  const int f1 = IDC_OCTET1, f2 = IDC_OCTET2, f3 = IDC_OCTET3, f4 = IDC_OCTET4;
  Enter({"192", "168", "1", "255"});
  const std::tuple<int, DWORD, DWORD, WPARAM, int, DWORD, DWORD> cases[] = {
      {f3, 1, 1, '0', f3, 2, 2},        {f3, 2, 2, '0', f4, 0, 3},
      {f1, 3, 3, '5', f2, 0, 3},        {f4, 3, 3, '5', f4, 3, 3},
      {f2, 0, 0, VK_BACK, f1, 0, 3},    {f1, 0, 0, VK_BACK, f1, 0, 0},
      {f2, 0, 0, VK_LEFT, f1, 3, 3},    {f2, 1, 1, VK_LEFT, f2, 0, 0},
      {f1, 0, 0, VK_LEFT, f1, 0, 0},    {f3, 3, 3, VK_RIGHT, f4, 0, 0},
      {f1, 0, 3, VK_RIGHT, f1, 3, 3},   {f1, 1, 1, VK_RIGHT, f1, 2, 2},
      {f4, 3, 3, VK_RIGHT, f4, 3, 3},   {f1, 2, 2, VK_DECIMAL, f2, 0, 3},
      {f3, 0, 0, VK_DECIMAL, f3, 0, 0}, {f1, 0, 3, VK_DECIMAL, f1, 0, 3},
      {f4, 3, 3, VK_DECIMAL, f4, 3, 3}, {f3, 1, 1, VK_HOME, f1, 0, 0},
      {f1, 1, 1, VK_END, f4, 3, 3},     {f4, 3, 3, VK_BACK, f4, 2, 2}};
  for (const auto& [field, start, end, key, focus, focus_start, focus_end] : cases) {
    SCOPED_TRACE(testing::Message() << "key " << key << " in " << field << " at " << end);
    FocusField(field, start, end);
    ASSERT_TRUE(gui::PressKey(dialog_, field, key));
    ExpectFocus(focus, focus_start, focus_end);
  }
  EXPECT_EQ(gui::ControlText(dialog_, f1), "192") << "a key went on to the field it moved to";
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
}

// With the texts shipped beside the DLL, as a user sees the dialog.
TEST_F(Broadcast, ShippedTextsFitAndScreenshot) {
  folder_ = wine_test::UseShippedTexts();
  ASSERT_NE(Open(), nullptr);
  Add({"192", "168", "1", "255"});
  EXPECT_EQ(gui::ClippedTexts(dialog_, ui::kBroadcastLayout), "");
  Enter({"172", "16", "0", "255"});
  EXPECT_TRUE(gui::SaveScreenshot(dialog_, "broadcast_dialog"));
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
}
