#include "host/commands.h"

#include <winspool.h>

#include <cstdlib>

#include "host/console.h"
#include "host/spooler.h"

namespace host::commands {
namespace {

using Words = std::vector<std::string>;

Outcome Ok() { return Outcome{Status::kOk, ERROR_SUCCESS, nullptr}; }
Outcome Failed(DWORD error) { return Outcome{Status::kFailed, error, nullptr}; }
Outcome Usage(const char* usage) { return Outcome{Status::kUsage, 0, usage}; }
// The monitor's BOOL, with its error captured before anything else runs.
Outcome FromMonitor(BOOL ok) { return ok ? Ok() : Failed(GetLastError()); }

bool ParseNumber(const std::string& text, DWORD* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
  if (*end || parsed > 0xFFFFFFFFull) return false;
  *value = static_cast<DWORD>(parsed);
  return true;
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

// --- install --------------------------------------------------------------

constexpr char kInstallUsage[] = "install";

Outcome Install(const Words& args) {
  if (!args.empty()) return Usage(kInstallUsage);
  Text name(spooler::kMonitorName), environment(spooler::kEnvironment),
      dll(spooler::kMonitorDll);
  MONITOR_INFO_2A info{name.get(), environment.get(), dll.get()};
  if (!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)) &&
      GetLastError() != ERROR_PRINT_MONITOR_ALREADY_INSTALLED)
    return Failed(GetLastError());
  // The monitor finds its INI files through this value; they sit beside it.
  HKEY key;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, spooler::kMonitorKey, 0, nullptr, 0,
                                KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return Failed(static_cast<DWORD>(status));
  std::string folder = spooler::ExeFolder();
  status = RegSetValueExA(key, "InstallPath", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(folder.c_str()),
                          static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? Ok() : Failed(static_cast<DWORD>(status));
}

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
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  auto enum_ports = spooler::Table().EnumPorts;
  if (!enum_ports) return Failed(ERROR_NOT_SUPPORTED);
  DWORD needed = 0;
  DWORD returned = 0;
  std::vector<BYTE> buffer;
  if (fixed) {
    buffer.resize(fixed_size);
    BOOL ok = enum_ports(nullptr, level, fixed_size ? buffer.data() : nullptr, fixed_size,
                         &needed, &returned);
    DWORD error = GetLastError();
    console::Out("needed %lu", needed);
    if (!ok) return Failed(error);
  } else {
    // Ask for the size first, as every caller of EnumPorts does.
    BOOL ok = enum_ports(nullptr, level, nullptr, 0, &needed, &returned);
    if (!ok && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return Failed(GetLastError());
    if (!ok || needed) {
      buffer.resize(needed);
      returned = 0;
      if (!enum_ports(nullptr, level, buffer.data(), needed, &needed, &returned))
        return Failed(GetLastError());
    }
  }
  PrintPorts(level, buffer, returned);
  return Ok();
}

// --- port commands ----------------------------------------------------------

Outcome Import(const Words& args) {
  if (!args.empty()) return Usage("import");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  if (!spooler::Table().AddPort) return Failed(ERROR_NOT_SUPPORTED);
  Text monitor_name(spooler::kMonitorName);
  return FromMonitor(spooler::Table().AddPort(nullptr, nullptr, monitor_name.get()));
}

Outcome Add(const Words& args) {
  if (!args.empty()) return Usage("add");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  if (!spooler::Table().AddPort) return Failed(ERROR_NOT_SUPPORTED);
  Text monitor_name(spooler::kMonitorName);
  return FromMonitor(spooler::Table().AddPort(nullptr, spooler::Owner(), monitor_name.get()));
}

Outcome Configure(const Words& args) {
  if (args.size() != 1) return Usage("configure NAME");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  if (!spooler::Table().ConfigurePort) return Failed(ERROR_NOT_SUPPORTED);
  Text port(args[0]);
  return FromMonitor(spooler::Table().ConfigurePort(nullptr, spooler::Owner(), port.get()));
}

Outcome Delete(const Words& args) {
  if (args.size() != 1) return Usage("delete NAME");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  if (!spooler::Table().DeletePort) return Failed(ERROR_NOT_SUPPORTED);
  Text port(args[0]);
  return FromMonitor(spooler::Table().DeletePort(nullptr, spooler::Owner(), port.get()));
}

Outcome Open(const Words& args) {
  if (args.size() != 1) return Usage("open NAME");
  if (DWORD error = spooler::EnsureMonitor()) return Failed(error);
  const monitor::MonitorTable& table = spooler::Table();
  if (!table.OpenPort || !table.ClosePort) return Failed(ERROR_NOT_SUPPORTED);
  Text port(args[0]);
  HANDLE handle = nullptr;
  if (!table.OpenPort(port.get(), &handle)) return Failed(GetLastError());
  return FromMonitor(table.ClosePort(handle));
}

// --- jobs --------------------------------------------------------------------
// print NAME FILE [options] goes here: a stand-in printer and job for the
// port, then StartDocPort, WritePort and EndDocPort with job control between.

// --- the network and time ---------------------------------------------------

constexpr char kNetUsage[] =
    "net connect LOCAL REMOTE | net disconnect LOCAL | net off | net on";

Outcome Net(const Words& args) {
  const standin::Mpr& mpr = spooler::Mpr();
  if (args.size() == 3 && args[0] == "connect")
    return mpr.Connect(args[1].c_str(), args[2].c_str()) ? Ok() : Failed(GetLastError());
  if (args.size() == 2 && args[0] == "disconnect")
    return mpr.Disconnect(args[1].c_str()) ? Ok() : Failed(GetLastError());
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
  for (size_t i = 0; i < args[2].size(); ++i) {
    if (args[2].compare(i, 2, "\\n") == 0) {
      box.text += "\r\n";
      ++i;
    } else {
      box.text += args[2][i];
    }
  }
  HANDLE thread = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
  if (!thread) return Failed(GetLastError());
  spooler::PumpUntil(thread, INFINITE);
  CloseHandle(thread);
  if (box.pressed <= 0) return Failed(GetLastError());
  bool named = box.pressed < static_cast<int>(sizeof(kButtons) / sizeof(kButtons[0]));
  console::Out("pressed %s", named ? kButtons[box.pressed] : std::to_string(box.pressed).c_str());
  return Ok();
}

struct Command {
  const char* name;
  const char* usage;
  Outcome (*run)(const Words& args);
};

constexpr Command kCommands[] = {
    {"install", kInstallUsage, Install},
    {"ports", kPortsUsage, Ports},
    {"import", "import", Import},
    {"add", "add", Add},
    {"configure", "configure NAME", Configure},
    {"delete", "delete NAME", Delete},
    {"open", "open NAME", Open},
    // {"print", "print NAME FILE [options]", Print}, once jobs are written
    {"net", kNetUsage, Net},
    {"sleep", "sleep MS", Sleep},
    {"box", kBoxUsage, ShowTestBox},
};

}  // namespace

Outcome Run(const std::vector<std::string>& words) {
  if (words.empty()) return Usage(nullptr);
  for (const Command& command : kCommands) {
    if (words[0] != command.name) continue;
    return command.run(Words(words.begin() + 1, words.end()));
  }
  return Usage(nullptr);
}

Outcome EnsureInstalled() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, spooler::kMonitorKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    LONG found = RegQueryValueExA(key, "InstallPath", nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (found == ERROR_SUCCESS) return Ok();
  }
  return Install({});
}

std::vector<const char*> UsageLines() {
  std::vector<const char*> lines;
  for (const Command& command : kCommands) lines.push_back(command.usage);
  return lines;
}

}  // namespace host::commands
