// The add-port wizard, opened through the monitor's AddPort as the spooler
// opens it and driven as a user drives it: clicks, typing, answers to its
// message boxes. Each scenario is a line of steps and the trace it must
// leave: the pages shown, the messages raised, how the wizard ended, and
// the port's registry values.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/ports.h"
#include "core/state.h"
#include "host/winspool/standin.h"
#include "monitor/monitor_table.h"
#include "resources/wizard.h"
#include "tests/wine/fixture.h"
#include "tests/wine/gui/gui.h"
#include "ui/layout_tables.h"
#include "ui/wizard.h"

namespace {

using wine_test::PortKey;

// Every message's text is its own key, so a box names what raised it.
constexpr char kMessages[] =
    "[MESSAGE]\r\nTITLE=Test\r\nIDS_NULL_PORT_ERROR=IDS_NULL_PORT_ERROR\r\n"
    "IDS_PORTALREADYEXISTS_S=IDS_PORTALREADYEXISTS_S(%s)\r\n"
    "IDS_INVALID_PROXYNAME=IDS_INVALID_PROXYNAME\r\nIDS_INVALID_PROXYNUMBER=IDS_INVALID_PROXYNUMBER\r\n"
    "IDS_INVALID_URI=IDS_INVALID_URI\r\nIDS_INVALID_CONNECT=IDS_INVALID_CONNECT\r\n"
    "IDS_INVALIDSERVERNAME=IDS_INVALIDSERVERNAME\r\nIDS_INVALIDPORTNAME_S=IDS_INVALIDPORTNAME_S\r\n"
    "IDS_INVALIDQUEUENAME=IDS_INVALIDQUEUENAME\r\nIDS_ADD_PORT_ERROR=IDS_ADD_PORT_ERROR\r\n"
    "IDS_ADD_PORT_LIMIT=IDS_ADD_PORT_LIMIT\r\n"
    "IDS_IPP_PROXY_ENABLE=proxy on\r\nIDS_IPP_PROXY_DISABLE=proxy off\r\n";
constexpr char kDialogs[] =
    "[TITLE]\r\nADDPORT=Test Add Port\r\n[BUTTON]\r\nIDC_NEXT=Next\r\nFINISH=Finish\r\n"
    "[COMBO]\r\nDEFAULT=de-de\r\n";
constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// --- a printer on loopback for the connection test ------------------------------------

enum class Answer { kModel, kUnauthorized, kGarbage, kSilent };

std::string ModelResponse() {
  std::string body("\x01\x01\x00\x00\x00\x00\x00\x01", 8);
  auto attribute = [&body](char tag, const std::string& name, const std::string& value) {
    body += tag;
    body += static_cast<char>(name.size() >> 8), body += static_cast<char>(name.size());
    body += name;
    body += static_cast<char>(value.size() >> 8), body += static_cast<char>(value.size());
    body += value;
  };
  body += '\x01';
  attribute('\x47', "attributes-charset", "utf-8");
  attribute('\x48', "attributes-natural-language", "en-us");
  body += '\x04';
  attribute('\x41', "printer-make-and-model", "Harlune Test 9000");
  body += '\x03';
  return "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Accepts connections on a loopback port of its own and answers each
// request as `answer` says, until it is destroyed.
struct Printer {
  SOCKET listener = INVALID_SOCKET;
  HANDLE thread = nullptr;
  Answer answer;
  volatile LONG stop = 0;
  int port = 0;

  explicit Printer(Answer how) : answer(how) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof(at));
    int size = sizeof(at);
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
    port = ntohs(at.sin_port);
    listen(listener, 5);
    thread = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
  }
  ~Printer() {
    InterlockedExchange(&stop, 1);
    closesocket(listener);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }
  static DWORD WINAPI Serve(LPVOID self) {
    auto* printer = static_cast<Printer*>(self);
    std::vector<SOCKET> kept;
    while (!printer->stop) {
      SOCKET client = accept(printer->listener, nullptr, nullptr);
      if (client == INVALID_SOCKET) break;
      char request[4096];
      recv(client, request, sizeof(request), 0);
      std::string reply;
      if (printer->answer == Answer::kModel) reply = ModelResponse();
      if (printer->answer == Answer::kUnauthorized)
        reply = "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                "Content-Length: 0\r\n\r\n";
      if (printer->answer == Answer::kGarbage) reply = "SSH-2.0-OpenSSH\r\n\x01\x02garbage\r\n\r\n";
      if (printer->answer == Answer::kSilent) {
        kept.push_back(client);
        continue;
      }
      send(client, reply.data(), static_cast<int>(reply.size()), 0);
      closesocket(client);
    }
    for (SOCKET s : kept) closesocket(s);
    return 0;
  }
  std::string Url(const std::string& path = "/ipp/print") const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }
};

