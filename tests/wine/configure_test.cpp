// The configure dialogs, opened through the monitor's ConfigurePort as the
// spooler opens them and driven as a user drives them. Each scenario is a
// line of steps and the trace it must leave: the messages raised, the tab
// shown, Apply turning on and off, how the dialog ended; and the values in
// the port's key afterwards, in their registry types and bytes.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "core/ini.h"
#include "core/ports.h"
#include "core/state.h"
#include "core/store.h"
#include "monitor/monitor_table.h"
#include "resources/configure.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/configure.h"
#include "ui/layout_tables.h"
#include "ui/tabbed_dialog.h"

namespace {

using wine_test::PortKey;
using wine_test::SetDword;
using wine_test::SetString;

// Every message's text is its own key, so a box names what raised it.
constexpr char kMessages[] =
    "[MESSAGE]\r\nTITLE=Test\r\nIDS_INVALID_TIMEOUT=IDS_INVALID_TIMEOUT\r\n"
    "IDS_INVALID_URI=IDS_INVALID_URI\r\nIDS_INVALID_PROXYNAME=IDS_INVALID_PROXYNAME\r\n"
    "IDS_INVALID_PROXYNUMBER=IDS_INVALID_PROXYNUMBER\r\n"
    "IDS_INVALID_CHUNKSIZE=IDS_INVALID_CHUNKSIZE\r\n";
constexpr char kDialogs[] = "[TITLE]\r\nCONFIG=Cfg\r\nCONFSUB=Advanced\r\n";

constexpr char kUrl[] = "http://127.0.0.1:631/printers/q";

// Every value of the port's key, by name: numbers in decimal, texts with
// the size read back, binary values in hex.
std::string KeyValues(const std::string& port) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PortKey(port).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "no key";
  std::map<std::string, std::string> values;
  char name[256];
  BYTE data[400];
  for (DWORD i = 0;; ++i) {
    DWORD name_size = sizeof(name), size = sizeof(data), type = 0;
    if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string shown;
    if (type == REG_DWORD) shown = std::to_string(*reinterpret_cast<DWORD*>(data));
    if (type == REG_SZ)
      shown = std::string(reinterpret_cast<char*>(data)) + "(" + std::to_string(size) + ")";
    if (type == REG_BINARY)
      for (DWORD b = 0; b < size; ++b) {
        char hex[3];
        std::snprintf(hex, sizeof(hex), "%02x", data[b]);
        shown += hex;
      }
    values[name] = shown;
  }
  RegCloseKey(key);
  std::string out;
  for (const auto& [n, v] : values) out += n + "=" + v + " ";
  return out;
}

// What the dialog writes, alone: the key loses every value once the dialog
// has loaded them.
void WipeValues(const std::string& port) {
  HKEY key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, PortKey(port).c_str(), 0, KEY_ALL_ACCESS, &key);
  char name[256];
  for (DWORD size = sizeof(name); RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr,
                                                nullptr) == ERROR_SUCCESS;
       size = sizeof(name))
    RegDeleteValueA(key, name);
  RegCloseKey(key);
}

