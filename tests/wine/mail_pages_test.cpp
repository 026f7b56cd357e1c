// The e-mail configure dialog's tab pages, the address history and the
// mail body editor, shown for real and driven as a user drives them. Each
// page is hosted by a plain test dialog that stands in for the tabbed
// dialog: it sends the page what the dialog sends. Every message box is
// noted in a trace and answered OK.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/ini.h"
#include "core/passwords.h"
#include "core/state.h"
#include "core/store.h"
#include "resources/configure.h"
#include "resources/mail.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "tests/wine/gui/test_dialogs.h"
#include "ui/address_book.h"
#include "ui/layout_tables.h"
#include "ui/mail_checks.h"
#include "ui/configure.h"
#include "ui/mail_pages.h"
#include "ui/tabbed_dialog.h"

namespace {

using wine_test::MonitorKey;

// Every message's text is its key, so a box names what raised it.
constexpr char kMessages[] =
    "[MESSAGE]\r\nTITLE=Test\r\nIDS_INVALID_SMTP=IDS_INVALID_SMTP\r\n"
    "IDS_INVALID_FROM_NAME=IDS_INVALID_FROM_NAME\r\nIDS_INVALID_FROM_ADDR=IDS_INVALID_FROM_ADDR\r\n"
    "IDS_INVALID_CHARACTER=IDS_INVALID_CHARACTER(%s)\r\nIDS_INVALID_TO_ADDR=IDS_INVALID_TO_ADDR\r\n"
    "IDS_MAX_TO_ADDR_ERROR=IDS_MAX_TO_ADDR_ERROR\r\nIDS_EMALREADYEXISTS=IDS_EMALREADYEXISTS\r\n"
    "IDS_INVALID_DIVIDESIZE=IDS_INVALID_DIVIDESIZE\r\n";
constexpr char kDialogs[] = "[FONT]\r\nDEFAULT=Arial,13,ANSI\r\n[TITLE]\r\nEDIT_BODY=Test editor\r\n";

// Boxes of the dialog's thread: noted, then answered OK.
std::string g_boxes;
LRESULT CALLBACK AnswerBox(int code, WPARAM wparam, LPARAM lparam) {
  auto box = reinterpret_cast<HWND>(wparam);
  if (code == HCBT_ACTIVATE && GetDlgItem(box, 0xFFFF) != nullptr && GetDlgItem(box, IDOK) != nullptr) {
    g_boxes += "box:" + gui::ControlText(box, 0xFFFF) + " ";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct Hosted {
  int template_id;
  DLGPROC proc;
  const ui::LayoutTable* layout;
  core::PortEntry* port;
  HWND page;
  HFONT font;  // the dialog's, from NIMDLG.INI
};
Hosted g_hosted;

// As the tabbed dialog does: the page is laid out before its procedure
// sees WM_INITDIALOG.
INT_PTR CALLBACK HostedPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    ui::ApplyDialogLayout(page, g_hosted.font, *g_hosted.layout);
    ui::g_configure.port = g_hosted.port;
    lparam = reinterpret_cast<LPARAM>(&ui::g_configure);
  }
  return g_hosted.proc(page, message, wparam, lparam);
}

INT_PTR CALLBACK HostProc(HWND host, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* hosted = reinterpret_cast<Hosted*>(lparam);
    hosted->page = CreateDialogParamA(core::g_monitor.module, MAKEINTRESOURCEA(hosted->template_id), host,
                                      HostedPageProc, 0);
    ShowWindow(hosted->page, SW_SHOW);
    SendMessageA(hosted->page, ui::kWizShown, 0, 0);
    return FALSE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) EndDialog(host, 0);
  if (message == WM_GETFONT && g_hosted.font != nullptr) {
    SetWindowLongPtrA(host, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(g_hosted.font));
    return TRUE;
  }
  return FALSE;
}