// A loopback port nothing listens on.
int ClosedPort() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = inet_addr("127.0.0.1");
  bind(s, reinterpret_cast<sockaddr*>(&at), sizeof(at));
  int size = sizeof(at);
  getsockname(s, reinterpret_cast<sockaddr*>(&at), &size);
  closesocket(s);
  return ntohs(at.sin_port);
}

const ui::LayoutTable* const kPageLayouts[] = {
    &ui::kWizardKindLayout, &ui::kWizardNameLayout, &ui::kWizardLineLayout,
    &ui::kWizardProxyLayout, &ui::kWizardUrlLayout, &ui::kWizardIppSummaryLayout,
    &ui::kWizardLprServerLayout, &ui::kWizardLprSummaryLayout, nullptr, nullptr, nullptr, nullptr,
    nullptr, &ui::kWizardRawHostLayout, &ui::kWizardRawSummaryLayout};

// --- driving ---------------------------------------------------------------------------

class Wizard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    table_ = wine_test::StartedMonitor();
    ASSERT_NE(table_, nullptr);
    // The DLL's entry plugs the wizard in; this EXE links the dialogs itself.
    core::g_monitor.hooks.add_port_wizard = ui::ShowAddPortWizard;
    standin::Spool spool;
    ASSERT_TRUE(standin::Bind(&spool)) << "the stand-in winspool.drv is not loaded";
    // The name check asks the spooler, which asks the monitor.
    spool.SetEnumPorts(table_->EnumPorts);
  }

  void SetUp() override {
    std::string folder = wine_test::UseInstallFolder("vexa_wizard_test");
    wine_test::WriteIni(folder, "NIMMES.INI", kMessages);
    wine_test::WriteIni(folder, "NIMDLG.INI", kDialogs);
    core::Locked lock;
    while (core::g_monitor.ports != nullptr) core::RemovePortEntry(core::g_monitor.ports->name);
    ForgetProxySettings();
  }
  void TearDown() override { ForgetProxySettings(); }
  static void ForgetProxySettings() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return;
    RegDeleteValueA(key, "ProxyEnable");
    RegDeleteValueA(key, "ProxyServer");
    RegCloseKey(key);
  }

  void Open() {
    modal_ = gui::RunModal(
        [] {
          char monitor[] = "Vexa Test Network Printer Port";
          return static_cast<INT_PTR>(table_->AddPort(nullptr, GetDesktopWindow(), monitor));
        },
        {.control_id = IDC_PICTURE});
    ASSERT_NE(modal_->dialog, nullptr) << "the wizard did not show";
    frame_ = modal_->dialog;
    NotePage();
  }

  HWND Page() { return ui::g_wizard.pages[ui::g_wizard.current]; }
  std::string Field(HWND page, int id) { return gui::ControlText(page, id); }

  // The trace entry of a page when it shows: its index, "*" when Next
  // reads Finish, and what the page proposes.
  void NotePage() {
    int page = ui::g_wizard.current;
    if (page == shown_) return;
    shown_ = page;
    trace_ << page;
    if (gui::ControlText(frame_, IDC_NEXT) == "Finish") trace_ << "*";
    if (page == ui::kNamePage) trace_ << "(" << Field(Page(), IDC_PORT_NAME) << ")";
    if (page == ui::kProxyPage)
      trace_ << "(" << Field(Page(), IDC_PROXY_NAME) << ":" << Field(Page(), IDC_PROXY_NUM) << ")";
    if (page == ui::kIppSummaryPage) trace_ << "(" << Field(Page(), IDC_SUM_MODEL) << ")";
    trace_ << " ";
  }

  // After an action: answers each message box it raises and waits while
  // the connection test runs, until the wizard is idle or has ended.
  void Settle() {
    for (int rounds = 0; rounds < 1000; ++rounds) {
      if (WaitForSingleObject(modal_->thread, 0) == WAIT_OBJECT_0) {
        trace_ << "end:" << modal_->result;
        return;
      }
      if (!IsWindow(frame_)) {
        WaitForSingleObject(modal_->thread, 5000);
        continue;
      }
      gui::Settle(frame_, 500);
      // Ended, or ending: EndDialog leaves the frame up until its loop returns.
      if (!IsWindow(frame_) || ui::g_wizard.current >= ui::kWizFinished) {
        WaitForSingleObject(modal_->thread, 5000);
        continue;
      }
      if (HWND box = gui::VisibleMessageBox()) {
        std::string text = gui::ControlText(box, 0xFFFF);
        trace_ << "box:" << text << " ";
        int button = GetDlgItem(box, IDYES) ? answer_ : IDOK;
        gui::PostClick(box, button);
        gui::Poll([box] { return !IsWindow(box); });
        continue;
      }
      NotePage();
      bool testing = ui::g_wizard.current == ui::kUrlPage &&
                     !IsWindowEnabled(GetDlgItem(frame_, IDC_NEXT));
      if (!testing) return;
      Sleep(20);
    }
  }

  // Steps, separated by ";": kind lpr|ipp|raw, next, back, cancel,
  // click ID, type ID TEXT (replaces the field's text), yes, no (the reply
  // to the next Yes/No box).
  void Run(const std::string& steps) {
    std::istringstream list(steps);
    std::string step;
    while (std::getline(list, step, ';')) {
      std::istringstream words(step);
      std::string verb;
      words >> verb;
      if (verb == "kind") {
        std::string kind;
        words >> kind;
        gui::Click(Page(), kind == "lpr" ? IDC_QDLPR : kind == "ipp" ? IDC_QDIPP : IDC_QDRAW);
      } else if (verb == "next" || verb == "back" || verb == "cancel") {
        gui::PostClick(frame_, verb == "next" ? IDC_NEXT : verb == "back" ? IDC_BACK : IDCANCEL);
      } else if (verb == "click") {
        int id = 0;
        words >> id;
        gui::Click(Page(), id);
      } else if (verb == "type") {
        int id = 0;
        words >> id;
        std::string text;
        std::getline(words >> std::ws, text);
        SetDlgItemTextA(Page(), id, "");
        gui::Type(Page(), id, text);
      } else if (verb == "shot") {
        // Every text of the page and the frame shows whole, and a person
        // can look at the page.
        EXPECT_EQ(gui::ClippedTexts(frame_, ui::kWizardFrameLayout), "");
        EXPECT_EQ(gui::ClippedTexts(Page(), *kPageLayouts[ui::g_wizard.current]), "")
            << "page " << ui::g_wizard.current;
        EXPECT_TRUE(gui::SaveScreenshot(frame_, "wizard_page_" + std::to_string(ui::g_wizard.current)));
        continue;
      } else if (verb == "yes" || verb == "no") {
        answer_ = verb == "yes" ? IDYES : IDNO;
        continue;
      } else {
        ADD_FAILURE() << "unknown step " << step;
      }
      Settle();
    }
  }

  std::string Trace() { return trace_.str(); }

  static inline monitor::MonitorTable* table_ = nullptr;
  std::unique_ptr<gui::Modal> modal_;
  HWND frame_ = nullptr;
  std::ostringstream trace_;
  int shown_ = -1;
  int answer_ = IDNO;
};

