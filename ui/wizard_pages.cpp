// The add-port wizard's pages. Each page answers the frame's five messages:
// Prepare fills its fields, Shown sets the focus, Next checks and stores
// them and names the page that follows (or leaves the current page as it
// is, to stay), Back names the page before.
#include <winsock.h>
#include <winspool.h>

#include "core/ini.h"
#include "core/outcome.h"
#include "core/ports.h"
#include "core/state.h"
#include "core/text.h"
#include "core/url.h"
#include "discovery/query_wire.h"
#include "discovery/search.h"
#include "ipp/job.h"
#include "resources/wizard.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"
#include "ui/queue_list.h"
#include "ui/search_dialog.h"
#include "ui/wizard.h"

namespace ui {
namespace {

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::uint32_t kRawPort = 9100;
constexpr UINT_PTR kPollTimer = 0;
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kPollMs = 50;
constexpr UINT kAnimationMs = 500;
constexpr DWORD kTestStack = 16384;

// The connection test of the printer URL page: a port entry of its own,
// never in the port table, and the thread asking its printer.
struct ConnectionTest {
  core::PortEntry* port;
  core::IppBlock* block;
  HANDLE thread;
  int frame;  // of the animation
};
ConnectionTest g_test;

// The search dialog's answers, one per page that opens it.
discovery::SearchAnswer g_lpr_answer;
discovery::SearchAnswer g_raw_answer;

void Warn(const char* key, const core::TextInsert& insert = {}) {
  core::MessageFromIni(g_wizard.frame, key, MB_ICONEXCLAMATION | MB_OK, insert);
}

void FocusField(HWND page, int id) {
  HWND field = GetDlgItem(page, id);
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, -1);
}

void FrameButtons(bool enabled) {
  EnableWindow(GetDlgItem(g_wizard.frame, IDC_BACK), enabled);
  EnableWindow(GetDlgItem(g_wizard.frame, IDC_NEXT), enabled);
}

void ProposeName(const char* name) { core::CopyText(g_wizard.port_name, sizeof(g_wizard.port_name), name); }

// A dotted address is taken as typed; anything else must be a name the
// resolver knows. 255.255.255.255 is a valid address that inet_addr cannot
// tell from its own error value.
bool HostExists(const char* host) {
  if (core::IsDottedQuad(host) &&
      (inet_addr(host) != INADDR_NONE || core::EqualNoCase(host, "255.255.255.255")))
    return true;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  bool found = gethostbyname(host) != nullptr;
  SetCursor(previous);
  return found;
}

// Whether the spooler already has a port of that name, of any monitor.
// When the list cannot be read every name counts as free.
bool PortNameTaken(const char* name) {
  DWORD needed = 0, count = 0;
  EnumPortsA(nullptr, 1, nullptr, 0, &needed, &count);
  if (needed == 0) return false;
  auto* buffer = static_cast<BYTE*>(core::Alloc(needed));
  if (buffer == nullptr) return false;
  bool taken = false;
  if (EnumPortsA(nullptr, 1, buffer, needed, &needed, &count)) {
    auto* ports = reinterpret_cast<PORT_INFO_1A*>(buffer);
    for (DWORD i = 0; i < count && !taken; ++i)
      taken = ports[i].pName != nullptr && lstrcmpiA(ports[i].pName, name) == 0;
  }
  core::Free(buffer);
  return taken;
}

// The summaries' Finish: 254 with the port made, else 255.
void MakePort(const void* block, bool tell_failure) {
  if (core::CreateWizardPort(block, g_wizard.port_name, g_wizard.kind)) {
    g_wizard.current = kWizFinished;
    return;
  }
  if (tell_failure) Warn("IDS_ADD_PORT_ERROR");
  g_wizard.current = kWizAborted;
}

// --- page 0: port kind ---------------------------------------------------------------

void KindPage(HWND page, UINT message, WPARAM wparam) {
  switch (message) {
    case WM_INITDIALOG: {
      char text[core::kIniTextMax];
      core::IniText(core::kDialogIni, "LABEL", "IDC_SETUMEI011", {}, text, sizeof(text));
      SetDlgItemTextA(page, IDC_SETUMEI01, text);
      CheckRadioButton(page, IDC_QDLPR, IDC_QDRAW, IDC_QDLPR);
      g_wizard.kind = core::kLpr;
      // E-mail ports are configured, never added.
      ShowWindow(GetDlgItem(page, IDC_QDEMAIL), SW_HIDE);
      EnableWindow(GetDlgItem(page, IDC_QDEMAIL), FALSE);
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) break;
      if (LOWORD(wparam) == IDC_QDLPR) g_wizard.kind = core::kLpr;
      if (LOWORD(wparam) == IDC_QDIPP) g_wizard.kind = core::kIpp;
      if (LOWORD(wparam) == IDC_QDRAW) g_wizard.kind = core::kRaw;
      break;
    case kWizNext:
      if (g_wizard.kind == core::kLpr) g_wizard.current = kLprPage;
      if (g_wizard.kind == core::kIpp) g_wizard.current = g_wizard.proxy_enabled ? kProxyPage : kLinePage;
      if (g_wizard.kind == core::kRaw) g_wizard.current = kRawPage;
      break;
  }
}

// --- page 1: port name ---------------------------------------------------------------

void NamePage(HWND page, UINT message) {
  static constexpr int kSummary[] = {kLprSummaryPage, kIppSummaryPage, kRawSummaryPage};
  static constexpr int kSettings[] = {kLprPage, kUrlPage, kRawPage};
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(page, IDC_PORT_NAME, EM_LIMITTEXT, kPortNameMax, 0);
      break;
    case kWizPrepare:
      SetDlgItemTextA(page, IDC_PORT_NAME, g_wizard.port_name);
      break;
    case kWizShown:
      FocusField(page, IDC_PORT_NAME);
      break;
    case kWizNext: {
      char name[kPortNameMax + 1];
      GetDlgItemTextA(page, IDC_PORT_NAME, name, sizeof(name));
      if (name[0] == '\0') {
        Warn("IDS_NULL_PORT_ERROR");
      } else if (PortNameTaken(name)) {
        Warn("IDS_PORTALREADYEXISTS_S", core::TextInsertOf(name));
      } else {
        ProposeName(name);
        g_wizard.current = kSummary[g_wizard.kind];
        break;
      }
      FocusField(page, IDC_PORT_NAME);
      break;
    }
    case kWizBack:
      g_wizard.current = kSettings[g_wizard.kind];
      break;
  }
}