class MailPages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = wine_test::UseInstallFolder("vexa_mail_test");
    wine_test::WriteIni(folder, "NIMMES.INI", kMessages);
    wine_test::WriteIni(folder, "NIMDLG.INI", kDialogs);
    port_.kind = port_.block_kind = core::kMail;
    port_.block = &mail_;
  }
  // Runs a modal dialog whose boxes are noted and answered.
  HWND Show(std::function<INT_PTR()> show, const gui::DialogQuery& query) {
    g_boxes.clear();
    modal_ = gui::RunModal(
        [show] {
          HHOOK hook = SetWindowsHookExA(WH_CBT, AnswerBox, nullptr, GetCurrentThreadId());
          INT_PTR result = show();
          UnhookWindowsHookEx(hook);
          return result;
        },
        query);
    return modal_->dialog;
  }
  // Shows the page with template `id` in the host and returns the page.
  HWND Open(int id, DLGPROC proc, const ui::LayoutTable& layout) {
    char ini[MAX_PATH];
    core::IniPath(core::kDialogIni, ini, sizeof(ini));
    g_hosted = {id, proc, &layout, &port_, nullptr, ui::CreateIniFont(nullptr, "DEFAULT", ini)};
    Show([] { return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_TEST_HOST), nullptr, HostProc,
                                     reinterpret_cast<LPARAM>(&g_hosted)); },
         {.caption = "host"});
    EXPECT_NE(g_hosted.page, nullptr);
    return g_hosted.page;
  }
  // What leaving the tab answers, after the boxes it showed.
  std::string Validate() {
    LRESULT valid = SendMessageA(g_hosted.page, ui::kCfgValidate, 0, 0);
    return Boxes() + "valid:" + std::to_string(valid);
  }
  std::string Boxes() {
    gui::Settle(modal_->dialog);
    std::string seen = g_boxes;
    g_boxes.clear();
    return seen;
  }
  // The list's entries in byte order: the list's own order puts "a@x"
  // and "A@x" either way.
  std::string Listed() {
    std::vector<std::string> all;
    HWND list = GetDlgItem(g_hosted.page, IDC_TO_LIST);
    for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
      char text[80] = "";
      SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      all.push_back(text);
    }
    std::sort(all.begin(), all.end());
    std::string joined;
    for (const std::string& a : all) joined += (joined.empty() ? "" : ",") + a;
    return joined;
  }
  // The host has no Cancel button of its own.
  void Close() {
    PostMessageA(modal_->dialog, WM_COMMAND, IDCANCEL, 0);
    modal_->End();
    DeleteObject(g_hosted.font);
  }
  int FocusId() { return GetDlgCtrlID(gui::Focus(g_hosted.page)); }

  core::PortEntry port_ = {};
  core::MailBlock mail_ = {};
  std::unique_ptr<gui::Modal> modal_;
};

// The server is checked before the sender's name, the name before the
// address; a refused field has the focus, and what passed is stored.
TEST_F(MailPages, AccountChecksRunInOrderAndFocusTheFieldTheyRefuse) {
  const struct { const char* server; const char* name; const char* address; const char* trace; int focus; } rows[] = {
      {"", "", "", "box:IDS_INVALID_SMTP valid:0", IDC_SMTP_SERVER},
      {"smtp host", "", "", "box:IDS_INVALID_CHARACTER(\" #&'*,/:;<>?\\|) valid:0", IDC_SMTP_SERVER},
      {"smtp", "", "a,b", "box:IDS_INVALID_FROM_NAME valid:0", IDC_FROM_NAME},
      {"smtp", "Sales: east", "", "box:IDS_INVALID_CHARACTER(\"*,/:;<>?\\|) valid:0", IDC_FROM_NAME},
      {"smtp", "Sales #1", "", "box:IDS_INVALID_FROM_ADDR valid:0", IDC_FROM_ADDR},
      {"smtp", "Sales #1", "a,b@x", "box:IDS_INVALID_CHARACTER(\" (),:;<>?\\|) valid:0", IDC_FROM_ADDR},
      {"smtp.example", "Sales #1", "sales@example.com", "valid:1", 0},
  };
  HWND page = Open(IDD_MAIL_SERVER, ui::MailServerPageProc, ui::kMailPage3Layout);
  for (const auto& row : rows) {
    SetDlgItemTextA(page, IDC_SMTP_SERVER, row.server);
    SetDlgItemTextA(page, IDC_FROM_NAME, row.name);
    SetDlgItemTextA(page, IDC_FROM_ADDR, row.address);
    EXPECT_EQ(Validate(), row.trace) << row.server << "|" << row.name << "|" << row.address;
    if (row.focus != 0) {
      EXPECT_EQ(FocusId(), row.focus) << row.server << "|" << row.name;
    }
  }
  EXPECT_EQ(std::string(mail_.SmtpServer) + "|" + mail_.FromName + "|" + mail_.FromAddr,
            "smtp.example|Sales #1|sales@example.com");
  SetDlgItemTextA(page, IDC_SMTP_SERVER, "");
  gui::Type(page, IDC_SMTP_SERVER, std::string(40, 's'));
  EXPECT_EQ(gui::ControlText(page, IDC_SMTP_SERVER).size(), 32u);
}