class Configure : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    table_ = wine_test::StartedMonitor();
    ASSERT_NE(table_, nullptr);
    // The DLL's entry plugs the dialogs in; this EXE links them itself.
    core::g_monitor.hooks.configure_port = ui::ShowConfigureDialog;
  }

  void SetUp() override {
    std::string folder = wine_test::UseInstallFolder("vexa_configure_test");
    wine_test::WriteIni(folder, "NIMMES.INI", kMessages);
    wine_test::WriteIni(folder, "NIMDLG.INI", kDialogs);
    core::Locked lock;
    while (core::g_monitor.ports != nullptr) core::RemovePortEntry(core::g_monitor.ports->name);
  }

  // A port as the wizard makes it: its key, then its entry.
  static void MakePort(const char* name, std::uint32_t kind) {
    core::LprBlock lpr{};
    core::CopyText(lpr.HostName, sizeof(lpr.HostName), "10.0.0.5");
    core::CopyText(lpr.PortName, sizeof(lpr.PortName), "lp");
    core::IppBlock ipp{};
    core::CopyText(ipp.URL, sizeof(ipp.URL), kUrl);
    core::CopyText(ipp.Language, sizeof(ipp.Language), "en-us");
    const void* settings = kind == core::kIpp ? static_cast<const void*>(&ipp) : &lpr;
    ASSERT_TRUE(core::CreatePortRecord(settings, name, kind));
    core::Locked lock;
    core::AddPortEntry(nullptr, name, nullptr, kind);
  }

  void Open(const std::string& port, const std::string& title = "Cfg") {
    port_ = port;
    trace_.str("");
    shown_tab_ = 0;
    apply_on_ = false;
    caption_ = title + " - " + port;
    modal_ = gui::RunModal(
        [port] {
          std::string name = port;
          return static_cast<INT_PTR>(table_->ConfigurePort(nullptr, GetDesktopWindow(), name.data()));
        },
        {.caption = caption_.c_str()});
    ASSERT_NE(modal_->dialog, nullptr) << "no dialog captioned " << caption_;
    dialog_ = modal_->dialog;
    tabbed_ = GetDlgItem(dialog_, IDC_TABS) != nullptr;
  }

  HWND Page() { return tabbed_ ? ui::g_configure.pages[ui::g_configure.current] : dialog_; }
  // Where fields and buttons are: the advanced settings while they show.
  HWND Target() { return IsWindow(advanced_) ? advanced_ : Page(); }
  HWND Buttons() { return IsWindow(advanced_) ? advanced_ : dialog_; }

  // After an action: answers each message box with OK and notes what
  // changed, until the dialog is idle or has ended.
  void Settle() {
    for (int rounds = 0; rounds < 500; ++rounds) {
      if (WaitForSingleObject(modal_->thread, 0) == WAIT_OBJECT_0) {
        // ConfigurePort succeeds however its dialog ended: what the dialog
        // wrote tells OK from Cancel.
        trace_ << "end";
        return;
      }
      gui::Settle(IsWindow(advanced_) ? advanced_ : dialog_, 500);
      if (HWND box = gui::VisibleMessageBox()) {
        trace_ << "box:" << gui::ControlText(box, 0xFFFF) << " ";
        gui::PostClick(box, IDOK);
        gui::Poll([box] { return !IsWindow(box); });
        continue;
      }
      if (!IsWindowEnabled(dialog_) && !IsWindow(advanced_)) {
        WaitForSingleObject(modal_->thread, 100);  // ending
        continue;
      }
      break;
    }
    if (!tabbed_ || !IsWindow(dialog_)) return;
    if (ui::g_configure.current != shown_tab_) trace_ << "tab:" << (shown_tab_ = ui::g_configure.current) << " ";
    bool apply_on = IsWindowEnabled(GetDlgItem(dialog_, IDC_APPLY)) != 0;
    if (apply_on != apply_on_) trace_ << (apply_on ? "A+ " : "A- ");
    apply_on_ = apply_on;
  }

  // A click on a tab, where a user clicks.
  void ClickTab(int index) {
    HWND tabs = GetDlgItem(dialog_, IDC_TABS);
    RECT item{};
    SendMessageA(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageA(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tabs, WM_LBUTTONUP, 0, at);
  }

  // Steps, separated by ";": type ID TEXT (replaces the field's text),
  // click ID, pick ID INDEX (a list entry), tab INDEX, advanced (opens the
  // IPP advanced settings, which then take the steps until they close),
  // ok, apply, cancel, wipe (empties the port's key), shot NAME.
  void Run(const std::string& steps) {
    std::istringstream list(steps);
    std::string step;
    while (std::getline(list, step, ';')) {
      std::istringstream words(step);
      std::string verb;
      int id = 0;
      words >> verb;
      if (verb == "type") {
        words >> id;
        std::string text;
        std::getline(words >> std::ws, text);
        SetDlgItemTextA(Target(), id, "");
        gui::Type(Target(), id, text);
      } else if (verb == "click") {
        words >> id;
        gui::PostClick(Target(), id);
      } else if (verb == "pick") {
        int index = 0;
        words >> id >> index;
        SendDlgItemMessageA(Target(), id, CB_SETCURSEL, index, 0);
      } else if (verb == "tab") {
        words >> id;
        ClickTab(id);
      } else if (verb == "advanced") {
        gui::PostClick(Page(), IDC_BTN_HIGH);
        advanced_ = gui::WaitForDialog({.control_id = IDC_CHK_CHUNK});
        EXPECT_NE(advanced_, nullptr);
      } else if (verb == "ok" || verb == "apply" || verb == "cancel") {
        gui::PostClick(Buttons(), verb == "ok" ? IDOK : verb == "cancel" ? IDCANCEL : IDC_APPLY);
      } else if (verb == "version") {
        words >> id;
        gui::PostClick(Target(), id);
        HWND box = gui::WaitForDialog({.control_id = IDC_VERSION01});
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(gui::ClippedTexts(box, ui::kVersionLayout), "");
        EXPECT_TRUE(gui::SaveScreenshot(box, "configure_version"));
        gui::PostClick(box, IDOK);
        gui::Poll([box] { return !IsWindow(box); });
      } else if (verb == "wipe") {
        WipeValues(port_);
        continue;
      } else if (verb == "shot") {
        std::string name;
        words >> name;
        Shot(name);
        continue;
      } else {
        ADD_FAILURE() << "unknown step " << step;
      }
      Settle();
    }
  }

  // Every text of what shows fits its control; a picture for a person.
  void Shot(const std::string& name) {
    HWND window = IsWindow(advanced_) ? advanced_ : dialog_;
    const ui::LayoutTable& layout = IsWindow(advanced_) ? ui::kIppAdvancedLayout
                                    : !tabbed_            ? ui::kLprConfigureLayout
                                                          : ui::kIppConfigureLayout;
    EXPECT_EQ(gui::ClippedTexts(window, layout), "") << name;
    if (tabbed_ && !IsWindow(advanced_)) {
      const ui::LayoutTable& page =
          ui::g_configure.current == 0 ? ui::kIppPage1Layout : ui::kIppPage2Layout;
      EXPECT_EQ(gui::ClippedTexts(Page(), page), "") << name;
    }
    EXPECT_TRUE(gui::SaveScreenshot(window, "configure_" + name));
  }

  std::string Trace() { return trace_.str(); }

 public:
  struct Scenario {
    const char* name;
    std::uint32_t kind;
    const char* steps;
    const char* trace;
    const char* values;  // every value in the port's key afterwards, or null
  };

  void RunRows(const Scenario* rows, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const Scenario& s = rows[i];
      SCOPED_TRACE(s.name);
      SetUp();
      MakePort("P", s.kind);
      Open("P");
      Run(s.steps);
      EXPECT_EQ(Trace(), s.trace);
      WaitForSingleObject(modal_->thread, 5000);
      if (s.values != nullptr) {
        EXPECT_EQ(KeyValues("P"), s.values);
      }
    }
  }
 protected:

  static inline monitor::MonitorTable* table_ = nullptr;
  std::unique_ptr<gui::Modal> modal_;
  HWND dialog_ = nullptr;
  HWND advanced_ = nullptr;
  bool tabbed_ = false;
  std::string port_, caption_;
  std::ostringstream trace_;
  int shown_tab_ = 0;
  bool apply_on_ = false;
};