// --- page 2: modem or LAN ------------------------------------------------------------

void LinePage(HWND page, UINT message) {
  switch (message) {
    case WM_INITDIALOG:
      CheckRadioButton(page, IDC_BTN_MODEM, IDC_BTN_LAN, IDC_BTN_MODEM);
      g_wizard.modem_chosen = 1;
      break;
    case kWizShown:
      SetFocus(GetDlgItem(page, IsDlgButtonChecked(page, IDC_BTN_MODEM) ? IDC_BTN_MODEM : IDC_BTN_LAN));
      break;
    case kWizNext:
      g_wizard.modem_chosen = IsDlgButtonChecked(page, IDC_BTN_MODEM) == BST_CHECKED;
      g_wizard.current = g_wizard.modem_chosen ? kUrlPage : kProxyPage;
      break;
    case kWizBack:
      g_wizard.current = kKindPage;
      break;
  }
}

// --- page 3: proxy -------------------------------------------------------------------

// A value of the wrong type or size counts as absent.
void ReadProxyServer(char* value, DWORD size) {
  value[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD type = 0, got = size - 1;
  if (RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<BYTE*>(value), &got) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    got = 0;
  value[got < size ? got : size - 1] = '\0';
  RegCloseKey(key);
}

void ShowProxyFields(HWND page) {
  for (int id = IDC_TEXT_PROXY; id <= IDC_PROXY_NUM; ++id)
    EnableWindow(GetDlgItem(page, id), g_wizard.ipp->UseProxy != 0);
}

void ProxyPage(HWND page, UINT message, WPARAM wparam) {
  core::IppBlock* ipp = g_wizard.ipp;
  switch (message) {
    case WM_INITDIALOG: {
      SendDlgItemMessageA(page, IDC_PROXY_NAME, EM_LIMITTEXT, 256, 0);
      SendDlgItemMessageA(page, IDC_PROXY_NUM, EM_LIMITTEXT, 10, 0);
      ipp->UseProxy = g_wizard.proxy_enabled != 0;
      char text[core::kIniTextMax];
      core::IniText(core::kMessageIni, core::kMessageSection,
                    ipp->UseProxy ? "IDS_IPP_PROXY_ENABLE" : "IDS_IPP_PROXY_DISABLE", {}, text,
                    sizeof(text));
      SetDlgItemTextA(page, IDC_PROXY_INFO, text);
      CheckRadioButton(page, IDC_BTN_NO, IDC_BTN_PROXY, ipp->UseProxy ? IDC_BTN_PROXY : IDC_BTN_NO);
      char setting[261];
      ReadProxyServer(setting, sizeof(setting));
      char address[257], port[11];
      core::SplitProxySetting(setting, address, sizeof(address), port, sizeof(port));
      SetDlgItemTextA(page, IDC_PROXY_NAME, address);
      SetDlgItemTextA(page, IDC_PROXY_NUM, port);
      ShowProxyFields(page);
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED &&
          (LOWORD(wparam) == IDC_BTN_NO || LOWORD(wparam) == IDC_BTN_PROXY)) {
        ipp->UseProxy = IsDlgButtonChecked(page, IDC_BTN_PROXY) == BST_CHECKED;
        ShowProxyFields(page);
      }
      break;
    case kWizShown:
      SetFocus(GetDlgItem(page, ipp->UseProxy ? IDC_BTN_PROXY : IDC_BTN_NO));
      break;
    case kWizNext:
      if (ipp->UseProxy) {
        char address[sizeof(ipp->ProxyName)];
        GetDlgItemTextA(page, IDC_PROXY_NAME, address, sizeof(address));
        DWORD number = 0;
        if (address[0] == '\0') {
          RefuseField(page, IDC_PROXY_NAME, "IDS_INVALID_PROXYNAME");
          break;
        }
        if (!ReadWholeNumber(page, IDC_PROXY_NUM, 0, 0xFFFFFFFF, &number)) {
          RefuseField(page, IDC_PROXY_NUM, "IDS_INVALID_PROXYNUMBER");
          break;
        }
        core::CopyText(ipp->ProxyName, sizeof(ipp->ProxyName), address);
        ipp->ProxyNum = number;
      }
      g_wizard.current = kUrlPage;
      break;
    case kWizBack:
      g_wizard.current = g_wizard.proxy_enabled ? kKindPage : kLinePage;
      break;
  }
}

// --- page 4: printer URL and connection test -----------------------------------------

DWORD WINAPI RunConnectionTest(LPVOID) {
  return ipp::IdentifyPrinter(g_test.port, g_wizard.ipp) ? 1 : 0;
}

bool PrepareTestPort() {
  g_test.port = static_cast<core::PortEntry*>(core::Alloc(sizeof(core::PortEntry)));
  g_test.block = static_cast<core::IppBlock*>(core::Alloc(sizeof(core::IppBlock)));
  if (g_test.port == nullptr || g_test.block == nullptr) return false;
  g_test.port->kind = core::kIpp;
  g_test.port->block = g_test.block;
  g_test.port->block_kind = core::kIpp;
  g_test.block->data_socket = g_test.block->status_socket = core::kNoSocket;
  return true;
}

void FreeModel() {
  if (g_test.block == nullptr) return;
  core::Locked lock;
  core::Free(g_test.block->make_and_model);
  g_test.block->make_and_model = nullptr;
}

void ShowTestRunning(HWND page, bool running) {
  ShowWindow(GetDlgItem(page, IDC_ANIMATION), running ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(page, IDC_TEXT_CONNECT), running ? SW_SHOW : SW_HIDE);
  EnableWindow(GetDlgItem(page, IDC_URL), !running);
  FrameButtons(!running);
}

void StepAnimation(HWND page) {
  HICON icon = LoadIconA(core::g_monitor.module, MAKEINTRESOURCEA(IDI_CONNECT_FIRST + g_test.frame));
  SendDlgItemMessageA(page, IDC_ANIMATION, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  g_test.frame = (g_test.frame + 1) % IDI_CONNECT_COUNT;
}

void StartConnectionTest(HWND page) {
  g_test.frame = 0;
  StepAnimation(page);
  SetTimer(page, kAnimationTimer, kAnimationMs, nullptr);
  ShowTestRunning(page, true);
  SetFocus(GetDlgItem(g_wizard.frame, IDCANCEL));
  DWORD id;
  g_test.thread = CreateThread(nullptr, kTestStack, RunConnectionTest, nullptr, 0, &id);
  if (g_test.thread != nullptr) SetThreadPriority(g_test.thread, THREAD_PRIORITY_LOWEST);
  SetTimer(page, kPollTimer, kPollMs, nullptr);
}

// A printer that accepted the connection and then says nothing would hold
// the test for its whole time-out; a graceful close would wait for it too.
// So the test is told to give up and its connection is reset, again on
// every look until the thread has ended, since it may only now be
// connecting. Closing the socket is what wakes a wait on it (a shutdown
// does not, under every WinSock); the slot is emptied first, so the thread
// does not close it a second time.
void BreakConnectionTest() {
  SOCKET s;
  {
    core::Locked lock;
    g_test.port->cached_job_status |= JOB_STATUS_DELETING;
    s = static_cast<SOCKET>(g_test.block->status_socket);
    g_test.block->status_socket = core::kNoSocket;
  }
  if (s == INVALID_SOCKET) return;
  linger reset{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
  closesocket(s);
}

void StopTimers(HWND page) {
  KillTimer(page, kPollTimer);
  KillTimer(page, kAnimationTimer);
}

void StopConnectionTest(HWND page) {
  StopTimers(page);
  if (g_test.thread == nullptr) return;
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  while (WaitForSingleObject(g_test.thread, kPollMs) == WAIT_TIMEOUT) BreakConnectionTest();
  CloseHandle(g_test.thread);
  g_test.thread = nullptr;
  SetCursor(previous);
}

void AcceptUrl(HWND page) {
  core::IppBlock* ipp = g_wizard.ipp;
  GetDlgItemTextA(page, IDC_URL, ipp->URL, sizeof(ipp->URL));
  ProposeName(ipp->URL);
  ipp->port = g_test.block->port;
  {
    core::Locked lock;
    if (g_test.block->make_and_model != nullptr)
      SetDlgItemTextA(g_wizard.pages[kIppSummaryPage], IDC_SUM_MODEL, g_test.block->make_and_model);
  }
  FreeModel();
  g_wizard.current = kNamePage;
  SwitchToPage(kNamePage);
}

void CheckConnectionTest(HWND page) {
  DWORD code = 0;
  if (!GetExitCodeThread(g_test.thread, &code)) code = 0;
  if (code == STILL_ACTIVE) return;
  StopTimers(page);
  CloseHandle(g_test.thread);
  g_test.thread = nullptr;
  ShowTestRunning(page, false);
  if (code == 0 && core::MessageFromIni(g_wizard.frame, "IDS_INVALID_CONNECT",
                                        MB_ICONEXCLAMATION | MB_YESNO) != IDYES) {
    FreeModel();
    FocusField(page, IDC_URL);
    return;
  }
  AcceptUrl(page);
}

void UrlPage(HWND page, UINT message, WPARAM wparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SendDlgItemMessageA(page, IDC_URL, EM_LIMITTEXT, 256, 0);
      SetDlgItemTextA(page, IDC_URL, "http://");
      g_wizard.ipp->Chunked = 0;
      g_test = ConnectionTest{};
      if (!PrepareTestPort()) EndDialog(g_wizard.frame, 0);
      char language[sizeof(g_wizard.ipp->Language)];
      char ini[MAX_PATH];
      core::IniPath(core::kDialogIni, ini, sizeof(ini));
      GetPrivateProfileStringA("COMBO", "DEFAULT", "en-us", language, sizeof(language), ini);
      core::CopyText(g_wizard.ipp->Language, sizeof(g_wizard.ipp->Language), language);
      break;
    }
    case kWizShown:
      FocusField(page, IDC_URL);
      break;
    case kWizNext:
      if (g_test.block == nullptr || g_test.thread != nullptr) break;
      GetDlgItemTextA(page, IDC_URL, g_test.block->URL, sizeof(g_test.block->URL));
      if (!core::ParseUrl(g_test.block)) {
        RefuseField(page, IDC_URL, "IDS_INVALID_URI");
        break;
      }
      StartConnectionTest(page);
      break;
    case kWizBack:
      g_wizard.current = !g_wizard.proxy_enabled && g_wizard.modem_chosen ? kLinePage : kProxyPage;
      break;
    case WM_TIMER:
      if (wparam == kAnimationTimer) StepAnimation(page);
      if (wparam == kPollTimer && g_test.thread != nullptr) CheckConnectionTest(page);
      break;
    case kWizCancel:
      StopConnectionTest(page);
      FreeModel();
      SendMessageA(g_wizard.frame, kWizCancel, 0, 0);
      break;
    case WM_DESTROY:
      StopConnectionTest(page);
      FreeModel();
      core::Free(g_test.block);
      core::Free(g_test.port);
      g_test = ConnectionTest{};
      break;
  }
}

// --- page 5: IPP summary -------------------------------------------------------------

void IppSummaryPage(HWND page, UINT message) {
  switch (message) {
    case kWizPrepare:
      SetDlgItemTextA(page, IDC_SUM_URL, g_wizard.ipp->URL);
      SetDlgItemTextA(page, IDC_SUM_IPP_NAME, g_wizard.port_name);
      break;
    case kWizNext:
      MakePort(g_wizard.ipp, true);
      break;
    case kWizBack:
      g_wizard.current = kNamePage;
      break;
  }
}

// --- page 6: LPR server and queue ----------------------------------------------------

void ResetLprPage(HWND page) {
  DropQueueQuery();
  FillDefaultQueues(page);
  g_wizard.lpr->PortNum = discovery::kQueryDefaultPort;
}

void LprPage(HWND page, UINT message, WPARAM wparam) {
  core::LprBlock* lpr = g_wizard.lpr;
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(page, IDC_HOST, EM_LIMITTEXT, 64, 0);
      SendDlgItemMessageA(page, IDC_QUEUE, CB_LIMITTEXT, 32, 0);
      ResetLprPage(page);
      break;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDC_BTN_SEEK || HIWORD(wparam) != BN_CLICKED) break;
      if (ShowSearchDialog(page, &g_lpr_answer) != 1) break;
      core::CopyText(lpr->HostName, sizeof(lpr->HostName), g_lpr_answer.address);
      SetDlgItemTextA(page, IDC_HOST, g_lpr_answer.address);
      lpr->PortNum = g_lpr_answer.query_port;
      StartQueueQuery(page, lpr->PortNum);
      break;
    case kQueueAnswerReady:
      TakeQueueAnswer(page, wparam);
      break;
    case kWizShown:
      FocusField(page, IDC_HOST);
      break;
    case kWizNext: {
      char host[sizeof(lpr->HostName)], queue[sizeof(lpr->PortName)];
      GetDlgItemTextA(page, IDC_HOST, host, sizeof(host));
      GetDlgItemTextA(page, IDC_QUEUE, queue, sizeof(queue));
      if (host[0] == '\0' || !HostExists(host)) {
        RefuseField(page, IDC_HOST, host[0] == '\0' ? "IDS_INVALIDSERVERNAME" : "IDS_INVALIDPORTNAME_S");
        break;
      }
      if (queue[0] == '\0') {
        Warn("IDS_INVALIDQUEUENAME");
        SetFocus(GetDlgItem(page, IDC_QUEUE));
        break;
      }
      core::CopyText(lpr->HostName, sizeof(lpr->HostName), host);
      core::CopyText(lpr->PortName, sizeof(lpr->PortName), queue);
      char name[sizeof(host) + sizeof(queue) + 1];
      wsprintfA(name, "%s:%s", host, queue);
      ProposeName(name);
      g_wizard.current = kNamePage;
      break;
    }
    case kWizBack:
      ResetLprPage(page);
      SetDlgItemTextA(page, IDC_HOST, "");
      g_wizard.current = kKindPage;
      break;
    case WM_DESTROY:
      DropQueueQuery();
      break;
  }
}

