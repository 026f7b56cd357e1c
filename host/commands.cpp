#include "host/commands.h"

#include <winspool.h>

#include <cstdlib>
#include <utility>

#include "host/answer.h"
#include "host/configure.h"
#include "host/console.h"
#include "host/print.h"
#include "host/spooler.h"
#include "host/threads.h"
#include "host/wizard.h"

namespace host::commands {
namespace {

using Words = std::vector<std::string>;

constexpr char kNoMonitor[] = "cannot load the monitor";

// The monitor's BOOL, with its error captured before anything else runs.
Outcome FromMonitor(BOOL ok, const std::string& what) {
  return ok ? Ok() : Failed(GetLastError(), what);
}

// The table takes LPSTR: the monitor gets writable copies, as from the
// spooler, never our string literals.
struct Text {
  explicit Text(const std::string& text) : buffer(text.begin(), text.end()) {
    buffer.push_back('\0');
  }
  LPSTR get() { return buffer.data(); }
  std::vector<char> buffer;
};

// --- ports ----------------------------------------------------------------

// Any level goes to the monitor, so its refusal of levels above 2 shows.
constexpr char kPortsUsage[] = "ports [--level N] [--buffer BYTES]";

// A string the monitor returned, checked to lie inside the caller's buffer.
const char* Field(const char* text, const std::vector<BYTE>& buffer) {
  if (!text) return "";
  auto* at = reinterpret_cast<const BYTE*>(text);
  if (at < buffer.data() || at >= buffer.data() + buffer.size()) return "<outside buffer>";
  return text;
}

void PrintPorts(DWORD level, const std::vector<BYTE>& buffer, DWORD returned) {
  if (level == 0) {
    console::Out("count %lu", returned);
    return;
  }
  DWORD record = level == 1 ? sizeof(PORT_INFO_1A) : sizeof(PORT_INFO_2A);
  if (static_cast<unsigned long long>(returned) * record > buffer.size()) {
    console::Out("returned %lu records, more than the buffer holds", returned);
    return;
  }
  if (returned == 0) console::Out("no ports");
  for (DWORD i = 0; i < returned; ++i) {
    if (level == 1) {
      const auto* port = reinterpret_cast<const PORT_INFO_1A*>(buffer.data()) + i;
      console::Out("%s", Field(port->pName, buffer));
    } else {
      const auto* port = reinterpret_cast<const PORT_INFO_2A*>(buffer.data()) + i;
      console::Out("%s\t%s\t%s\t%lu", Field(port->pPortName, buffer),
                   Field(port->pMonitorName, buffer), Field(port->pDescription, buffer),
                   port->fPortType);
    }
  }
}

Outcome Ports(const Words& args) {
  DWORD level = 2;
  DWORD fixed_size = 0;
  bool fixed = false;
  for (size_t i = 0; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return Usage(kPortsUsage);
    if (args[i] == "--level" && ParseNumber(args[i + 1], &level)) continue;
    if (args[i] == "--buffer" && ParseNumber(args[i + 1], &fixed_size)) {
      fixed = true;
      continue;
    }
    return Usage(kPortsUsage);
  }
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error, kNoMonitor);
  auto enum_ports = spooler::Table().EnumPorts;
  if (!enum_ports) return Failed(ERROR_NOT_SUPPORTED, kNoMonitor);
  DWORD needed = 0;
  DWORD returned = 0;
  std::vector<BYTE> buffer;
  if (fixed) {
    buffer.resize(fixed_size);
    BOOL ok = enum_ports(nullptr, level, fixed_size ? buffer.data() : nullptr, fixed_size,
                         &needed, &returned);
    DWORD error = GetLastError();
    console::Out("needed %lu", needed);
    if (!ok) return Failed(error, "EnumPorts level " + std::to_string(level));
  } else {
    // Ask for the size first, as every caller of EnumPorts does.
    BOOL ok = enum_ports(nullptr, level, nullptr, 0, &needed, &returned);
    if (!ok && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return Failed(GetLastError(), "EnumPorts level " + std::to_string(level));
    if (!ok || needed) {
      buffer.resize(needed);
      returned = 0;
      if (!enum_ports(nullptr, level, buffer.data(), needed, &needed, &returned))
        return Failed(GetLastError(), "EnumPorts level " + std::to_string(level));
    }
  }
  PrintPorts(level, buffer, returned);
  return Ok();
}

// --- port commands ----------------------------------------------------------

// Without a window AddPort takes in one new port key; with none left it
// opens the wizard, which the box watcher closes (see answer::Set).
Outcome Import(const Words& args) {
  if (!args.empty()) return Usage("import");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error, kNoMonitor);
  if (!spooler::Table().AddPort) return Failed(ERROR_NOT_SUPPORTED, kNoMonitor);
  Text monitor_name(spooler::kMonitorName);
  answer::Seen before = answer::Counts();
  if (spooler::Table().AddPort(nullptr, nullptr, monitor_name.get())) return Ok();
  DWORD error = GetLastError();
  answer::Seen after = answer::Counts();
  std::string what = "no new port key to import";
  if (after.wizards_unanswered > before.wizards_unanswered)
    what += ": the add-port wizard opened and nobody answered it within " +
            std::to_string(answer::kUnansweredWizardMs / 1000) +
            " s, so it was cancelled (see --answer)";
  else if (after.wizards > before.wizards)
    what += ": the add-port wizard opened and was cancelled";
  return Failed(error, what);
}

Outcome Delete(const Words& args) {
  if (args.size() != 1) return Usage("delete NAME");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error, kNoMonitor);
  if (!spooler::Table().DeletePort) return Failed(ERROR_NOT_SUPPORTED, kNoMonitor);
  Text port(args[0]);
  Outcome outcome = FromMonitor(spooler::Table().DeletePort(nullptr, spooler::Owner(), port.get()),
                                "cannot delete " + args[0]);
  if (outcome.status == Status::kOk) console::Out("deleted %s", args[0].c_str());
  return outcome;
}

