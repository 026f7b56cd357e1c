// The broadcast address dialog, driven as a user would: it runs on a thread
// of its own while the test types into the octet fields, presses keys
// through the dialog's own message loop, answers its message boxes and
// reads back what OK wrote to Qvemon.ini.
#include "ui/broadcast_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "resources/discovery.h"
#include "tests/wine/gui/dialog_fixture.h"
#include "tests/wine/gui/gui.h"

namespace {

constexpr char kDialogTexts[] =
    "[FONT]\r\n"
    "DEFAULT=Arial,12,ANSI\r\n"
    "[TITLE]\r\n"
    "SERSUB=Test broadcast\r\n"
    "[BUTTON]\r\n"
    "IDC_BTN_ADD=Add\r\n"
    "IDC_BTN_DEL=Delete\r\n"
    "IDOK=OK\r\n"
    "IDCANCEL=Cancel\r\n"
    "[LABEL]\r\n"
    "IDC_SETUMEI08=Where else to look\r\n";

constexpr char kBoxTitle[] = "Test box";
constexpr char kMessageTexts[] =
    "[MESSAGE]\r\n"
    "TITLE=Test box\r\n"
    "IDS_INVALIDIPADDRESS=bad number\\nfrom 0 to 255\r\n"
    "IDS_ADD_BROADCASE_ERROR=always searched\r\n"
    "IDS_BROADCAST_ERROR=list full\r\n"
    "IDS_IPALREADYEXISTS=already listed\r\n";

constexpr char kIni[] = "Qvemon.ini";
constexpr char kSection[] = "UserDefined";
constexpr char kMissing[] = "<missing>";
constexpr int kMessageTextId = 0xFFFF;  // the text of a message box

using Entries = std::vector<std::string>;

class Broadcast : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = gui::UseInstallFolder("vexa_broadcast_test");
    gui::WriteIni(folder_, "NIMDLG.INI", kDialogTexts);
    gui::WriteIni(folder_, "NIMMES.INI", kMessageTexts);
    DeleteFileA(Path().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Path().c_str());
  }

  std::string Path() const { return folder_ + "\\" + kIni; }
  void WriteFile(const std::string& text) { gui::WriteIni(folder_, kIni, text); }
  std::string FileBytes() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Path().c_str());
    std::ifstream in(Path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::string Value(const char* key) {
    char text[256];
    GetPrivateProfileStringA(kSection, key, kMissing, text, sizeof(text), Path().c_str());
    return text;
  }

  // Opens the dialog; null (and a failure) when it does not show.
  HWND Open(std::function<INT_PTR()> show = [] { return ui::ShowBroadcastDialog(nullptr); }) {
    modal_ = gui::RunModal(std::move(show));
    HWND dialog = gui::WaitForDialog({.control_id = IDC_OCTET1});
    EXPECT_NE(dialog, nullptr) << "the broadcast address dialog did not show";
    dialog_ = dialog;
    return dialog;
  }
  // The dialog's result; -2 when it did not end in time.
  INT_PTR Close(int button) {
    EXPECT_TRUE(gui::Click(dialog_, button));
    INT_PTR result = -2;
    gui::WaitModal(*modal_, &result);
    return result;
  }

  Entries List() {
    Entries entries;
    auto count =
        static_cast<int>(SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      char text[64] = "";
      SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_GETTEXT, i,
                          reinterpret_cast<LPARAM>(text));
      entries.push_back(text);
    }
    return entries;
  }
  int Selected() {
    return static_cast<int>(SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_GETCURSEL, 0, 0));
  }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  LONG ButtonKind(int id) { return GetWindowLongA(Item(id), GWL_STYLE) & BS_TYPEMASK; }

  // The four octets as typed, one field at a time (an empty text types nothing).
  void Enter(const char* a, const char* b, const char* c, const char* d) {
    const char* octets[] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) SetDlgItemTextA(dialog_, IDC_OCTET1 + i, "");
    for (int i = 0; i < 4; ++i) gui::Type(dialog_, IDC_OCTET1 + i, octets[i]);
  }
  std::vector<std::string> Octets() {
    std::vector<std::string> texts;
    for (int id = IDC_OCTET1; id <= IDC_OCTET4; ++id)
      texts.push_back(gui::ControlText(dialog_, id));
    return texts;
  }
  // As Tab would: the dialog manager moves the focus, and a button that
  // gets it is drawn as the default one.
  void FocusControl(int id) {
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
  }
  void FocusField(int id, DWORD start, DWORD end) {
    FocusControl(id);
    SendDlgItemMessageA(dialog_, id, EM_SETSEL, start, end);
  }

  // Presses Add the way a user does, with the focus on it, and answers the
  // message box that should follow; its text, or "<no box>".
  std::string AddExpectingBox() {
    FocusControl(IDC_BTN_ADD);
    gui::PostClick(dialog_, IDC_BTN_ADD);
    HWND box = gui::WaitForDialog({.caption = kBoxTitle, .control_id = kMessageTextId}, 3000);
    if (box == nullptr) return "<no box>";
    std::string text = gui::ControlText(box, kMessageTextId);
    EXPECT_TRUE(gui::Click(box, IDOK));
    EXPECT_TRUE(gui::WaitForClose(box));
    EXPECT_TRUE(gui::Settle(dialog_)) << "Add did not finish after its message";
    return text;
  }

  std::string folder_;
  std::unique_ptr<gui::Modal> modal_;
  HWND dialog_ = nullptr;
};

