#include "setup/install.h"

#include <winspool.h>

#include "core/text.h"

namespace setup {
namespace {

using core::AppendText;
using core::CopyText;

struct Path {
  char text[MAX_PATH] = "";
};

// The files beside SETUP.EXE. Each is first copied next to its place under a
// name of its own, so that a full disk or a write-protected folder shows
// before anything installed is touched.
enum class Place { kSystem, kFolder };
struct Piece {
  const char* name;
  const char* staged;
  Place place;
};
constexpr Piece kPieces[] = {
    {kDllName, "VEXAMON.NEW", Place::kSystem},
    {"NIMMES.INI", "NIMMES.NEW", Place::kFolder},
    {"NIMDLG.INI", "NIMDLG.NEW", Place::kFolder},
    {"README.TXT", "README.NEW", Place::kFolder},
};
constexpr int kPieceCount = sizeof(kPieces) / sizeof(kPieces[0]);
// Files the monitor itself writes into the install folder.
constexpr const char* kMonitorFiles[] = {"Qvemon.ini"};

// The size the bench found fastest for LPR replay; written only where the
// user has not chosen one, so a reinstall keeps a changed value.
constexpr DWORD kSendBufSize = 65536;

char g_notes[16384];

bool Join(Path* out, const char* folder, const char* name) {
  std::size_t length = core::TextLength(folder);
  bool slash = length > 0 && folder[length - 1] == '\\';
  if (length + (slash ? 0 : 1) + core::TextLength(name) >= sizeof(out->text)) return false;
  CopyText(out->text, sizeof(out->text), folder);
  if (!slash) AppendText(out->text, sizeof(out->text), "\\");
  AppendText(out->text, sizeof(out->text), name);
  return true;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != 0xFFFFFFFF; }
bool IsFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != 0xFFFFFFFF && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "Access is denied (error 5)": the system's words for an error code.
void DescribeError(DWORD error, char* out, std::size_t size) {
  char text[256] = "";
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, text, sizeof(text), nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    text[--length] = '\0';
  if (length == 0) CopyText(text, sizeof(text), "unknown error");
  char number[24];
  wsprintfA(number, " (error %lu)", error);
  CopyText(out, size, text);
  AppendText(out, size, number);
}

Result Fail(Outcome* outcome, const char* what, const char* subject, DWORD error) {
  char reason[300];
  DescribeError(error, reason, sizeof(reason));
  wsprintfA(outcome->message, what, subject);
  AppendText(outcome->message, sizeof(outcome->message), ": ");
  AppendText(outcome->message, sizeof(outcome->message), reason);
  outcome->result = Result::kFailed;
  Note(outcome->message);
  return Result::kFailed;
}

Result Refuse(Outcome* outcome, const char* text) {
  CopyText(outcome->message, sizeof(outcome->message), text);
  outcome->result = Result::kFailed;
  Note(text);
  return Result::kFailed;
}

void NoteOf(const char* format, const char* subject) {
  char line[600];
  wsprintfA(line, format, subject);
  Note(line);
}

bool SystemFolder(Path* out) {
  UINT length = GetSystemDirectoryA(out->text, sizeof(out->text));
  return length > 0 && length < sizeof(out->text);
}

bool PlaceOf(const Piece& piece, const char* folder, const Path& system, const char* name,
             Path* out) {
  return Join(out, piece.place == Place::kSystem ? system.text : folder, name);
}

// A file another program holds open, as the spooler holds its monitor's DLL,
// refuses to be opened for writing with a sharing violation.
bool InUse(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// --- WININIT.INI -------------------------------------------------------------

// Windows 95 carries out WININIT.INI's [rename] section in real mode at the
// next start, before any DLL is loaded: short names only, and "NUL" as the
// target deletes. The section repeats keys, so it is rewritten whole.
bool AddRename(const char* target, const char* source) {
  char windows[MAX_PATH];
  Path wininit;
  UINT length = GetWindowsDirectoryA(windows, sizeof(windows));
  if (length == 0 || length >= sizeof(windows) || !Join(&wininit, windows, "WININIT.INI"))
    return false;
  char short_target[MAX_PATH] = "NUL";
  char short_source[MAX_PATH];
  if (target && !GetShortPathNameA(target, short_target, sizeof(short_target))) return false;
  if (!GetShortPathNameA(source, short_source, sizeof(short_source))) return false;
  char entry[2 * MAX_PATH + 2];
  CopyText(entry, sizeof(entry), short_target);
  AppendText(entry, sizeof(entry), "=");
  AppendText(entry, sizeof(entry), short_source);

  static char section[16384];
  DWORD used = GetPrivateProfileSectionA("rename", section, sizeof(section), wininit.text);
  for (const char* at = section; *at; at += core::TextLength(at) + 1)
    if (lstrcmpiA(at, entry) == 0) return true;
  std::size_t size = core::TextLength(entry) + 1;
  if (used + size + 1 > sizeof(section)) return false;
  CopyText(section + used, size, entry);
  section[used + size] = '\0';
  return WritePrivateProfileSectionA("rename", section, wininit.text) != FALSE;
}

// --- folders -------------------------------------------------------------------

// Folders made by this run, innermost last, so a failure takes them away.
struct Made {
  Path folders[24];
  int count = 0;
};

// Everything after "X:\" or "\\server\share\" may have to be created.
const char* FirstToCreate(const char* folder) {
  if (folder[0] && folder[1] == ':' && folder[2] == '\\') return folder + 3;
  if (folder[0] == '\\' && folder[1] == '\\') {
    const char* at = folder + 2;
    for (int separators = 0; *at; ++at)
      if (*at == '\\' && ++separators == 2) return at + 1;
  }
  return nullptr;
}

bool CreateFolder(const char* path, Made* made, DWORD* error) {
  if (IsFolder(path)) return true;
  if (!CreateDirectoryA(path, nullptr)) {
    *error = Exists(path) ? ERROR_DIRECTORY : GetLastError();
    return false;
  }
  if (made->count < static_cast<int>(sizeof(made->folders) / sizeof(made->folders[0])))
    CopyText(made->folders[made->count++].text, MAX_PATH, path);
  return true;
}

bool CreateFolderTree(const char* folder, Made* made, Path* failed, DWORD* error) {
  Path part;
  CopyText(part.text, sizeof(part.text), folder);
  const char* first = FirstToCreate(folder);
  for (char* at = part.text + (first - folder); ; ++at) {
    if (*at != '\\' && *at != '\0') continue;
    char kept = *at;
    *at = '\0';
    bool made_it = CreateFolder(part.text, made, error);
    if (!made_it) CopyText(failed->text, sizeof(failed->text), part.text);
    *at = kept;
    if (!made_it) return false;
    if (kept == '\0') return true;
  }
}

void RemoveMade(const Made& made) {
  for (int i = made.count - 1; i >= 0; --i) RemoveDirectoryA(made.folders[i].text);
}

// A folder name the monitor can use: absolute, short enough for its spool
// files, and made of characters a file name may hold.
const char* FolderProblem(const char* folder) {
  std::size_t length = core::TextLength(folder);
  if (length == 0) return "Type the folder to install into.";
  if (length > kMaxFolder) return "The install folder's name is too long (at most 200 characters).";
  if (!FirstToCreate(folder) || (folder[length - 1] == '\\' && length > 3))
    return "Type the install folder's full name, starting with its drive, for example "
           "C:\\Program Files\\Vexa.";
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(folder[i]);
    if (c < 32 || c == '/' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
        c == '|' || (c == ':' && i != 1))
      return "The install folder's name holds a character that folder names cannot have "
             "(/ * ? \" < > | : or a control character).";
  }
  return nullptr;
}

// --- registry ------------------------------------------------------------------

LONG DeleteKeyTree(HKEY parent, const char* name) {
  HKEY key;
  LONG status = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
  if (status != ERROR_SUCCESS) return status;
  char child[MAX_PATH];
  while ((status = RegEnumKeyA(key, 0, child, sizeof(child))) == ERROR_SUCCESS) {
    if ((status = DeleteKeyTree(key, child)) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (status != ERROR_NO_MORE_ITEMS) return status;
  return RegDeleteKeyA(parent, name);
}

// InstallPath, and SendBufSize unless the user set one. Reports whether the
// key was new, so that a failed first install can take it away again.
LONG WriteMonitorKey(const char* folder, bool* created) {
  HKEY key;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return status;
  *created = disposition == REG_CREATED_NEW_KEY;
  status = RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                          static_cast<DWORD>(core::TextLength(folder) + 1));
  if (status == ERROR_SUCCESS &&
      RegQueryValueExA(key, "SendBufSize", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    DWORD size = kSendBufSize;
    status = RegSetValueExA(key, "SendBufSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size),
                            sizeof(size));
  }
  RegCloseKey(key);
  return status;
}

// --- install -------------------------------------------------------------------

struct Staging {
  Path staged[kPieceCount];
  bool done[kPieceCount] = {};      // copied next to its place
  bool committed[kPieceCount] = {}; // in its place (or due there at the next start)
  bool existed[kPieceCount] = {};   // an earlier version was there
};

void DropStaged(const Staging& staging) {
  for (int i = 0; i < kPieceCount; ++i)
    if (staging.done[i] && !staging.committed[i]) DeleteFileA(staging.staged[i].text);
}

// Takes away what a failed first install put in place.
void Undo(const Staging& staging, const char* folder, const Path& system, const Made& made,
          bool key_created) {
  DropStaged(staging);
  for (int i = 0; i < kPieceCount; ++i) {
    Path target;
    if (staging.committed[i] && !staging.existed[i] &&
        PlaceOf(kPieces[i], folder, system, kPieces[i].name, &target))
      DeleteFileA(target.text);
  }
  if (key_created) DeleteKeyTree(HKEY_LOCAL_MACHINE, kMonitorKey);
  RemoveMade(made);
}

bool SourceFolder(Path* out) {
  DWORD length = GetModuleFileNameA(nullptr, out->text, sizeof(out->text));
  if (length == 0 || length >= sizeof(out->text)) return false;
  while (length > 0 && out->text[length - 1] != '\\') --length;
  out->text[length] = '\0';
  return length > 0;
}

// Puts one staged file in its place; a DLL the spooler has loaded is
// swapped at the next start instead.
bool Commit(const Path& staged, const Path& target, bool* restart, DWORD* error) {
  if (Exists(target.text) && !DeleteFileA(target.text)) {
    *error = GetLastError();
    if (!InUse(target.text)) return false;
    if (!AddRename(target.text, staged.text)) {
      *error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
      return false;
    }
    *restart = true;
    return true;
  }
  if (MoveFileA(staged.text, target.text)) return true;
  *error = GetLastError();
  return false;
}

bool RegisterMonitor(DWORD* error) {
  char name[sizeof(kMonitorName)], environment[sizeof(kEnvironment)], dll[sizeof(kDllName)];
  CopyText(name, sizeof(name), kMonitorName);
  CopyText(environment, sizeof(environment), kEnvironment);
  CopyText(dll, sizeof(dll), kDllName);
  MONITOR_INFO_2A info{name, environment, dll};
  if (AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) return true;
  *error = GetLastError();
  // Registered by an earlier install: this run is an upgrade.
  return *error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED;
}

// --- uninstall -----------------------------------------------------------------

// One of the spooler's enumerations, into memory of its own; false (the
// error in GetLastError) when the spooler cannot answer.
template <typename Enumerate>
bool AskSpooler(Enumerate enumerate, BYTE** buffer, DWORD* count) {
  DWORD needed = 0;
  *buffer = nullptr;
  *count = 0;
  if (enumerate(nullptr, 0, &needed, count)) return true;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return false;
  *buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
  if (!*buffer) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (enumerate(*buffer, needed, &needed, count)) return true;
  DWORD error = GetLastError();
  HeapFree(GetProcessHeap(), 0, *buffer);
  *buffer = nullptr;
  SetLastError(error);
  return false;
}

void Release(BYTE* buffer) {
  if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
}

// Whether PORTS (a printer's port, or several separated by commas) names PORT.
bool PrintsTo(const char* ports, const char* port) {
  char one[MAX_PATH];
  while (ports && *ports) {
    std::size_t length = 0;
    while (ports[length] && ports[length] != ',') ++length;
    if (length < sizeof(one)) {
      CopyText(one, length + 1, ports);
      if (lstrcmpiA(one, port) == 0) return true;
    }
    ports += length + (ports[length] ? 1 : 0);
  }
  return false;
}

// Finds a printer that prints to one of the monitor's ports. False when the
// spooler could not say (the error in *error); *printer stays empty when
// no printer uses one.
bool FindPrinterOnOurPorts(char* printer, std::size_t printer_size, char* port,
                           std::size_t port_size, DWORD* error) {
  printer[0] = '\0';
  DWORD port_count = 0, printer_count = 0;
  BYTE* ports = nullptr;
  BYTE* printers = nullptr;
  if (!AskSpooler(
          [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
            return EnumPortsA(nullptr, 2, buffer, size, needed, count) != FALSE;
          },
          &ports, &port_count)) {
    *error = GetLastError();
    return false;
  }
  if (!AskSpooler(
          [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
            return EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, buffer, size, needed, count) !=
                   FALSE;
          },
          &printers, &printer_count)) {
    *error = GetLastError();
    Release(ports);
    return false;
  }
  auto* port_info = reinterpret_cast<PORT_INFO_2A*>(ports);
  auto* printer_info = reinterpret_cast<PRINTER_INFO_5A*>(printers);
  for (DWORD i = 0; ports && i < port_count && !printer[0]; ++i) {
    if (!port_info[i].pPortName || !port_info[i].pMonitorName ||
        lstrcmpiA(port_info[i].pMonitorName, kMonitorName) != 0)
      continue;
    for (DWORD j = 0; printers && j < printer_count; ++j) {
      if (!PrintsTo(printer_info[j].pPortName, port_info[i].pPortName)) continue;
      CopyText(printer, printer_size, printer_info[j].pPrinterName ? printer_info[j].pPrinterName : "?");
      CopyText(port, port_size, port_info[i].pPortName);
      break;
    }
  }
  Release(ports);
  Release(printers);
  return true;
}

// Before anything goes: every file to delete must be deletable now, or be
// held by a program (then it goes at the next start).
bool CheckRemovable(const char* path, Outcome* outcome) {
  if (!Exists(path)) return true;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return true;
  Fail(outcome, "cannot remove %s", path, error);
  AppendText(outcome->message, sizeof(outcome->message), ". Nothing was removed.");
  return false;
}

bool UnregisterMonitor(DWORD* error) {
  char name[sizeof(kMonitorName)], environment[sizeof(kEnvironment)];
  CopyText(name, sizeof(name), kMonitorName);
  CopyText(environment, sizeof(environment), kEnvironment);
  if (DeleteMonitorA(nullptr, environment, name)) return true;
  *error = GetLastError();
  return *error == ERROR_UNKNOWN_PRINT_MONITOR;
}

// The install folder's files: ours, the monitor's, and whatever waits in
// Spool. A folder the user put other files in stays, with those files.
bool RemoveFolder(const char* folder) {
  Path path, spool;
  for (const Piece& piece : kPieces)
    if (piece.place == Place::kFolder && Join(&path, folder, piece.name)) DeleteFileA(path.text);
  for (const char* name : kMonitorFiles)
    if (Join(&path, folder, name)) DeleteFileA(path.text);
  if (Join(&spool, folder, "Spool") && Join(&path, spool.text, "*.*")) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.text, &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        Path file;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            Join(&file, spool.text, found.cFileName))
          DeleteFileA(file.text);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(spool.text);
  }
  return RemoveDirectoryA(folder) || !Exists(folder);
}

}  // namespace