Outcome Open(const Words& args) {
  if (args.size() != 1) return Usage("open NAME");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error, kNoMonitor);
  const monitor::MonitorTable& table = spooler::Table();
  if (!table.OpenPort || !table.ClosePort) return Failed(ERROR_NOT_SUPPORTED, kNoMonitor);
  Text port(args[0]);
  HANDLE handle = nullptr;
  // OpenPort gives no reason: the monitor has no entry of that name.
  SetLastError(ERROR_SUCCESS);
  if (!table.OpenPort(port.get(), &handle))
    return Failed(GetLastError(), "no port named " + args[0] + " (see 'ports')");
  return FromMonitor(table.ClosePort(handle), "ClosePort");
}

// --- jobs --------------------------------------------------------------------
// print (host/print.cpp): a stand-in printer and job for the port, then
// StartDocPort, WritePort and EndDocPort with job control between.

// --- the network and time ---------------------------------------------------

constexpr char kNetUsage[] =
    "net connect LOCAL REMOTE | net disconnect LOCAL | net off | net on";

Outcome Net(const Words& args) {
  const standin::Mpr& mpr = spooler::Mpr();
  if (args.size() == 3 && args[0] == "connect")
    return mpr.Connect(args[1].c_str(), args[2].c_str())
               ? Ok()
               : Failed(GetLastError(), "cannot connect " + args[1]);
  if (args.size() == 2 && args[0] == "disconnect")
    return mpr.Disconnect(args[1].c_str()) ? Ok()
                                            : Failed(GetLastError(), "cannot disconnect " + args[1]);
  if (args.size() == 1 && (args[0] == "off" || args[0] == "on")) {
    mpr.SetNoNetwork(args[0] == "off");
    return Ok();
  }
  return Usage(kNetUsage);
}

Outcome Sleep(const Words& args) {
  DWORD ms = 0;
  if (args.size() != 1 || !ParseNumber(args[0], &ms)) return Usage("sleep MS");
  spooler::PumpUntil(nullptr, ms);  // the owner window keeps answering meanwhile
  return Ok();
}

// --- the box watcher itself ---------------------------------------------------