void SetProxySettings(DWORD enable_type, const std::string& enable, const char* server) {
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &key, nullptr);
  if (enable_type == REG_DWORD) {
    DWORD value = std::stoul(enable);
    RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  } else if (enable_type == REG_SZ) {
    RegSetValueExA(key, "ProxyEnable", 0, REG_SZ, reinterpret_cast<const BYTE*>(enable.c_str()),
                   static_cast<DWORD>(enable.size() + 1));
  }
  if (server != nullptr)
    RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                   static_cast<DWORD>(lstrlenA(server) + 1));
  RegCloseKey(key);
}

// The port's values named in `expected` ("Name=value ..."), in its form.
std::string Values(const std::string& port, const std::string& expected) {
  std::string out;
  std::istringstream tokens(expected);
  for (std::string token; tokens >> token;) {
    std::string name_text = token.substr(0, token.find('='));
    const char* name = name_text.c_str();
    std::string raw = wine_test::Value(PortKey(port), name, REG_DWORD);
    if (raw != "absent") {
      out += std::string(name) + "=" + std::to_string(*reinterpret_cast<const DWORD*>(raw.data())) + " ";
      continue;
    }
    raw = wine_test::Value(PortKey(port), name, REG_SZ);
    out += std::string(name) + "=" + (raw == "absent" ? raw : raw.c_str()) + " ";
  }
  return out;
}