std::string FileWithAddresses(const Entries& hex) {
  std::string text = "[UserDefined]\r\nUDPCount=" + std::to_string(hex.size()) + "\r\n";
  char key[16];
  for (std::size_t i = 0; i < hex.size(); ++i) {
    std::snprintf(key, sizeof(key), "UDP%02u", static_cast<unsigned>(i));
    text += std::string(key) + "=" + hex[i] + "\r\n";
  }
  return text;
}

}  // namespace

TEST_F(Broadcast, OpensEmptyWithoutAnyAddressToRead) {
  const char* files[] = {
      nullptr,  // no file at all
      "[UserDefined]\r\nUDPCount=0\r\nUDP00=c0a801ff\r\n",
      "[UserDefined]\r\nUDP00=c0a801ff\r\n",
      "[UserDefined]\r\nUDPCount=-3\r\nUDP00=c0a801ff\r\n",
      "[UserDefined]\r\nUDPCount=two\r\nUDP00=c0a801ff\r\n",
  };
  for (const char* file : files) {
    SCOPED_TRACE(file != nullptr ? file : "no file");
    if (file != nullptr) WriteFile(file);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(gui::Text(dialog_), "Test broadcast");
    EXPECT_EQ(List(), Entries{});
    EXPECT_FALSE(Enabled(IDC_BTN_DEL));
    EXPECT_TRUE(Enabled(IDC_BTN_ADD));
    EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET1));
    EXPECT_EQ(Close(IDCANCEL), 0);
  }
}