void Note(const char* line) {
  AppendText(g_notes, sizeof(g_notes), line);
  AppendText(g_notes, sizeof(g_notes), "\r\n");
}

const char* Notes() { return g_notes; }

bool InstalledFolder(char* folder, std::size_t size) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  char value[MAX_PATH + 1] = "";
  DWORD value_size = MAX_PATH;
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, "InstallPath", nullptr, &type,
                                 reinterpret_cast<BYTE*>(value), &value_size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ || value[0] == '\0') return false;
  CopyText(folder, size, value);
  return true;
}

void DefaultFolder(char* folder, std::size_t size) {
  CopyText(folder, size, kDefaultFolder);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return;
  char value[MAX_PATH + 1] = "";
  DWORD value_size = MAX_PATH;
  DWORD type = 0;
  if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &value_size) == ERROR_SUCCESS &&
      type == REG_SZ && value[0] != '\0' && core::TextLength(value) < kMaxFolder - 6) {
    Path joined;
    if (Join(&joined, value, "Vexa")) CopyText(folder, size, joined.text);
  }
  RegCloseKey(key);
}

Result Install(const char* requested, Outcome* outcome) {
  char folder[MAX_PATH];
  CopyText(folder, sizeof(folder), requested);
  if (const char* problem = FolderProblem(folder)) return Refuse(outcome, problem);
  NoteOf("Installing Vexa Network Printer Port into %s", folder);

  char installed[MAX_PATH] = "";
  if (InstalledFolder(installed, sizeof(installed)) && lstrcmpiA(installed, folder) != 0) {
    wsprintfA(outcome->message,
              "Vexa Network Printer Port is already installed in %s. To move it, run "
              "SETUP.EXE /U first (its ports' settings go with it), then install again.",
              installed);
    return Refuse(outcome, outcome->message);
  }

  Path source, system;
  if (!SourceFolder(&source)) return Fail(outcome, "cannot find %s", "SETUP.EXE's folder", GetLastError());
  if (!SystemFolder(&system)) return Fail(outcome, "cannot find %s", "the system folder", GetLastError());
  for (const Piece& piece : kPieces) {
    Path from;
    if (!Join(&from, source.text, piece.name) || !Exists(from.text)) {
      wsprintfA(outcome->message,
                "%s is missing from SETUP.EXE's folder. Unpack the whole release into one folder "
                "and run SETUP.EXE from there.",
                piece.name);
      return Refuse(outcome, outcome->message);
    }
  }

  Made made;
  Path failed, spool;
  DWORD error = 0;
  if (!CreateFolderTree(folder, &made, &failed, &error))
    return Fail(outcome, "cannot create the folder %s", failed.text, error);
  if (!Join(&spool, folder, "Spool") || !CreateFolder(spool.text, &made, &error)) {
    RemoveMade(made);
    return Fail(outcome, "cannot create the folder %s", spool.text, error);
  }

  Staging staging;
  for (int i = 0; i < kPieceCount; ++i) {
    const Piece& piece = kPieces[i];
    Path from, target;
    Join(&from, source.text, piece.name);
    PlaceOf(piece, folder, system, piece.staged, &staging.staged[i]);
    PlaceOf(piece, folder, system, piece.name, &target);
    staging.existed[i] = Exists(target.text);
    if (!CopyFileA(from.text, staging.staged[i].text, FALSE)) {
      error = GetLastError();
      Undo(staging, folder, system, made, false);
      char what[MAX_PATH + 40];
      wsprintfA(what, "cannot copy %s into ", piece.name);
      AppendText(what, sizeof(what), piece.place == Place::kSystem ? system.text : folder);
      return Fail(outcome, "%s", what, error);
    }
    staging.done[i] = true;
  }

  bool key_created = false;
  if (LONG status = WriteMonitorKey(folder, &key_created); status != ERROR_SUCCESS) {
    Undo(staging, folder, system, made, key_created);
    return Fail(outcome, "cannot write the monitor's settings under HKEY_LOCAL_MACHINE\\%s",
                kMonitorKey, static_cast<DWORD>(status));
  }

  // The DLL first: when it cannot be replaced, nothing else has changed yet.
  bool restart = false;
  for (int i = 0; i < kPieceCount; ++i) {
    Path target;
    PlaceOf(kPieces[i], folder, system, kPieces[i].name, &target);
    if (!Commit(staging.staged[i], target, &restart, &error)) {
      if (!installed[0] || i == 0) Undo(staging, folder, system, made, key_created);
      else DropStaged(staging);
      return Fail(outcome, "cannot replace %s", target.text, error);
    }
    staging.committed[i] = true;
    NoteOf(restart && i == 0 ? "%s: replaced at the next start (in use)" : "%s: in place",
           target.text);
  }

  error = 0;
  if (!RegisterMonitor(&error)) {
    Undo(staging, folder, system, made, key_created);
    return Fail(outcome, "the spooler refused to add the monitor %s", kMonitorName, error);
  }
  Note(error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED ? "the monitor was registered already"
                                                      : "the monitor is registered");
  outcome->result = restart ? Result::kRestart : Result::kDone;
  return outcome->result;
}