// --- scenarios ---------------------------------------------------------------------------

struct Scenario {
  const char* name;
  const char* steps;
  const char* trace;
  const char* port;  // the port made, and its values
  const char* values;
};

TEST_F(Wizard, LprAndRawPagesCheckTheirFieldsAndNameThePort) {
  static const Scenario kScenarios[] = {
      {"lpr", "kind lpr;next;type 245 10.0.0.5;next;next;back;next;next",
       "0 6 1(10.0.0.5:lp) 7* 1(10.0.0.5:lp) 7* end:1", "10.0.0.5:lp",
       "PrintMode=0 HostName=10.0.0.5 PortName=lp PortNum=19541 "},
      {"lpr refusals",
       "kind lpr;next;next;type 245 no-such-host.invalid;next;type 245 127.0.0.1;type 247 ;next;"
       "type 247 lp_p1;next;back;back;next;cancel",
       "0 6 box:IDS_INVALIDSERVERNAME box:IDS_INVALIDPORTNAME_S box:IDS_INVALIDQUEUENAME "
       "1(127.0.0.1:lp_p1) 6 0 6 end:0", "127.0.0.1:lp_p1", "PrintMode=absent "},
      {"raw and names",
       "kind raw;next;type 245 255.255.255.255;next;type 214 ;next;type 214 lpt1:;next;"
       "type 214 Office Raw;next;back;back;type 245 10.0.0.5;next;next;next",
       "0 13 1(255.255.255.255_9100) box:IDS_NULL_PORT_ERROR box:IDS_PORTALREADYEXISTS_S(lpt1:) "
       "14* 1(Office Raw) 13 1(10.0.0.5_9100) 14* end:1", "10.0.0.5_9100",
       "PrintMode=2 HostName=10.0.0.5 PortNum=9100 "},
  };
  for (const Scenario& s : kScenarios) {
    SCOPED_TRACE(s.name);
    SetUp();
    trace_.str("");
    shown_ = -1;
    // LPT1: is among the spooler's ports, in another case.
    {
      core::Locked lock;
      core::AddPortEntry(nullptr, "LPT1:", nullptr, core::kLpr);
    }
    Open();
    Run(s.steps);
    EXPECT_EQ(Trace(), s.trace);
    if (modal_->thread) WaitForSingleObject(modal_->thread, 5000);
    EXPECT_EQ(Values(s.port, s.values), s.values);
  }
  EXPECT_EQ(Values("Office Raw", "PrintMode=absent"), "PrintMode=absent ");
}

