#include "host/wizard.h"

#include <windows.h>
#include <commctrl.h>
#include <winsock.h>

#include "host/answer.h"
#include "host/console.h"
#include "host/hands.h"
#include "host/spooler.h"

namespace host::wizard {

const char kAddUsage[] =
    "add [lpr HOST QUEUE | ipp URL [--proxy HOST:PORT | --modem] | raw HOST] [--name NAME]";
const char kSearchUsage[] = "search [--wait MS] [--pick N]";

namespace {

using commands::Outcome;
using Words = std::vector<std::string>;

using hands::CancelDialog;
using hands::Click;
using hands::DialogOfThread;
using hands::kAnswerMs;
using hands::kPollMs;
using hands::kReactMs;
using hands::kShowMs;
using hands::PostClick;
using hands::Send;
using hands::Text;
using hands::Type;

// The connection test may use the printer's whole time-out, 180 s. A
// search pick's queue list may take the server's time-out.
constexpr DWORD kConnectionTestMs = 190000;
constexpr DWORD kQueueListMs = 6000;

// The wizard's controls, from its templates.
constexpr int kNext = 201;
constexpr int kKindLpr = 207, kKindIpp = 208, kKindRaw = 209;
constexpr int kNameField = 214;
constexpr int kModem = 217, kLan = 218;
constexpr int kNoProxy = 221, kUseProxy = 223, kProxyAddress = 225, kProxyPort = 227;
constexpr int kUrlField = 231;
constexpr int kServerField = 245;  // the LPR server, the Raw address
constexpr int kQueueCombo = 247;
constexpr int kSearchButton = 248;
constexpr int kSearchList = 259;  // in the search dialog
constexpr int kConnectionTestPage = 4;
constexpr int kLprPage = 6;

// A page is known by a control no other page has; it is printed with the
// first line of its first label; a summary page shows the port's name.
struct Page {
  int index;
  int marker;
  int label;
  int name_field;
};
constexpr Page kPages[] = {{0, 207, 206, 0},   {1, 212, 212, 0},   {2, 217, 216, 0},
                           {3, 223, 220, 0},   {4, 231, 229, 0},   {5, 239, 235, 240},
                           {6, 243, 243, 0},   {7, 252, 250, 256}, {13, 327, 325, 0},
                           {14, 329, 325, 214}};

// What the command line asks the pages for.
struct Plan {
  int kind = 0;  // the kind's button on the first page; 0 leaves the pages to a person
  std::string host, queue, url, proxy_address, proxy_port, name;
  bool modem = false;
  bool proxy = false;
  bool named = false;
};

// Shared by the command on the main thread, which sits in AddPort, and
// the driver's thread. The results are read once the driver has ended.
struct Drive {
  Plan plan;
  DWORD listen_ms = 3000;
  DWORD pick = 0;
  HWND owner = nullptr;
  DWORD wizard_thread = 0;
  volatile LONG add_port_returned = 0;
  std::string failure;  // why the driver stopped
  bool cancelled = false;  // and pressed Cancel
  std::string name;     // the port name the summary page showed
  bool saw_modem_page = false;
};

bool AddPortReturned(Drive* drive) {
  return InterlockedCompareExchange(&drive->add_port_returned, 0, 0) != 0;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// --- the wizard -------------------------------------------------------------------

struct Shown {
  const Page* page = nullptr;
  HWND window = nullptr;
};

// The one page shown, or none while the frame switches pages.
Shown CurrentPage(HWND frame) {
  Shown shown;
  int visible = 0;
  for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char name[16];
    if (!IsWindowVisible(child) || !GetClassNameA(child, name, sizeof(name)) ||
        lstrcmpA(name, "#32770") != 0)
      continue;
    ++visible;
    for (const Page& page : kPages)
      if (GetDlgItem(child, page.marker)) shown = Shown{&page, child};
  }
  return visible == 1 ? shown : Shown{};
}

HWND WaitForFrame(Drive* drive) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kShowMs; Sleep(kPollMs)) {
    HWND frame = DialogOfThread(drive->wizard_thread, nullptr, kNext, drive->owner);
    if (frame && IsWindowVisible(frame)) return frame;
    if (AddPortReturned(drive)) break;
  }
  return nullptr;
}