// "\n" in a command's text becomes a Windows line break.
std::string WindowsLines(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\n") == 0) {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

constexpr char kBoxUsage[] = "box ok|okcancel|retrycancel|yesno|yesnocancel TITLE TEXT";

struct Box {
  UINT style;
  std::string title;
  std::string text;
  int pressed;
};

DWORD WINAPI ShowBox(LPVOID param) {
  auto* box = static_cast<Box*>(param);
  box->pressed = MessageBoxA(nullptr, box->text.c_str(), box->title.c_str(), box->style);
  return 0;
}

// Raises a message box on a thread of its own, as the monitor's threads do,
// and reports the button that closed it: how --answer is seen to work.
// "\n" in TEXT becomes a Windows line break.
Outcome ShowTestBox(const Words& args) {
  static const struct {
    const char* word;
    UINT style;
  } kStyles[] = {{"ok", MB_OK},
                 {"okcancel", MB_OKCANCEL},
                 {"retrycancel", MB_RETRYCANCEL},
                 {"yesno", MB_YESNO},
                 {"yesnocancel", MB_YESNOCANCEL}};
  static const char* const kButtons[] = {"", "ok", "cancel", "abort", "retry", "ignore",
                                         "yes", "no"};
  if (args.size() != 3) return Usage(kBoxUsage);
  Box box{~0u, args[1], "", 0};
  for (const auto& style : kStyles)
    if (args[0] == style.word) box.style = style.style;
  if (box.style == ~0u) return Usage(kBoxUsage);
  box.text = WindowsLines(args[2]);
  HANDLE thread = threads::Start(ShowBox, &box);
  if (!thread) return Failed(GetLastError(), "cannot start a thread");
  spooler::PumpUntil(thread, INFINITE);
  CloseHandle(thread);
  if (box.pressed <= 0) return Failed(GetLastError(), "the box did not show");
  bool named = box.pressed < static_cast<int>(sizeof(kButtons) / sizeof(kButtons[0]));
  console::Out("pressed %s", named ? kButtons[box.pressed] : std::to_string(box.pressed).c_str());
  return Ok();
}

// --- prompts like the monitor's ----------------------------------------------
// Dialogs with the controls of the monitor's retry prompt (401) and password
// prompt (394), built in memory, so that the watcher's handling of prompts
// shows without a monitor that raises them.

constexpr char kPromptUsage[] = "prompt 401|394 TEXT [CLOSE_AFTER_MS] [--credentials USER:PASS]";
constexpr int kClosedItself = 99;

struct Prompt {
  int id;
  std::string text;
  DWORD close_after_ms;
  std::string user;
  std::string password;
};

// DLGTEMPLATE and its DLGITEMTEMPLATEs, laid out as a resource compiler
// lays them out: wide strings, each item on a DWORD boundary.
struct DialogTemplate {
  std::vector<WORD> words;

  void Put(DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  }
  void Put(const char* text) {
    for (; *text; ++text) words.push_back(static_cast<BYTE>(*text));
    words.push_back(0);
  }
  void Start(WORD items, short cx, short cy) {
    Put(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME);
    Put(DWORD{0});
    words.insert(words.end(), {items, 10, 10, static_cast<WORD>(cx), static_cast<WORD>(cy)});
    words.insert(words.end(), {0, 0});  // no menu, the dialog class
    Put("Vexa prompt stand-in");
  }
  void Item(WORD atom, DWORD style, short x, short y, short cx, short cy, WORD id,
            const char* text) {
    if (words.size() % 2) words.push_back(0);
    Put(style | WS_CHILD | WS_VISIBLE);
    Put(DWORD{0});
    words.insert(words.end(), {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                               static_cast<WORD>(cy), id, 0xFFFF, atom});
    Put(text);
    words.push_back(0);  // no creation data
  }
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

DialogTemplate PromptTemplate(int id) {
  DialogTemplate dialog;
  if (id == 401) {
    dialog.Start(3, 300, 60);
    dialog.Item(kStatic, SS_LEFT, 8, 8, 284, 24, 403, "");
    dialog.Item(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 150, 40, 60, 14, 402, "Retry");
    dialog.Item(kButton, BS_PUSHBUTTON | WS_TABSTOP, 220, 40, 60, 14, IDCANCEL, "Cancel");
  } else {
    dialog.Start(5, 200, 90);
    dialog.Item(kStatic, SS_LEFT, 8, 8, 184, 16, 396, "");
    dialog.Item(kEdit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 8, 28, 184, 12, 398, "");
    dialog.Item(kEdit, ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, 8, 46, 184, 12,
                400, "");
    dialog.Item(kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 60, 70, 60, 14, IDOK, "OK");
    dialog.Item(kButton, BS_PUSHBUTTON | WS_TABSTOP, 130, 70, 60, 14, IDCANCEL, "Cancel");
  }
  return dialog;
}

std::string ItemText(HWND dialog, int id) {
  char text[256] = "";
  GetDlgItemTextA(dialog, id, text, sizeof(text));
  return text;
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* prompt = reinterpret_cast<Prompt*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      prompt = reinterpret_cast<Prompt*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      SetDlgItemTextA(dialog, prompt->id == 401 ? 403 : 396, prompt->text.c_str());
      if (prompt->close_after_ms) SetTimer(dialog, 1, prompt->close_after_ms, nullptr);
      return TRUE;
    case WM_TIMER:
      EndDialog(dialog, kClosedItself);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          prompt->user = ItemText(dialog, 398);
          prompt->password = ItemText(dialog, 400);
          EndDialog(dialog, 1);
          return TRUE;
        case 402:
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

struct PromptRun {
  Prompt* prompt;
  INT_PTR result;
};

// Modal with no owner, on a thread of its own, as the monitor shows them.
DWORD WINAPI ShowPrompt(LPVOID param) {
  auto* run = static_cast<PromptRun*>(param);
  DialogTemplate dialog = PromptTemplate(run->prompt->id);
  run->result = DialogBoxIndirectParamA(
      GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(dialog.words.data()), nullptr,
      PromptProc, reinterpret_cast<LPARAM>(run->prompt));
  return 0;
}

Outcome ShowTestPrompt(const Words& given) {
  Words args = given;
  std::string credentials;
  if (args.size() >= 2 && args[args.size() - 2] == "--credentials") {
    credentials = args.back();
    args.resize(args.size() - 2);
    if (credentials.find(':') == std::string::npos) return Usage(kPromptUsage);
  }
  if (args.size() < 2 || args.size() > 3 || (args[0] != "401" && args[0] != "394"))
    return Usage(kPromptUsage);
  Prompt prompt{std::atoi(args[0].c_str()), WindowsLines(args[1]), 0, "", ""};
  if (args.size() == 3 && !ParseNumber(args[2], &prompt.close_after_ms))
    return Usage(kPromptUsage);
  answer::Watch();
  size_t colon = credentials.find(':');
  if (!credentials.empty())
    answer::SetCredentials(credentials.substr(0, colon).c_str(),
                           credentials.substr(colon + 1).c_str());
  PromptRun run{&prompt, -1};
  HANDLE thread = threads::Start(ShowPrompt, &run);
  if (thread) {
    spooler::PumpUntil(thread, INFINITE);
    CloseHandle(thread);
  }
  answer::SetCredentials(nullptr, nullptr);
  if (!thread) return Failed(GetLastError(), "cannot start a thread");
  if (run.result == -1) return Failed(GetLastError(), "the prompt did not show");
  if (run.result == kClosedItself)
    console::Out("closed itself");
  else if (prompt.id == 394 && run.result == 1)
    console::Out("ended 1 user \"%s\" password \"%s\"", prompt.user.c_str(),
                 prompt.password.c_str());
  else
    console::Out("ended %d", static_cast<int>(run.result));
  return Ok();
}

// --- printers -----------------------------------------------------------------

constexpr char kPrinterUsage[] = "printer add NAME PORT | printer delete NAME";
constexpr char kPrintersUsage[] = "printers";

// Whether the spooler lists PORT, as Windows checks a new printer's port.
Outcome CheckPortExists(const std::string& port) {
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error, kNoMonitor);
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &returned))
    return Failed(GetLastError(), "cannot list the ports");
  auto* ports = reinterpret_cast<PORT_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i)
    if (ports[i].pName && lstrcmpiA(ports[i].pName, port.c_str()) == 0) return Ok();
  return Failed(0, "no port named " + port);
}