// Each IPP scenario gets a printer on loopback answering as it says;
// "{url}" in its steps is that printer's URL, "{port}" its port.
struct IppScenario {
  const char* name;
  Answer answer;
  DWORD enable_type;  // of ProxyEnable; REG_NONE: absent
  const char* enable;
  const char* server;  // ProxyServer, or null
  const char* steps;
  const char* trace;
  const char* values;  // of the port made, or null
};

std::string Expand(std::string text, const std::string& url, int port) {
  for (std::size_t at; (at = text.find("{url}")) != std::string::npos;) text.replace(at, 5, url);
  for (std::size_t at; (at = text.find("{port}")) != std::string::npos;)
    text.replace(at, 6, std::to_string(port));
  return text;
}

TEST_F(Wizard, IppPagesFollowTheLineTheProxyAndTheConnectionTest) {
  const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/printers/a-long-queue-name";
  static const IppScenario kScenarios[] = {
      {"lan, no proxy, a printer that names its model", Answer::kModel, REG_NONE, "", nullptr,
       "kind ipp;next;click 218;next;next;type 231 {url};next;next;next",
       "0 2 3(:) 4 1({url}) 5*(Harlune Test 9000) end:1",
       "PrintMode=1 URL={url} UseProxy=0 Language=de-de "},
      {"modem skips the proxy; back retraces", Answer::kModel, REG_NONE, "", nullptr,
       "kind ipp;next;next;back;click 218;next;back;back;cancel",
       "0 2 4 2 3(:) 2 0 end:0", nullptr},
      {"proxy from Internet Settings, per-protocol form", Answer::kModel, REG_DWORD, "1",
       "ftp=10.0.0.8:21;http=10.0.0.9:8080", "kind ipp;next;back;cancel",
       "0 3(10.0.0.9:8080) 0 end:0", nullptr},
      {"plain proxy form", Answer::kModel, REG_DWORD, "1", "10.0.0.9:8080", "kind ipp;next;cancel",
       "0 3(10.0.0.9:8080) end:0", nullptr},
      {"proxy without a port", Answer::kModel, REG_DWORD, "1", "10.0.0.9", "kind ipp;next;cancel",
       "0 3(10.0.0.9:) end:0", nullptr},
      {"ProxyEnable of the wrong type counts as off", Answer::kModel, REG_SZ, "1", "10.0.0.9:1",
       "kind ipp;next;click 218;next;cancel", "0 2 3(10.0.0.9:1) end:0", nullptr},
      {"proxy refusals; a printer wanting credentials passes", Answer::kUnauthorized, REG_NONE, "",
       nullptr,
       "kind ipp;next;click 218;next;click 223;next;type 225 127.0.0.1;type 227 80x;next;"
       "type 227 {port};next;type 231 ftp://printer/;next;type 231 {url};next;next;next",
       "0 2 3(:) box:IDS_INVALID_PROXYNAME box:IDS_INVALID_PROXYNUMBER 4 box:IDS_INVALID_URI "
       "1({url}) 5*() end:1",
       "PrintMode=1 URL={url} UseProxy=1 ProxyName=127.0.0.1 ProxyNum={port} "},
      {"a printer answering garbage fails the test", Answer::kGarbage, REG_NONE, "", nullptr,
       "kind ipp;next;next;type 231 {url};next;cancel",
       "0 2 4 box:IDS_INVALID_CONNECT end:0", nullptr},
  };
  for (const IppScenario& s : kScenarios) {
    SCOPED_TRACE(s.name);
    SetUp();
    trace_.str("");
    shown_ = -1;
    Printer printer(s.answer);
    SetProxySettings(s.enable_type, s.enable, s.server);
    Open();
    Run(Expand(s.steps, printer.Url(), printer.port));
    EXPECT_EQ(Trace(), Expand(s.trace, printer.Url().substr(0, 38), printer.port));
    if (modal_->thread) WaitForSingleObject(modal_->thread, 5000);
    if (s.values != nullptr) {
      const std::string values = Expand(s.values, printer.Url(), printer.port);
      EXPECT_EQ(Values(printer.Url().substr(0, 38), values), values);
    }
  }

  // A printer that is not there: No stays on the page, Yes goes on with the
  // URL's first 38 characters as the name.
  SetUp();
  trace_.str("");
  shown_ = -1;
  Open();
  Run("kind ipp;next;next;type 231 " + closed + ";next;yes;next;next;next");
  EXPECT_EQ(Trace(), "0 2 4 box:IDS_INVALID_CONNECT box:IDS_INVALID_CONNECT 1(" + closed.substr(0, 38) +
                         ") 5*() end:1");
  const std::string values = "PrintMode=1 URL=" + closed + " UseProxy=0 Language=de-de Chunked=0 ";
  EXPECT_EQ(Values(closed.substr(0, 38), values), values);
}