Shown WaitForPage(HWND frame) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kShowMs; Sleep(kPollMs)) {
    Shown shown = CurrentPage(frame);
    if (shown.page || !IsWindow(frame)) return shown;
  }
  return Shown{};
}

// The page stays, and nothing over it is still to be answered: its Next
// is enabled again (the connection test is over) and no box is up.
bool Stays(HWND frame, int index) {
  Shown shown = CurrentPage(frame);
  return IsWindow(frame) && shown.page && shown.page->index == index &&
         IsWindowEnabled(GetDlgItem(frame, kNext)) &&
         !DialogOfThread(GetWindowThreadProcessId(frame, nullptr), frame);
}

enum class After { kMoved, kEnded, kStayed, kTimedOut, kDisabled };

// Next, then whatever it set off: another page, the wizard's end, a box
// and the same page again, or, on the printer URL page, the connection
// test and its question first.
After PressNext(HWND frame, int index) {
  DWORD bound = index == kConnectionTestPage ? kConnectionTestMs : kReactMs;
  DWORD start = GetTickCount();
  HWND next = GetDlgItem(frame, kNext);
  if (!IsWindowEnabled(next)) return After::kDisabled;
  Click(next, bound);
  for (;;) {
    if (!IsWindow(frame)) return After::kEnded;
    // A round trip through the wizard's thread: a handler that was still
    // at work (switching pages after a box) has finished by then.
    if (Stays(frame, index) && Send(frame, WM_NULL, 0, 0) && Stays(frame, index))
      return After::kStayed;
    Shown shown = CurrentPage(frame);
    if (shown.page && shown.page->index != index) return After::kMoved;
    if (GetTickCount() - start >= bound) return After::kTimedOut;
    Sleep(kPollMs);
  }
}

bool ProxyEnabled() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return false;
  DWORD value = 0, size = sizeof(value), type = 0;
  LONG status =
      RegQueryValueExA(key, "ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value != 0;
}

// What a person does on PAGE before pressing Next; false when a control
// to use is missing, hidden or disabled.
bool FillIn(Drive* drive, const Page& page, HWND dialog) {
  const Plan& plan = drive->plan;
  auto click = [dialog](int id) { return Click(GetDlgItem(dialog, id), kReactMs); };
  auto type = [dialog](int id, const std::string& text) {
    return Type(GetDlgItem(dialog, id), text);
  };
  switch (page.index) {
    case 0: return click(plan.kind);
    case 1: return !plan.named || type(kNameField, plan.name);
    case 2:
      drive->saw_modem_page = true;
      return click(plan.modem ? kModem : kLan);
    case 3:
      // Without ProxyEnable the page starts on "no proxy"; with it, on what
      // the wizard read from the Internet Settings, which then stays.
      if (plan.proxy)
        return click(kUseProxy) && type(kProxyAddress, plan.proxy_address) &&
               type(kProxyPort, plan.proxy_port);
      return !drive->saw_modem_page || click(kNoProxy);
    case kConnectionTestPage: return type(kUrlField, plan.url);
    case kLprPage:
      return type(kServerField, plan.host) &&
             Type(FindWindowExA(GetDlgItem(dialog, kQueueCombo), nullptr, "Edit", nullptr),
                  plan.queue);
    case 13: return type(kServerField, plan.host);
  }
  if (page.name_field) drive->name = Text(GetDlgItem(dialog, page.name_field));
  return true;
}

std::string PageWords(const Page& page) { return "page " + std::to_string(page.index); }

// Page after page until Finish; "" when Finish was pressed, else why the
// driver stopped.
std::string GoThroughPages(Drive* drive, HWND frame) {
  bool seen[16] = {};
  for (;;) {
    Shown shown = WaitForPage(frame);
    if (!IsWindow(frame)) return "the wizard closed by itself";
    if (!shown.page) return "no page of the wizard showed within 10 s";
    const Page& page = *shown.page;
    if (seen[page.index]) return "the wizard came back to " + PageWords(page);
    seen[page.index] = true;
    console::Out("page %d %s", page.index,
                 FirstLine(Text(GetDlgItem(shown.window, page.label))).c_str());
    if (page.index == 3 && drive->plan.modem)
      return "the wizard skipped the modem-or-LAN page: ProxyEnable is set";
    if (!FillIn(drive, page, shown.window))
      return "cannot fill in " + PageWords(page) + ": a control is missing, hidden or disabled";
    long boxes = answer::Counts().boxes;
    switch (PressNext(frame, page.index)) {
      case After::kMoved: continue;
      case After::kEnded:
        return page.name_field ? "" : "the wizard closed on " + PageWords(page);
      case After::kStayed:
        return "the wizard stayed on " + PageWords(page) +
               (answer::Counts().boxes > boxes ? " after the message above" : "");
      case After::kTimedOut:
        return PageWords(page) + " did not move on in time";
      case After::kDisabled:
        return "Next is disabled on " + PageWords(page);
    }
  }
}