// Printers that outlive this process, as a user's printers do: SETUP.EXE
// refuses to uninstall while one prints to a port of the monitor.
Outcome Printer(const Words& args) {
  if (args.size() == 3 && args[0] == "add") {
    Outcome port = CheckPortExists(args[2]);
    if (port.status != Status::kOk) return port;
    Text name(args[1]), port_name(args[2]), driver("Generic / Text Only"), processor("WinPrint");
    PRINTER_INFO_2A info{};
    info.pPrinterName = name.get();
    info.pPortName = port_name.get();
    info.pDriverName = driver.get();
    info.pPrintProcessor = processor.get();
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) return Failed(GetLastError(), "cannot add the printer " + args[1]);
    ClosePrinter(printer);
    console::Out("added printer %s on %s", args[1].c_str(), args[2].c_str());
    return Ok();
  }
  if (args.size() == 2 && args[0] == "delete") {
    Text name(args[1]);
    HANDLE printer = nullptr;
    if (!OpenPrinterA(name.get(), &printer, nullptr))
      return Failed(GetLastError(), "no printer named " + args[1]);
    BOOL deleted = DeletePrinter(printer);
    DWORD error = GetLastError();
    ClosePrinter(printer);
    return deleted ? Ok() : Failed(error, "cannot delete the printer " + args[1]);
  }
  return Usage(kPrinterUsage);
}

Outcome Printers(const Words& args) {
  if (!args.empty()) return Usage(kPrintersUsage);
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, buffer.data(), needed, &needed, &returned))
    return Failed(GetLastError(), "cannot list the printers");
  auto* printers = reinterpret_cast<PRINTER_INFO_5A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i)
    console::Out("%s\t%s", printers[i].pPrinterName, printers[i].pPortName);
  if (returned == 0) console::Out("no printers");
  return Ok();
}