// --- page 7: LPR summary -------------------------------------------------------------

void LprSummaryPage(HWND page, UINT message) {
  switch (message) {
    case kWizPrepare:
      SetDlgItemTextA(page, IDC_SUM_HOST, g_wizard.lpr->HostName);
      SetDlgItemTextA(page, IDC_SUM_QUEUE, g_wizard.lpr->PortName);
      SetDlgItemTextA(page, IDC_SUM_LPR_NAME, g_wizard.port_name);
      break;
    case kWizNext:
      MakePort(g_wizard.lpr, true);
      break;
    case kWizBack:
      g_wizard.current = kNamePage;
      break;
  }
}

// --- page 13: Raw printer address ----------------------------------------------------

void RawPage(HWND page, UINT message, WPARAM wparam) {
  core::RawBlock* raw = g_wizard.raw;
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(page, IDC_HOST, EM_LIMITTEXT, 64, 0);
      raw->PortNum = kRawPort;
      break;
    case WM_COMMAND:
      if (LOWORD(wparam) != IDC_RAW_SEEK || HIWORD(wparam) != BN_CLICKED) break;
      if (ShowSearchDialog(page, &g_raw_answer) != 1) break;
      core::CopyText(raw->HostName, sizeof(raw->HostName), g_raw_answer.address);
      SetDlgItemTextA(page, IDC_HOST, g_raw_answer.address);
      break;
    case kWizShown:
      FocusField(page, IDC_HOST);
      // Enter means Next here, not Search.
      SendDlgItemMessageA(page, IDC_RAW_SEEK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
      break;
    case kWizNext: {
      char host[sizeof(raw->HostName)];
      GetDlgItemTextA(page, IDC_HOST, host, sizeof(host));
      if (host[0] == '\0' || !HostExists(host)) {
        RefuseField(page, IDC_HOST, host[0] == '\0' ? "IDS_INVALIDSERVERNAME" : "IDS_INVALIDPORTNAME_S");
        break;
      }
      core::CopyText(raw->HostName, sizeof(raw->HostName), host);
      char name[sizeof(host) + 12];
      wsprintfA(name, "%s_%d", host, static_cast<int>(raw->PortNum));
      ProposeName(name);
      g_wizard.current = kNamePage;
      break;
    }
    case kWizBack:
      g_wizard.current = kKindPage;
      break;
  }
}