// Steps, separated by ";": "add TEXT" types TEXT into the combo box and
// presses Add; "pick N" selects entry N; "del" presses Delete.
TEST_F(MailPages, DestinationsAreAddedAndDeletedWithinTheListsLimits) {
  std::string ninety_nine;
  for (int i = 0; i < 99; ++i) ninety_nine += (i ? "," : "") + std::string("u") + std::to_string(100 + i) + "@x";
  const struct { std::string to_addr; const char* steps; const char* trace; const char* listed; } rows[] = {
      {"b@x", "add a@x;add A@x;add a@x;add ;add a b@x", "box:IDS_EMALREADYEXISTS box:IDS_INVALID_FROM_ADDR "
       "box:IDS_INVALID_CHARACTER(\" (),:;<>?\\|) ", "A@x,a@x,b@x"},
      {ninety_nine, "add v@x;add w@x", "box:IDS_MAX_TO_ADDR_ERROR ", nullptr},
      {"a@x,b@x,c@x", "pick 2;del;del;del", "", ""},
      {"a@x,b@x,c@x", "pick 1;del", "", "a@x,c@x"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.steps);
    core::CopyText(mail_.ToAddr, sizeof(mail_.ToAddr), row.to_addr.c_str());
    HWND page = Open(IDD_MAIL_DESTINATIONS, ui::MailDestinationPageProc, ui::kMailPage4Layout);
    std::istringstream steps(row.steps);
    for (std::string step; std::getline(steps, step, ';');) {
      if (step.rfind("add", 0) == 0) {
        SetDlgItemTextA(page, IDC_TO_COMBO, step.substr(std::min<size_t>(step.size(), 4)).c_str());
        gui::Click(page, IDC_MAIL_ADD);
      } else if (step.rfind("pick", 0) == 0) {
        SendDlgItemMessageA(page, IDC_TO_LIST, LB_SETCURSEL, std::stoi(step.substr(5)), 0);
      } else {
        gui::Click(page, IDC_MAIL_DELETE);
      }
    }
    EXPECT_EQ(Boxes(), row.trace);
    if (row.listed != nullptr) {
      EXPECT_EQ(Listed(), row.listed);
    }
    if (row.to_addr == ninety_nine) {
      EXPECT_EQ(SendDlgItemMessageA(page, IDC_TO_LIST, LB_GETCOUNT, 0, 0), 100);
    }
    if (Listed().empty()) {
      EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_MAIL_DELETE)));
      EXPECT_EQ(FocusId(), IDC_MAIL_ADD);
      EXPECT_EQ(Validate(), "box:IDS_INVALID_TO_ADDR valid:0");
    } else if (row.listed != nullptr) {
      EXPECT_EQ(Validate(), "valid:1");
      // What is listed, in the list's order.
      EXPECT_EQ(std::string(mail_.ToAddr).size(), std::string(row.listed).size());
      if (std::string(row.steps).find("A@x") == std::string::npos) {
        EXPECT_STREQ(mail_.ToAddr, row.listed);
      }
    }
    Close();
  }
}