struct Command {
  const char* name;
  const char* usage;
  const char* what;
  Outcome (*run)(const Words& args);
};

constexpr Command kCommands[] = {
    {"ports", kPortsUsage, "list the ports, as the spooler's EnumPorts sees them", Ports},
    {"printers", kPrintersUsage, "list the printers and their ports (NAME<TAB>PORT a line)",
     Printers},
    {"printer", kPrinterUsage,
     "add a printer that prints to the monitor's port PORT (kept until deleted), or delete one",
     Printer},
    {"import", "import",
     "add the port of one new key under the monitor's Ports key (with none left AddPort opens "
     "the wizard: see --answer)",
     Import},
    {"add", wizard::kAddUsage,
     "make a port in the add-port wizard, typed in page by page; without a kind, the wizard "
     "for a person at the display",
     wizard::Add},
    {"search", wizard::kSearchUsage,
     "the LPR page's Search: the printers that answer, one a line; --pick N: the Nth one's "
     "queues. BROADCASTS to 255.255.255.255: runs only in a network lab",
     wizard::Search},
    {"configure", configure::kConfigureUsage,
     "the port's configure dialog for a person at the display; with fields, each typed, "
     "clicked or chosen on its tab in the order given, then OK (--apply: Apply, then OK). "
     "Fields: Timeout (seconds), URL, UseProxy, ProxyName, ProxyNum, Chunked, MaxChunk, "
     "Language (en, en-us, fr, de, ja-jp), Base64, UserName, PassWord, Reconnection, "
     "NonByteCount, SmtpServer, FromName, FromAddr, ToAddr+=, ToAddr-=, DivideFile, DivideSize, "
     "NoPrint, EditBody, Subject, Body, Signature (\\n: a line break), CharCode (0-2), "
     "AuthType, AuthID, AuthPass; check boxes and radio buttons 0 or 1",
     configure::Configure},
    {"show", configure::kShowUsage,
     "what the port's configure dialog shows, one FIELD=value a line (passwords (set) or "
     "(empty)); then Cancel",
     configure::Show},
    {"delete", "delete NAME", "delete the port and its registry key", Delete},
    {"open", "open NAME", "open and close the port, as the spooler does", Open},
    {"print", print::kUsage, "print FILE through the port NAME as one spooler job", print::Print},
    {"net", kNetUsage, "change the stand-in Windows network's printer connections", Net},
    {"sleep", "sleep MS", "wait (in a session: the monitor's threads go on)", Sleep},
    {"box", kBoxUsage, "show a message box, to try --answer", ShowTestBox},
    {"prompt", kPromptUsage, "show the retry (401) or password (394) prompt", ShowTestPrompt},
};

}  // namespace

Outcome Ok() { return Outcome{Status::kOk, ERROR_SUCCESS, nullptr, {}}; }
Outcome Failed(DWORD error, std::string what) {
  return Outcome{Status::kFailed, error, nullptr, std::move(what)};
}
Outcome Usage(const char* usage, std::string what) {
  return Outcome{Status::kUsage, 0, usage, std::move(what)};
}

std::string Describe(const Outcome& outcome, bool with_number) {
  if (outcome.error == 0) return outcome.what;
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, outcome.error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string words = text != nullptr ? text : "";
  if (text != nullptr) LocalFree(text);
  // "File not found.\r\n" reads as "file not found" after a colon.
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' ||
                            words.back() == '.' || words.back() == ' '))
    words.pop_back();
  if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z' &&
      (words.size() < 2 || words[1] < 'A' || words[1] > 'Z'))
    words[0] = static_cast<char>(words[0] - 'A' + 'a');
  std::string line = outcome.what;
  if (!words.empty()) line += (line.empty() ? "" : ": ") + words;
  return with_number ? line + " (error " + std::to_string(outcome.error) + ")" : line;
}

bool ParseNumber(const std::string& text, DWORD* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
  if (*end || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<DWORD>(parsed);
  return true;
}

Outcome Run(const std::vector<std::string>& words) {
  if (words.empty()) return Usage(nullptr);
  for (const Command& command : kCommands) {
    if (words[0] != command.name) continue;
    return command.run(Words(words.begin() + 1, words.end()));
  }
  return Usage(nullptr, "unknown command " + words[0]);
}

std::vector<Help> HelpLines() {
  std::vector<Help> lines;
  for (const Command& command : kCommands) lines.push_back({command.usage, command.what});
  return lines;
}

}  // namespace host::commands