// --- page 14: Raw summary ------------------------------------------------------------

void RawSummaryPage(HWND page, UINT message) {
  switch (message) {
    case kWizPrepare:
      SetDlgItemTextA(page, IDC_PORT_NAME, g_wizard.port_name);
      SetDlgItemTextA(page, IDC_HOST, g_wizard.raw->HostName);
      break;
    case kWizNext:
      MakePort(g_wizard.raw, false);
      break;
    case kWizBack:
      g_wizard.current = kNamePage;
      break;
  }
}

const LayoutTable* LayoutOf(int index) {
  switch (index) {
    case kKindPage: return &kWizardKindLayout;
    case kNamePage: return &kWizardNameLayout;
    case kLinePage: return &kWizardLineLayout;
    case kProxyPage: return &kWizardProxyLayout;
    case kUrlPage: return &kWizardUrlLayout;
    case kIppSummaryPage: return &kWizardIppSummaryLayout;
    case kLprPage: return &kWizardLprServerLayout;
    case kLprSummaryPage: return &kWizardLprSummaryLayout;
    case kRawPage: return &kWizardRawHostLayout;
    case kRawSummaryPage: return &kWizardRawSummaryLayout;
  }
  return nullptr;
}

}  // namespace

INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(page, DWLP_USER, lparam);
    if (const LayoutTable* layout = LayoutOf(static_cast<int>(lparam)))
      ApplyDialogLayout(page, g_wizard.font, *layout);
  } else if (message == WM_GETFONT) {
    // Dialogs opened from a page (the printer search) take the wizard's font.
    if (g_wizard.font == nullptr) return FALSE;
    SetWindowLongPtrA(page, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(g_wizard.font));
    return TRUE;
  }
  auto index = static_cast<int>(GetWindowLongPtrA(page, DWLP_USER));
  switch (index) {
    case kKindPage: KindPage(page, message, wparam); break;
    case kNamePage: NamePage(page, message); break;
    case kLinePage: LinePage(page, message); break;
    case kProxyPage: ProxyPage(page, message, wparam); break;
    case kUrlPage: UrlPage(page, message, wparam); break;
    case kIppSummaryPage: IppSummaryPage(page, message); break;
    case kLprPage: LprPage(page, message, wparam); break;
    case kLprSummaryPage: LprSummaryPage(page, message); break;
    case kRawPage: RawPage(page, message, wparam); break;
    case kRawSummaryPage: RawSummaryPage(page, message); break;
  }
  // Pages never take the focus themselves when they open: the frame does.
  return FALSE;
}

}  // namespace ui