DWORD WINAPI DriveAdd(LPVOID param) {
  auto* drive = static_cast<Drive*>(param);
  HWND frame = WaitForFrame(drive);
  if (!frame) {
    drive->failure = "the add-port wizard did not open";
    return 0;
  }
  drive->failure = GoThroughPages(drive, frame);
  drive->cancelled = !drive->failure.empty();
  if (drive->cancelled) CancelDialog(frame, "the add-port wizard");
  return 0;
}

// --- the printer search -------------------------------------------------------------

std::vector<std::string> QueueNames(HWND combo, LRESULT* selected) {
  std::vector<std::string> names;
  LRESULT count = 0;
  if (!Send(combo, CB_GETCOUNT, 0, 0, &count)) count = 0;
  for (LRESULT i = 0; i < count; ++i) {
    char name[256] = "";
    LRESULT length = 0;
    if (Send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, &length) && length >= 0 &&
        length < static_cast<LRESULT>(sizeof(name)))
      Send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
    names.push_back(name);
  }
  if (selected && !Send(combo, CB_GETCURSEL, 0, 0, selected)) *selected = CB_ERR;
  return names;
}

// Each row as "ADDRESS<TAB>HARDWARE-ADDRESS<TAB>DESCRIPTION", in display order.
std::vector<std::string> Rows(HWND list) {
  std::vector<std::string> rows;
  LRESULT count = 0;
  if (!Send(list, LVM_GETITEMCOUNT, 0, 0, &count)) return rows;
  for (LRESULT row = 0; row < count; ++row) {
    std::string line;
    for (int column = 0; column < 3; ++column) {
      char text[256] = "";
      LVITEMA item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof(text);
      Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
      line += (column ? "\t" : "") + std::string(text);
    }
    rows.push_back(line);
  }
  return rows;
}

void Listen(Drive* drive) {
  for (DWORD start = GetTickCount();
       GetTickCount() - start < drive->listen_ms && !AddPortReturned(drive);)
    Sleep(kPollMs);
}

// Chooses row PICK as a click does, presses OK and waits for the page to
// take the printer's address and to refill its queue list (or for
// kQueueListMs, after which the list stays what it was).
std::string Pick(Drive* drive, HWND search, HWND page, const std::string& row) {
  HWND combo = GetDlgItem(page, kQueueCombo);
  std::vector<std::string> before = QueueNames(combo, nullptr);
  LVITEMA state = {};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  Send(GetDlgItem(search, kSearchList), LVM_SETITEMSTATE, drive->pick - 1,
       reinterpret_cast<LPARAM>(&state));
  if (!Click(GetDlgItem(search, IDOK), kReactMs)) return "cannot press OK in the search dialog";
  std::string address = row.substr(0, row.find('\t'));
  DWORD start = GetTickCount();
  while (Text(GetDlgItem(page, kServerField)) != address) {
    if (GetTickCount() - start >= kShowMs)
      return "the LPR page did not take the chosen printer's address " + address;
    Sleep(kPollMs);
  }
  std::vector<std::string> names = before;
  LRESULT selected = 0;
  // The query empties the list first and selects the first name last. The
  // names are read one message at a time, so a read can straddle the
  // refill: a list counts only when two reads in a row agree.
  for (start = GetTickCount(); GetTickCount() - start < kQueueListMs; Sleep(kPollMs)) {
    names = QueueNames(combo, &selected);
    if (names != before && selected == 0 && names == QueueNames(combo, nullptr)) break;
  }
  for (const std::string& name : names) console::Out("%s", name.c_str());
  return "";
}