TEST_F(Broadcast, ShowsThePictureAndUsesTheOwnersFontOrItsOwn) {
  ASSERT_NE(Open(), nullptr);
  auto picture = reinterpret_cast<HBITMAP>(
      SendDlgItemMessageA(dialog_, IDC_ADDRESS_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(picture, nullptr);
  BITMAP size = {};
  ASSERT_NE(GetObjectA(picture, sizeof(size), &size), 0);
  EXPECT_EQ(size.bmWidth, 269);
  EXPECT_EQ(size.bmHeight, 159) << "the picture's control is 162 high; 3 less";
  gui::FontInfo own = gui::ControlFont(dialog_, IDC_OCTET1);
  EXPECT_EQ(own.face, "Arial");
  EXPECT_EQ(own.height, -12);
  EXPECT_EQ(gui::ControlFont(dialog_, IDC_BTN_ADD).handle, own.handle);
  EXPECT_EQ(Close(IDCANCEL), 0);
  EXPECT_EQ(GetObjectType(picture), 0u) << "the picture outlived the dialog";
  EXPECT_EQ(GetObjectType(own.handle), 0u) << "the dialog's own font outlived it";

  // An owner that has a font lends it; the dialog must not delete it.
  HFONT lent =
      CreateFontA(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Courier New");
  ASSERT_NE(lent, nullptr);
  ASSERT_NE(Open([lent] {
              HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                         nullptr, nullptr, nullptr);
              SendMessageA(owner, WM_SETFONT, reinterpret_cast<WPARAM>(lent), FALSE);
              INT_PTR result = ui::ShowBroadcastDialog(owner);
              DestroyWindow(owner);
              return result;
            }),
            nullptr);
  EXPECT_EQ(gui::ControlFont(dialog_, IDC_OCTET1).handle, lent);
  EXPECT_EQ(gui::ControlFont(dialog_, IDC_SETUMEI08).handle, lent);
  EXPECT_EQ(Close(IDCANCEL), 0);
  EXPECT_EQ(GetObjectType(lent), static_cast<DWORD>(OBJ_FONT));
  DeleteObject(lent);
}

// The first address read is selected, and stays selected as the list box
// sorts the others in around it.
TEST_F(Broadcast, LoadsTheFileInTextOrderWithTheFirstKeySelected) {
  WriteFile(
      "[UserDefined]\r\n"
      "UDPCount=4\r\n"
      "UDP00=c0a801ff\r\n"
      "UDP01=0A0000FF\r\n"
      "UDP02=c0a8xyff\r\n"    // not hexadecimal: all ones
      "UDP03=\r\n"            // empty: zero
      "UDP04=ac1000ff\r\n");  // beyond the count
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(List(), (Entries{"0.0.0.0", "10.0.0.255", "192.168.1.255", "255.255.255.255"}));
  EXPECT_EQ(Selected(), 2) << "UDP00's address";
  EXPECT_TRUE(Enabled(IDC_BTN_DEL));
  EXPECT_EQ(Close(IDCANCEL), 0);
}

TEST_F(Broadcast, AHostileFileGivesABoundedList) {
  std::string file =
      "[UserDefined]\r\n"
      "UDPCount=99999999\r\n"
      "UDP00=c0a801ff\r\n"
      "UDP01=" +
      std::string(600, 'f') + "\r\n";
  WriteFile(file);
  DWORD start = GetTickCount();
  ASSERT_NE(Open(), nullptr);
  Entries list = List();
  ASSERT_EQ(list.size(), 64u) << "no more than the search itself reads";
  EXPECT_EQ(list.back(), "255.255.255.255");
  EXPECT_EQ(list[list.size() - 2], "192.168.1.255");
  EXPECT_EQ(list.front(), "0.0.0.0") << "keys that are missing read as empty";
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_EQ(Value("UDPCount"), "64");
  EXPECT_EQ(Value("UDP63"), "ffffffff");

  // A count made absurd behind the dialog's back: saving a short list over
  // it clears the old keys up to what anyone reads, and no further.
  WriteFile(FileWithAddresses({"c0a801ff"}));
  ASSERT_NE(Open(), nullptr);
  WriteFile("[UserDefined]\r\nUDPCount=2147483647\r\nUDP00=c0a801ff\r\nUDP40=0a0000ff\r\n");
  start = GetTickCount();
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_EQ(Value("UDPCount"), "1");
  EXPECT_EQ(Value("UDP00"), "c0a801ff");
  EXPECT_EQ(Value("UDP40"), kMissing);
}

TEST_F(Broadcast, AddPutsTheAddressInTextOrderAndOkSavesTheList) {
  WriteFile(FileWithAddresses({"c0a801ff"}));
  ASSERT_NE(Open(), nullptr);
  Enter("10", "0", "0", "255");
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_ADD));
  EXPECT_EQ(List(), (Entries{"10.0.0.255", "192.168.1.255"}));
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(Octets(), (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_EQ(Value("UDPCount"), "2");
  EXPECT_EQ(Value("UDP00"), "0a0000ff");
  EXPECT_EQ(Value("UDP01"), "c0a801ff");
}

TEST_F(Broadcast, DeleteKeepsASelectionAndOkClearsKeysAboveTheNewCount) {
  WriteFile(FileWithAddresses({"0a0000ff", "c0a801ff", "ac1000ff"}));
  ASSERT_NE(Open(), nullptr);
  ASSERT_EQ(List(), (Entries{"10.0.0.255", "172.16.0.255", "192.168.1.255"}));
  SendDlgItemMessageA(dialog_, IDC_BROADCAST_LIST, LB_SETCURSEL, 2, 0);
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(List(), (Entries{"10.0.0.255", "172.16.0.255"}));
  EXPECT_EQ(Selected(), 1) << "the last entry went: the new last one";
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_EQ(Value("UDPCount"), "2");
  EXPECT_EQ(Value("UDP00"), "0a0000ff");
  EXPECT_EQ(Value("UDP01"), "ac1000ff");
  EXPECT_EQ(Value("UDP02"), kMissing);

  ASSERT_NE(Open(), nullptr);
  FocusControl(IDC_BTN_DEL);
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(List(), Entries{"172.16.0.255"});
  EXPECT_EQ(Selected(), 0) << "the entry that moved up";
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(List(), Entries{});
  EXPECT_FALSE(Enabled(IDC_BTN_DEL));
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_BTN_ADD));
  EXPECT_EQ(ButtonKind(IDC_BTN_DEL), BS_PUSHBUTTON);
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_EQ(Value("UDPCount"), kMissing);
  EXPECT_EQ(Value("UDP00"), kMissing);
  EXPECT_EQ(Value("UDP01"), kMissing);

  // Adding to the empty list brings Delete back.
  ASSERT_NE(Open(), nullptr);
  Enter("192", "168", "2", "255");
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_ADD));
  EXPECT_TRUE(Enabled(IDC_BTN_DEL));
  EXPECT_EQ(Selected(), 0);
  EXPECT_EQ(Close(IDCANCEL), 0);
}