using Scenario = Configure::Scenario;

// What the IPP dialog writes when only its first tab's defaults stand.
#define IPP_URL "URL=http://127.0.0.1:631/printers/q(257) "
#define IPP_PLAIN(timeout)                                                                \
  "Base64=0 Chunked=0 CmdTmout=" timeout " DatTmout=" timeout " Language=en-us(17) " \
  "Reconnection=0 " IPP_URL "UseProxy=0 "

// The bytes each kind's dialog writes: every value of its table, with the
// texts of an IPP port as whole fields and its password counted and offset.
TEST_F(Configure, EachKindWritesExactlyItsValues) {
  static const Scenario kRows[] = {
      {"lpr", core::kLpr, "type 368 120;click 371;click 372;wipe;ok", "end",
       "CmdTmout=120000 DatTmout=120000 NonByteCount=1 Reconnection=1 "},
      {"raw: no byte count", core::kRaw, "type 368 900;wipe;ok", "end",
       "CmdTmout=900000 DatTmout=900000 Reconnection=0 "},
      {"ipp: proxy and a password", core::kIpp,
       "type 337 300;click 341;type 343 proxy.local;type 345 3128;tab 1;click 351;"
       "type 353 alice;type 355 pw;wipe;ok",
       "A+ tab:1 end",
       "Base64=1 Chunked=0 CmdTmout=300000 DatTmout=300000 Language=en-us(17) PassWord=0200535a "
       "ProxyName=proxy.local(257) ProxyNum=3128 Reconnection=0 "
       "URL=http://127.0.0.1:631/printers/q(257) UseProxy=1 UserName=alice(65) "},
      {"ipp: chunks, French, an empty password", core::kIpp,
       "advanced;click 358;type 360 8192;pick 365 2;ok;tab 1;click 351;type 353 bob;wipe;ok",
       "A+ tab:1 end",
       "Base64=1 Chunked=1 CmdTmout=180000 DatTmout=180000 Language=fr(17) MaxChunk=8192 "
       "PassWord=0000 Reconnection=0 URL=http://127.0.0.1:631/printers/q(257) UseProxy=0 "
       "UserName=bob(65) "},
  };
  RunRows(kRows, std::size(kRows));
}