// A loaded ToAddr is whatever the registry held: parts longer than an
// address are cut, repeats dropped, and no more than 100 listed.
TEST_F(MailPages, ALoadedToAddrIsListedWithinTheListsLimits) {
  std::string to_addr = std::string(70, 'l') + ",a@x,a@x";
  while (to_addr.size() < sizeof(mail_.ToAddr) - 1) to_addr += ",n" + std::to_string(to_addr.size()) + "@x";
  core::CopyText(mail_.ToAddr, sizeof(mail_.ToAddr), to_addr.c_str());
  HWND page = Open(IDD_MAIL_DESTINATIONS, ui::MailDestinationPageProc, ui::kMailPage4Layout);
  EXPECT_EQ(SendDlgItemMessageA(page, IDC_TO_LIST, LB_GETCOUNT, 0, 0), 100);
  EXPECT_NE(Listed().find("a@x," + std::string(64, 'l') + ","), std::string::npos);
  EXPECT_EQ(Validate(), "valid:1");
}

// The history's slots after a save: "-" is a missing slot, "#" one that
// holds a number, "~" one longer than an address.
std::vector<std::string> Slots(int count) {
  std::vector<std::string> slots;
  for (int i = 0; i < count; ++i) {
    char name[16];
    wsprintfA(name, "Address%03d", i);
    std::string text = wine_test::Value(MonitorKey() + "\\AddrBook", name, REG_SZ);
    if (wine_test::Value(MonitorKey() + "\\AddrBook", name, REG_DWORD) != "absent") text = "#";
    slots.push_back(text == "absent" ? "-" : text.c_str());
  }
  return slots;
}