Result Uninstall(Outcome* outcome) {
  Note("Removing Vexa Network Printer Port");
  char folder[MAX_PATH] = "";
  bool have_folder = InstalledFolder(folder, sizeof(folder));
  Path system, dll;
  if (!SystemFolder(&system) || !Join(&dll, system.text, kDllName))
    return Fail(outcome, "cannot find %s", "the system folder", GetLastError());

  char printer[MAX_PATH], port[MAX_PATH];
  DWORD error = 0;
  if (!FindPrinterOnOurPorts(printer, sizeof(printer), port, sizeof(port), &error))
    return Fail(outcome, "cannot ask %s which printers use its ports; nothing was removed",
                "the spooler", error);
  if (printer[0]) {
    wsprintfA(outcome->message,
              "The printer \"%s\" prints to the port \"%s\" of Vexa Network Printer Port. "
              "Choose another port for it (the printer's Properties, Details), then remove "
              "Vexa Network Printer Port again. Nothing was removed.",
              printer, port);
    return Refuse(outcome, outcome->message);
  }
  if (!CheckRemovable(dll.text, outcome)) return Result::kFailed;
  Path path;
  for (const Piece& piece : kPieces)
    if (have_folder && piece.place == Place::kFolder && Join(&path, folder, piece.name) &&
        !CheckRemovable(path.text, outcome))
      return Result::kFailed;

  if (!UnregisterMonitor(&error))
    return Fail(outcome, "the spooler refused to remove the monitor %s; nothing was removed",
                kMonitorName, error);
  Note("the monitor is no longer registered");
  LONG status = DeleteKeyTree(HKEY_LOCAL_MACHINE, kMonitorKey);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
    return Fail(outcome, "cannot delete the registry key HKEY_LOCAL_MACHINE\\%s", kMonitorKey,
                static_cast<DWORD>(status));

  bool restart = false;
  if (Exists(dll.text) && !DeleteFileA(dll.text)) {
    error = GetLastError();
    if (!InUse(dll.text) || !AddRename(nullptr, dll.text))
      return Fail(outcome, "cannot remove %s", dll.text, error);
    restart = true;
    NoteOf("%s: removed at the next start (in use)", dll.text);
  }
  if (have_folder && !RemoveFolder(folder)) NoteOf("%s: left, it holds files of others", folder);
  outcome->result = restart ? Result::kRestart : Result::kDone;
  return outcome->result;
}

}  // namespace setup