std::string SearchFromLprPage(Drive* drive, HWND frame) {
  Shown shown = WaitForPage(frame);
  if (!shown.page || shown.page->index != 0) return "the wizard did not show its first page";
  if (!Click(GetDlgItem(shown.window, kKindLpr), kReactMs) ||
      PressNext(frame, 0) != After::kMoved)
    return "the wizard did not move on from its first page";
  shown = WaitForPage(frame);
  if (!shown.page || shown.page->index != kLprPage) return "the wizard did not show the LPR page";
  if (!PostClick(GetDlgItem(shown.window, kSearchButton))) return "cannot press Search";
  HWND search = nullptr;
  for (DWORD start = GetTickCount(); !search && GetTickCount() - start < kShowMs; Sleep(kPollMs))
    search = DialogOfThread(drive->wizard_thread, frame, kSearchList);
  if (!search) return "the search dialog did not open";
  Listen(drive);
  std::vector<std::string> rows = Rows(GetDlgItem(search, kSearchList));
  for (const std::string& row : rows) console::Out("%s", row.c_str());
  if (!drive->pick) return "";
  if (drive->pick > rows.size())
    return "no row " + std::to_string(drive->pick) + ": the search listed " +
           std::to_string(rows.size());
  return Pick(drive, search, shown.window, rows[drive->pick - 1]);
}

DWORD WINAPI DriveSearch(LPVOID param) {
  auto* drive = static_cast<Drive*>(param);
  HWND frame = WaitForFrame(drive);
  if (!frame) {
    drive->failure = "the add-port wizard did not open";
    return 0;
  }
  drive->failure = SearchFromLprPage(drive, frame);
  CancelDialog(frame, "the add-port wizard");
  return 0;
}

// The search broadcasts to 255.255.255.255 from the wineserver's network,
// so only where that is a lab's own: the lab's client address, which the
// host's network never holds, can be bound there and nowhere else.
std::string OutsideTheLab() {
  char client[64] = "";
  DWORD size = GetEnvironmentVariableA("VEXA_LAN_CLIENT", client, sizeof(client));
  if (size == 0 || size >= sizeof(client)) return "VEXA_LAN_CLIENT names no lab address";
  unsigned long address = inet_addr(client);
  unsigned first = ntohl(address) >> 24;
  if (address == INADDR_NONE || first == 0 || first == 127)
    return std::string("VEXA_LAN_CLIENT=") + client + " proves no lab";
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return "WinSock did not start";
  SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = address;
  bool bound = probe != INVALID_SOCKET &&
               bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
  if (probe != INVALID_SOCKET) closesocket(probe);
  WSACleanup();
  return bound ? "" : std::string("cannot bind ") + client + ": this wineserver is not in the lab";
}

// --- the commands ---------------------------------------------------------------------

// AddPort with the host's window as owner, on this thread as the spooler
// calls it, while DRIVER (if any) goes through the wizard on its own.
Outcome RunWizard(Drive* drive, LPTHREAD_START_ROUTINE driver, BOOL* added, DWORD* error) {
  if (DWORD failed = spooler::EnsureMonitor()) return commands::Failed(failed, "cannot load the monitor");
  if (!spooler::Table().AddPort) return commands::Failed(ERROR_NOT_SUPPORTED, "cannot load the monitor");
  drive->owner = spooler::Owner();
  drive->wizard_thread = GetCurrentThreadId();
  answer::SetWizardUser(driver ? answer::WizardUser::kDriver : answer::WizardUser::kPerson);
  HANDLE thread = driver ? CreateThread(nullptr, 0, driver, drive, 0, nullptr) : nullptr;
  if (driver && !thread) {
    answer::SetWizardUser(answer::WizardUser::kNobody);
    return commands::Failed(GetLastError(), "cannot start a thread");
  }
  std::vector<char> monitor(spooler::kMonitorName,
                            spooler::kMonitorName + sizeof(spooler::kMonitorName));
  *added = spooler::Table().AddPort(nullptr, drive->owner, monitor.data());
  *error = *added ? ERROR_SUCCESS : GetLastError();
  InterlockedExchange(&drive->add_port_returned, 1);
  // Every wait of the driver's ends soon once the wizard is gone.
  if (thread && !spooler::PumpUntil(thread, kReactMs)) {
    TerminateThread(thread, 1);
    drive->failure = "the wizard's driver did not stop";
  }
  if (thread) CloseHandle(thread);
  answer::SetWizardUser(answer::WizardUser::kNobody);
  return commands::Ok();
}