TEST_F(MailPages, TheHistoryAppendsNewAddressesWrapsAtAHundredAndStopsAtAGap) {
  const struct { const char* name; std::vector<std::string> before, added, after; } rows[] = {
      {"append", {"h0", "h1", "h2", "h3", "h4"}, {"n1", "n2"}, {"h0", "h1", "h2", "h3", "h4", "n1", "n2", "-"}},
      {"known ones are not written again", {"h0", "n1"}, {"N1", "n1"}, {"h0", "n1", "N1", "-"}},
      {"a gap ends the history", {"h0", "h1", "h2", "-", "h4"}, {"n1"}, {"h0", "h1", "h2", "n1", "h4"}},
      {"a number is passed over", {"h0", "#", "h2"}, {"h2", "n1"}, {"h0", "#", "h2", "n1"}},
      {"a long one ends the history", {"h0", "~", "h2"}, {"h2"}, {"h0", "h2", "h2"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetUp();
    std::string book = MonitorKey() + "\\AddrBook";
    for (size_t i = 0; i < row.before.size(); ++i) {
      char name[16];
      wsprintfA(name, "Address%03d", static_cast<int>(i));
      if (row.before[i] == "#") wine_test::SetDword(book, name, 7);
      if (row.before[i] == "~") wine_test::SetString(book, name, std::string(65, 'x'));
      if (row.before[i].size() > 1) wine_test::SetString(book, name, row.before[i]);
    }
    ui::AddressList list = {};
    for (const std::string& address : row.added) core::CopyText(list.entries[list.count++], 65, address.c_str());
    ui::SaveAddressHistory(&list);
    EXPECT_EQ(Slots(static_cast<int>(row.after.size())), row.after);
  }
  // All 100 in use: the next save starts again at slot 0.
  SetUp();
  ui::AddressList list = {};
  for (int i = 0; i < 100; ++i) wsprintfA(list.entries[list.count++], "h%d", i);
  ui::SaveAddressHistory(&list);
  list.count = 0;
  for (const char* address : {"n1", "n2", "n3"}) core::CopyText(list.entries[list.count++], 65, address);
  ui::SaveAddressHistory(&list);
  EXPECT_EQ(Slots(4), (std::vector<std::string>{"n1", "n2", "n3", "h3"}));
  EXPECT_EQ(Slots(100).back(), "h99");
}

// The page offers the history, and a write after a change adds the
// destinations to it and offers them too.
TEST_F(MailPages, ThePageOffersTheHistoryAndAddsItsDestinationsAfterAWrite) {
  wine_test::SetString(MonitorKey() + "\\AddrBook", "Address000", "old@x");
  wine_test::SetString(MonitorKey() + "\\AddrBook", "Address002", "lost@x");
  core::CopyText(mail_.ToAddr, sizeof(mail_.ToAddr), "b@x");
  HWND page = Open(IDD_MAIL_DESTINATIONS, ui::MailDestinationPageProc, ui::kMailPage4Layout);
  EXPECT_EQ(SendDlgItemMessageA(page, IDC_TO_COMBO, CB_GETCOUNT, 0, 0), 1);
  ui::MailBeforeWrite();
  EXPECT_EQ(Slots(2), (std::vector<std::string>{"old@x", "-"}));
  SetDlgItemTextA(page, IDC_TO_COMBO, "a@x");
  gui::Click(page, IDC_MAIL_ADD);
  ui::MailBeforeWrite();
  EXPECT_EQ(Slots(3), (std::vector<std::string>{"old@x", "a@x", "b@x"}));
  EXPECT_EQ(SendDlgItemMessageA(page, IDC_TO_COMBO, CB_GETCOUNT, 0, 0), 3);
}

// Without the monitor's "DIVIDEFILE" the division group is neither shown
// nor checked, and the port keeps its loaded values.
TEST_F(MailPages, TheDivisionGroupShowsOnlyWithDivideFileAndChecksItsSize) {
  const struct { int monitor_value; const char* size; const char* trace; std::uint32_t kept; } rows[] = {
      {-1, "15", "valid:1", 5}, {0, "15", "valid:1", 5},
      {1, "15", "box:IDS_INVALID_DIVIDESIZE valid:0", 5}, {1, "16", "valid:1", 16},
      {1, "16384", "valid:1", 16384}, {1, "16385", "box:IDS_INVALID_DIVIDESIZE valid:0", 5},
      {1, "", "box:IDS_INVALID_DIVIDESIZE valid:0", 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.monitor_value) + " " + row.size);
    if (row.monitor_value >= 0) wine_test::SetDword(MonitorKey(), "DIVIDEFILE", row.monitor_value);
    core::CopyText(mail_.ToAddr, sizeof(mail_.ToAddr), "a@x");
    mail_.DivideFile = 1, mail_.DivideSize = 5;
    HWND page = Open(IDD_MAIL_DESTINATIONS, ui::MailDestinationPageProc, ui::kMailPage4Layout);
    bool offered = row.monitor_value > 0;
    for (int id = IDC_DIVIDE_GROUP; id <= IDC_STC_KB; ++id)
      EXPECT_EQ(IsWindowVisible(GetDlgItem(page, id)) != 0, offered) << id;
    SetDlgItemTextA(page, IDC_DIVIDE_SIZE, row.size);
    EXPECT_EQ(Validate(), row.trace);
    if (offered && row.trace[0] == 'b') {
      EXPECT_EQ(FocusId(), IDC_DIVIDE_SIZE);
    }
    EXPECT_EQ(mail_.DivideSize, row.kept);
    EXPECT_EQ(mail_.DivideFile, 1u);
    Close();
    SetUp();
  }
}

// The editor takes its own font and its limits; a subject with a character
// of its set keeps it open; Cancel stores nothing, OK all three texts.
TEST_F(MailPages, TheBodyEditorChecksTheSubjectAndStoresOnlyOnOk) {
  core::CopyText(mail_.Subject, sizeof(mail_.Subject), "Old");
  auto editor = [this] { return ui::ShowMailBodyEditor(nullptr, &mail_); };
  HWND dialog = Show(editor, {.caption = "Test editor"});
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(gui::ControlText(dialog, IDC_BODY_SUBJECT), "Old");
  EXPECT_EQ(gui::FontText(gui::ControlFont(dialog, IDC_BODY_TEXT)).substr(0, 9), "Arial,-13");
  const std::pair<int, size_t> limits[] = {{IDC_BODY_SUBJECT, 42}, {IDC_BODY_TEXT, 998}, {IDC_BODY_SIGNATURE, 513}};
  for (auto [id, limit] : limits) {
    SetDlgItemTextA(dialog, id, "");
    std::string pasted(limit + 5, 'x');  // a paste is held to the limit as typing is
    SendDlgItemMessageA(dialog, id, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pasted.c_str()));
    EXPECT_EQ(gui::ControlText(dialog, id).size(), limit) << id;
  }
  EXPECT_EQ(modal_->End(IDCANCEL), 0);
  EXPECT_STREQ(mail_.Subject, "Old");
  EXPECT_STREQ(mail_.Body, "");

  dialog = Show(editor, {.caption = "Test editor"});
  SetDlgItemTextA(dialog, IDC_BODY_SUBJECT, "It's done");
  SetDlgItemTextA(dialog, IDC_BODY_TEXT, "The body's text");
  SetDlgItemTextA(dialog, IDC_BODY_SIGNATURE, "-- me");
  gui::Click(dialog, IDOK);
  EXPECT_EQ(Boxes(), "box:IDS_INVALID_CHARACTER(\"':) ");
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(GetDlgCtrlID(gui::Focus(dialog)), IDC_BODY_SUBJECT);
  SetDlgItemTextA(dialog, IDC_BODY_SUBJECT, "Done");
  EXPECT_EQ(modal_->End(IDOK), 1);
  EXPECT_EQ(std::string(mail_.Subject) + "|" + mail_.Body + "|" + mail_.Signature, "Done|The body's text|-- me");
}