// A port whose key cannot be written (a non-volatile key cannot live under
// a volatile one) is refused and leaves no entry behind; and while one
// wizard is open, AddPort opens no second one.
TEST_F(Wizard, APortThatCannotBeSavedIsTakenBackAndASecondWizardIsRefused) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, core::g_monitor.ports_key);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, core::g_monitor.ports_key, 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  Open();
  {
    wine_test::AnsweredBoxes boxes;
    char monitor[] = "Vexa Test Network Printer Port";
    EXPECT_TRUE(table_->AddPort(nullptr, GetDesktopWindow(), monitor));
    EXPECT_EQ(boxes.text, "IDS_ADD_PORT_LIMIT");
  }
  Run("kind raw;next;type 245 10.0.0.7;next;next;next");
  EXPECT_EQ(Trace(), "0 13 1(10.0.0.7_9100) 14* end:0");
  core::Locked lock;
  EXPECT_EQ(core::FindPort("10.0.0.7_9100"), nullptr);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, core::g_monitor.ports_key);
}

// With the shipped texts every page shows its texts whole; each is saved
// for a person to look at. Cancel during the test of a printer that
// accepts and never answers ends the wizard at once.
TEST_F(Wizard, ShippedPagesShowTheirTextsAndCancelStopsASilentTest) {
  Printer model(Answer::kModel);
  Printer silent(Answer::kSilent);
  wine_test::UseShippedTexts();
  Open();
  Run("shot;kind lpr;next;shot;type 245 127.0.0.1;next;shot;next;shot;back;back;back;"
      "kind raw;next;shot;type 245 127.0.0.1;next;next;shot;back;back;back;"
      "kind ipp;next;shot;click 218;next;shot;click 223;"
      "type 225 127.0.0.1;type 227 " + std::to_string(model.port) + ";shot;click 221;next;shot;"
      "type 231 " + model.Url() + ";next;next;shot;back;back;"
      "type 231 " + silent.Url());
  EXPECT_EQ(Trace(), "0 6 1(127.0.0.1:lp) 7* 1(127.0.0.1:lp) 6 0 13 1(127.0.0.1_9100) 14* "
                     "1(127.0.0.1_9100) 13 0 2 3(:) 4 1(" + model.Url() +
                     ") 5*(Harlune Test 9000) 1(" + model.Url() + ") 4 ");
  gui::PostClick(frame_, IDC_NEXT);
  ASSERT_TRUE(gui::Poll([&] { return IsWindowVisible(GetDlgItem(Page(), IDC_ANIMATION)) != 0; }));
  ASSERT_EQ(ui::g_wizard.current, ui::kUrlPage);
  Sleep(700);  // the animation moves on
  EXPECT_EQ(gui::ClippedTexts(Page(), ui::kWizardUrlLayout), "");
  EXPECT_TRUE(gui::SaveScreenshot(frame_, "wizard_connecting"));
  DWORD start = GetTickCount();
  gui::PostClick(frame_, IDCANCEL);
  EXPECT_EQ(WaitForSingleObject(modal_->thread, 5000), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 1500u);
  EXPECT_EQ(modal_->result, FALSE);
}

}  // namespace