TEST_F(Broadcast, CancelLeavesTheFileByteForByte) {
  const std::string file =
      "; written by hand\r\n"
      "[UserDefined]\r\n"
      "UDPCount = 2\r\n"
      "UDP00=c0a801ff\r\n"
      "UDP01=0a0000ff\r\n"
      "UDP02=stale\r\n"
      "[Other]\r\n"
      "x=1\r\n";
  WriteFile(file);
  ASSERT_NE(Open(), nullptr);
  Enter("172", "16", "0", "255");
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_ADD));
  EXPECT_TRUE(gui::Click(dialog_, IDC_BTN_DEL));
  EXPECT_EQ(Close(IDCANCEL), 0);
  EXPECT_EQ(FileBytes(), file);
}

TEST_F(Broadcast, AWrongAddressIsRefusedAtTheFieldToFix) {
  WriteFile(FileWithAddresses({"c0a801ff"}));
  ASSERT_NE(Open(), nullptr);
  const struct {
    const char* octets[4];
    const char* message;
    int field;
  } cases[] = {
      {{"192", "168", "1", "256"}, "bad number\r\nfrom 0 to 255", IDC_OCTET4},
      {{"192", "168", "", "255"}, "bad number\r\nfrom 0 to 255", IDC_OCTET3},
      {{"", "999", "", "1"}, "bad number\r\nfrom 0 to 255", IDC_OCTET1},
      {{"255", "255", "255", "255"}, "always searched", IDC_OCTET1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Enter(c.octets[0], c.octets[1], c.octets[2], c.octets[3]);
    EXPECT_EQ(AddExpectingBox(), c.message);
    EXPECT_EQ(gui::Focus(dialog_), Item(c.field));
    gui::Selection selection = gui::EditSelection(dialog_, c.field);
    EXPECT_EQ(selection.start, 0u);
    EXPECT_EQ(selection.end, gui::ControlText(dialog_, c.field).size());
    EXPECT_EQ(ButtonKind(IDC_BTN_ADD), BS_PUSHBUTTON) << "Add still looks like the default";
    EXPECT_EQ(List(), Entries{"192.168.1.255"});
    EXPECT_EQ(Octets()[3], c.octets[3]) << "the fields keep what was typed";
  }
  EXPECT_EQ(Close(IDCANCEL), 0);
}

TEST_F(Broadcast, AFullListOrARepeatedAddressIsRefusedWhereTheUserIs) {
  Entries sixteen;
  for (int i = 0; i < 16; ++i) {
    char hex[9];
    std::snprintf(hex, sizeof(hex), "0a00%02xff", i);
    sixteen.push_back(hex);
  }
  WriteFile(FileWithAddresses(sixteen));
  ASSERT_NE(Open(), nullptr);
  ASSERT_EQ(List().size(), 16u);
  Enter("10", "0", "16", "255");
  EXPECT_EQ(AddExpectingBox(), "list full");
  EXPECT_EQ(List().size(), 16u);
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_BTN_ADD));
  EXPECT_EQ(Octets()[2], "16");
  EXPECT_EQ(Close(IDOK), 1);
  EXPECT_EQ(Value("UDPCount"), "16");

  WriteFile(FileWithAddresses({"c0a801ff"}));
  ASSERT_NE(Open(), nullptr);
  Enter("192", "168", "1", "255");
  EXPECT_EQ(AddExpectingBox(), "already listed");
  EXPECT_EQ(List(), Entries{"192.168.1.255"});
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_BTN_ADD));
  EXPECT_EQ(Close(IDCANCEL), 0);
}