// With the shipped texts every tab of the real dialog and the editor show
// their texts whole; each is saved for a person to look at.
TEST_F(MailPages, ShippedTextsFitEveryTabAndTheEditor) {
  wine_test::UseShippedTexts();
  wine_test::SetDword(MonitorKey(), "DIVIDEFILE", 1);
  core::CopyText(mail_.ToAddr, sizeof(mail_.ToAddr), "sales@example.com,office@example.com");
  mail_.DivideSize = 50;
  ASSERT_TRUE(core::CreatePortRecord(&mail_, "Mail", core::kMail));
  HWND dialog = Show([] { return ui::ShowConfigureDialog(nullptr, "Mail", core::kMail), INT_PTR{0}; },
                     {.control_id = IDC_TABS});
  ASSERT_NE(dialog, nullptr);
  const ui::LayoutTable* layouts[] = {&ui::kMailPage3Layout, &ui::kMailPage4Layout, &ui::kMailPage5Layout,
                                      &ui::kMailPage6Layout};
  for (int tab = 0; tab < 4; ++tab) {
    SendDlgItemMessageA(dialog, IDC_TABS, TCM_SETCURSEL, tab, 0);
    NMHDR change = {GetDlgItem(dialog, IDC_TABS), IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(dialog, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&change));
    ASSERT_TRUE(IsWindowVisible(ui::g_configure.pages[tab]));
    EXPECT_EQ(gui::ClippedTexts(ui::g_configure.pages[tab], *layouts[tab]), "") << "tab " << tab;
    EXPECT_TRUE(gui::SaveScreenshot(dialog, "mail_tab" + std::to_string(tab + 3)));
  }
  modal_->End(IDCANCEL);
  HWND editor = Show([this] { return ui::ShowMailBodyEditor(nullptr, &mail_); }, {.control_id = IDC_BODY_SUBJECT});
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(gui::ClippedTexts(editor, ui::kMailBodyLayout), "");
  EXPECT_TRUE(gui::SaveScreenshot(editor, "mail_body_editor"));
}

}  // namespace