// The words after "add"; false with *refused saying why.
bool ParseAdd(const Words& args, Plan* plan, std::string* refused) {
  Words positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--modem") {
      plan->modem = true;
    } else if (word == "--name" || word == "--proxy") {
      if (i + 1 >= args.size()) {
        *refused = word + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      size_t colon = value.find(':');
      if (word == "--name") {
        plan->name = value;
        plan->named = true;
      } else {
        plan->proxy = true;
        plan->proxy_address = value.substr(0, colon);
        plan->proxy_port = colon == std::string::npos ? "" : value.substr(colon + 1);
      }
    } else if (word.rfind("--", 0) == 0) {
      *refused = "unknown option " + word;
      return false;
    } else {
      positional.push_back(word);
    }
  }
  static const struct {
    const char* word;
    int button;
    size_t operands;
  } kKinds[] = {{"lpr", kKindLpr, 2}, {"ipp", kKindIpp, 1}, {"raw", kKindRaw, 1}};
  for (const auto& kind : kKinds)
    if (!positional.empty() && positional[0] == kind.word && positional.size() == kind.operands + 1)
      plan->kind = kind.button;
  *refused = "add takes lpr HOST QUEUE, ipp URL or raw HOST";
  if (plan->kind == 0) return positional.empty() && !plan->named && !plan->modem && !plan->proxy;
  plan->host = plan->url = positional[1];
  if (plan->kind == kKindLpr) plan->queue = positional[2];
  *refused = "--proxy and --modem are for ipp ports, and only one of them";
  if ((plan->modem || plan->proxy) && (plan->kind != kKindIpp || (plan->modem && plan->proxy)))
    return false;
  *refused = "--modem: ProxyEnable is set in this user's Internet Settings, so the wizard "
             "skips the modem-or-LAN page";
  return !(plan->modem && ProxyEnabled());
}

}  // namespace

Outcome Add(const Words& args) {
  Drive drive;
  std::string refused;
  if (!ParseAdd(args, &drive.plan, &refused)) return commands::Usage(kAddUsage, refused);
  // Without a display the wizard would wait for a person who cannot see it.
  if (!drive.plan.kind && !answer::HaveDisplay())
    return commands::Failed(0, "the add-port wizard needs a display (run with DISPLAY set), or "
                               "say what to add: add lpr|ipp|raw ...");
  BOOL added = FALSE;
  DWORD error = ERROR_SUCCESS;
  Outcome outcome = RunWizard(&drive, drive.plan.kind ? DriveAdd : nullptr, &added, &error);
  if (outcome.status != commands::Status::kOk) return outcome;
  if (!drive.failure.empty())
    return commands::Failed(added ? 0 : error,
                            "no port added: " + drive.failure +
                                (drive.cancelled ? ", so vexaspool cancelled it" : ""));
  if (!added) return commands::Failed(error, "no port added");
  if (drive.plan.kind) console::Out("added %s", drive.name.c_str());
  return commands::Ok();
}

Outcome Search(const Words& args) {
  Drive drive;
  for (size_t i = 0; i < args.size(); i += 2) {
    bool valued = i + 1 < args.size();
    if (valued && args[i] == "--wait" && commands::ParseNumber(args[i + 1], &drive.listen_ms))
      continue;
    if (valued && args[i] == "--pick" && commands::ParseNumber(args[i + 1], &drive.pick) &&
        drive.pick > 0)
      continue;
    return commands::Usage(kSearchUsage, "bad option " + args[i]);
  }
  if (std::string why = OutsideTheLab(); !why.empty())
    return commands::Failed(0, "search broadcasts, so it runs only in a network lab: " + why +
                                   " (see tests/peers/lan.sh)");
  BOOL added = FALSE;
  DWORD error = ERROR_SUCCESS;
  Outcome outcome = RunWizard(&drive, DriveSearch, &added, &error);
  if (outcome.status != commands::Status::kOk) return outcome;
  if (!drive.failure.empty()) return commands::Failed(0, drive.failure);
  return commands::Ok();
}

}  // namespace host::wizard