TEST_F(Broadcast, ThreeDigitsGoOnToTheNextFieldAndBackspaceComesBack) {
  ASSERT_NE(Open(), nullptr);
  SetDlgItemTextA(dialog_, IDC_OCTET2, "168");
  gui::Type(dialog_, IDC_OCTET1, "192");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET2));
  gui::Selection selection = gui::EditSelection(dialog_, IDC_OCTET2);
  EXPECT_EQ(selection.start, 0u);
  EXPECT_EQ(selection.end, 3u) << "typing replaces what the next field held";
  gui::Type(dialog_, IDC_OCTET2, "1");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET2), "1");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET2));
  gui::Type(dialog_, IDC_OCTET2, "00");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET3));
  gui::Type(dialog_, IDC_OCTET3, "001");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET4));
  gui::Type(dialog_, IDC_OCTET4, "2555");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET4), "255");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET4)) << "the last field goes nowhere";

  // A fourth digit in a full field (the limit reached) goes on as well.
  FocusField(IDC_OCTET1, 3, 3);
  gui::Type(dialog_, IDC_OCTET1, "5");
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET1), "192");
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET2));

  // Backspace at a field's start takes the whole previous field.
  FocusField(IDC_OCTET2, 0, 0);
  ASSERT_TRUE(gui::PressKey(dialog_, IDC_OCTET2, VK_BACK));
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET1));
  selection = gui::EditSelection(dialog_, IDC_OCTET1);
  EXPECT_EQ(selection.start, 0u);
  EXPECT_EQ(selection.end, 3u);
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET2), "100");

  // Elsewhere it is an ordinary Backspace, which the field still gets.
  FocusField(IDC_OCTET3, 1, 1);
  ASSERT_TRUE(gui::PressKey(dialog_, IDC_OCTET3, VK_BACK));
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET3));
  EXPECT_EQ(gui::ControlText(dialog_, IDC_OCTET3), "01");
  FocusField(IDC_OCTET1, 0, 0);
  ASSERT_TRUE(gui::PressKey(dialog_, IDC_OCTET1, VK_BACK));
  EXPECT_EQ(gui::Focus(dialog_), Item(IDC_OCTET1));
  EXPECT_EQ(Close(IDCANCEL), 0);
}

