// What SETUP.EXE does: put the monitor's files in place and register it with
// the spooler, or take all of it away again. Windows 95 APIs only and no C
// runtime, like the monitor itself.
#pragma once
#include <windows.h>

#include <cstddef>

namespace setup {

inline constexpr char kMonitorName[] = "Vexa Network Printer Port";
inline constexpr char kMonitorKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vexa Network Printer Port";
inline constexpr char kEnvironment[] = "Windows 4.0";
// The monitor takes its name from its file name: exactly this spelling.
inline constexpr char kDllName[] = "Vexamon.dll";
inline constexpr char kDefaultFolder[] = "C:\\Program Files\\Vexa";
// Room below the install folder for "\Spool\~QVE000.QVE".
inline constexpr std::size_t kMaxFolder = 200;

enum class Result { kDone, kRestart, kFailed };

// wsprintfA writes at most 1024 characters and the terminator.
struct Outcome {
  Result result = Result::kFailed;
  char message[1025] = "";
};

// Each step, one line, for SETUP.LOG.
void Note(const char* line);
const char* Notes();

// InstallPath of an existing installation; false when there is none.
bool InstalledFolder(char* folder, std::size_t size);
// The Program Files folder of this machine followed by "\Vexa".
void DefaultFolder(char* folder, std::size_t size);

// Copies the files beside SETUP.EXE into FOLDER and the system folder,
// records the folder and registers the monitor; on failure removes what it
// made. Run again over an installation, it upgrades it in place.
Result Install(const char* folder, Outcome* outcome);
// Refuses while a printer prints to one of the monitor's ports; otherwise
// removes the registration, the monitor's key, its DLL and its folder.
Result Uninstall(Outcome* outcome);

}  // namespace setup