// Apply writes and turns itself off; Cancel writes nothing after it; a tab
// is only left when its page is valid.
TEST_F(Configure, ApplyCancelAndTabsKeepTheirWord) {
  static const Scenario kRows[] = {
      {"apply, then cancel", core::kIpp, "type 337 120;wipe;apply;type 337 130;cancel",
       "A+ A- A+ end", IPP_PLAIN("120000")},
      {"an invalid apply keeps Apply", core::kIpp, "type 337 59;apply;wipe;cancel",
       "A+ box:IDS_INVALID_TIMEOUT end", ""},
      {"a bad URL keeps its tab", core::kIpp,
       "type 335 ftp://printer/;tab 1;type 335 http://h/q;tab 1;tab 0;wipe;cancel",
       "A+ box:IDS_INVALID_URI tab:1 tab:0 end", ""},
      {"a checked box enables Apply", core::kIpp, "tab 1;click 351;wipe;cancel",
       "tab:1 A+ end", ""},
  };
  RunRows(kRows, std::size(kRows));
}

// With the shipped texts every dialog and tab shows its texts whole; each
// is saved for a person to look at.
TEST_F(Configure, ShippedTextsFitEveryDialogAndTab) {
  wine_test::UseShippedTexts();
  const struct {
    const char* port;
    std::uint32_t kind;
    const char* steps;
  } kRows[] = {
      {"Office LPR", core::kLpr, "shot lpr;version 370;cancel"},
      {"Office Raw", core::kRaw, "shot raw;cancel"},
      {"Office IPP", core::kIpp,
       "click 341;shot ipp_printer;version 346;advanced;click 358;shot ipp_advanced;cancel;tab 1;"
       "click 351;shot ipp_signin;cancel"},
  };
  char title[64];
  core::IniText(core::kDialogIni, "TITLE", "CONFIG", {}, title, sizeof(title));
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.port);
    MakePort(row.port, row.kind);
    Open(row.port, title);
    Run(row.steps);
    EXPECT_EQ(WaitForSingleObject(modal_->thread, 5000), WAIT_OBJECT_0);
  }
}

}  // namespace