TEST_F(Broadcast, ArrowHomeEndAndDecimalKeysRunAcrossTheFields) {
  ASSERT_NE(Open(), nullptr);
  const char* texts[] = {"192", "168", "1", "255"};
  for (int i = 0; i < 4; ++i) SetDlgItemTextA(dialog_, IDC_OCTET1 + i, texts[i]);
  const struct {
    const char* what;
    int field;
    DWORD start, end;
    WPARAM key;
    int focus;
    DWORD focus_start, focus_end;
  } cases[] = {
      {"Left at the start", IDC_OCTET2, 0, 0, VK_LEFT, IDC_OCTET1, 3, 3},
      {"Left inside", IDC_OCTET2, 1, 1, VK_LEFT, IDC_OCTET2, 0, 0},
      {"Left at the first field's start", IDC_OCTET1, 0, 0, VK_LEFT, IDC_OCTET1, 0, 0},
      {"Right at the end", IDC_OCTET3, 1, 1, VK_RIGHT, IDC_OCTET4, 0, 0},
      {"Right over a selection", IDC_OCTET1, 0, 3, VK_RIGHT, IDC_OCTET1, 3, 3},
      {"Right inside", IDC_OCTET1, 1, 1, VK_RIGHT, IDC_OCTET1, 2, 2},
      {"Right at the last field's end", IDC_OCTET4, 3, 3, VK_RIGHT, IDC_OCTET4, 3, 3},
      {"Decimal point after a digit", IDC_OCTET1, 2, 2, VK_DECIMAL, IDC_OCTET2, 0, 3},
      {"Decimal point at the start", IDC_OCTET3, 0, 0, VK_DECIMAL, IDC_OCTET3, 0, 0},
      {"Decimal point over a selection", IDC_OCTET1, 0, 3, VK_DECIMAL, IDC_OCTET1, 0, 3},
      {"Decimal point in the last field", IDC_OCTET4, 3, 3, VK_DECIMAL, IDC_OCTET4, 3, 3},
      {"Home", IDC_OCTET3, 1, 1, VK_HOME, IDC_OCTET1, 0, 0},
      {"End", IDC_OCTET1, 1, 1, VK_END, IDC_OCTET4, 3, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FocusField(c.field, c.start, c.end);
    ASSERT_TRUE(gui::PressKey(dialog_, c.field, c.key));
    EXPECT_EQ(gui::Focus(dialog_), Item(c.focus));
    gui::Selection selection = gui::EditSelection(dialog_, c.focus);
    EXPECT_EQ(selection.start, c.focus_start);
    EXPECT_EQ(selection.end, c.focus_end);
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Octets()[i], texts[i]) << "no key changed a field";
  EXPECT_EQ(Close(IDCANCEL), 0);
}

// With the texts shipped beside the DLL, as a user sees the dialog.
class BroadcastShipped : public Broadcast {
 protected:
  void SetUp() override { folder_ = gui::UseShippedTexts(); }
  void TearDown() override {
    DeleteFileA(Path().c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, Path().c_str());
  }
};

TEST_F(BroadcastShipped, TextsFitAndScreenshot) {
  WriteFile(FileWithAddresses({"c0a801ff", "0a0000ff"}));
  ASSERT_NE(Open(), nullptr);
  RECT label = gui::ControlRect(dialog_, IDC_SETUMEI08);
  SIZE need = gui::TextSize(Item(IDC_SETUMEI08), label.right - label.left);
  EXPECT_FALSE(gui::ControlText(dialog_, IDC_SETUMEI08).empty());
  EXPECT_LE(need.cy, label.bottom - label.top) << gui::ControlText(dialog_, IDC_SETUMEI08);
  for (int id : {IDC_BTN_ADD, IDC_BTN_DEL, IDOK, IDCANCEL}) {
    RECT rect = gui::ControlRect(dialog_, id);
    need = gui::TextSize(Item(id));
    EXPECT_FALSE(gui::ControlText(dialog_, id).empty()) << id;
    EXPECT_LE(need.cx + 8, rect.right - rect.left) << id;
  }
  if (gui::HaveDisplay()) {
    Enter("172", "16", "0", "255");
    std::string path;
    EXPECT_TRUE(gui::SaveScreenshot(dialog_, "broadcast_dialog", &path));
    std::printf("screenshot: %s\n", path.c_str());
  }
  EXPECT_EQ(Close(IDCANCEL), 0);
}
