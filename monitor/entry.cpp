// The exported entry and the operations that manage ports as a whole. Job
// operations are in job.cpp. InitializeMonitorEx plugs the senders and the
// retry decision into the foundation's hooks; the DLL's entry in ui/ plugs
// in the dialogs.
#include <windows.h>
#include <winnetwk.h>
#include <winsock.h>

#include "core/ini.h"
#include "core/port_table.h"
#include "core/port_values.h"
#include "core/ports.h"
#include "core/state.h"
#include "core/store.h"
#include "core/text.h"
#include "ipp/job.h"
#include "monitor/job.h"
#include "monitor/monitor_table.h"
#include "monitor/prompts.h"
#include "transport/senders.h"

namespace monitor {
namespace {

using namespace core;

constexpr DWORD kScanInterval = 10000;
constexpr DWORD kScanWait = 3000;
constexpr DWORD kStringNoTcpIp = 508;
constexpr DWORD kStringBadWinSock = 509;

// --- network printer scan -------------------------------------------------

void Sweep() {
  PortEntry* p = g_monitor.ports;
  while (p != nullptr) {
    PortEntry* next = p->next;
    if (p->flags & kNetworkEntry) {
      if (p->flags & kSeen) {
        p->flags &= ~kSeen;
      } else {
        Free(p->remote_name);
        p->remote_name = nullptr;
        RemovePortEntry(p->name);
      }
    }
    p = next;
  }
}

void NoteConnectedPrinter(const NETRESOURCEA& resource) {
  if (resource.lpLocalName == nullptr || resource.lpLocalName[0] == '\0') return;
  Locked lock;
  PortEntry* p = FindPort(resource.lpLocalName);
  if (p == nullptr) {
    char name[MAX_PATH];
    CopyText(name, sizeof(name) - 1, resource.lpLocalName);
    AppendText(name, sizeof(name), ":");
    p = AddPortEntry(nullptr, name, nullptr, kLpr);
  }
  if (p != nullptr) {
    Free(p->remote_name);
    p->remote_name = DupText(resource.lpRemoteName != nullptr ? resource.lpRemoteName : "");
    p->flags |= kNetworkEntry | kSeen;
  }
}

void ScanNetworkPrinters() {
  HANDLE enumeration;
  if (WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &enumeration) ==
      NO_ERROR) {
    constexpr DWORD kBufferSize = 4096;
    auto* buffer = static_cast<NETRESOURCEA*>(Alloc(kBufferSize));
    if (buffer != nullptr) {
      DWORD result;
      do {
        DWORD count = 0xFFFFFFFF, size = kBufferSize;
        result = WNetEnumResourceA(enumeration, &count, buffer, &size);
        if (result != NO_ERROR && result != ERROR_MORE_DATA) break;
        for (DWORD i = 0; i < count; ++i) NoteConnectedPrinter(buffer[i]);
      } while (result == ERROR_MORE_DATA);
      Free(buffer);
    }
    WNetCloseEnum(enumeration);
  }
  Locked lock;
  Sweep();
  g_monitor.scans_running = 0;
  if (g_monitor.scan_done != nullptr) SetEvent(g_monitor.scan_done);
}

DWORD WINAPI ScanThread(LPVOID) {
  ScanNetworkPrinters();
  return 0;
}

// Called with the lock held, and returns with it held; lets go of it while
// the scan runs, which needs it for every printer it notes.
void MaybeScan() {
  DWORD now = GetTickCount();
  if (now - g_monitor.last_scan <= kScanInterval) return;
  if (!g_monitor.scan_enabled) {
    g_monitor.last_scan = now;
    return;
  }
  if (g_monitor.scans_running != 0) return;
  g_monitor.scan_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (g_monitor.scan_done == nullptr) return;
  g_monitor.last_scan = now;
  g_monitor.scans_running = 1;
  if (StartWorker(ScanThread, nullptr)) {
    LeaveLock();
    WaitForSingleObject(g_monitor.scan_done, kScanWait);
    EnterLock();
    CloseHandle(g_monitor.scan_done);
    g_monitor.scan_done = nullptr;
  } else {
    CloseHandle(g_monitor.scan_done);
    g_monitor.scan_done = nullptr;
    LeaveLock();
    ScanNetworkPrinters();
    EnterLock();
  }
}

// --- EnumPorts ------------------------------------------------------------

const char* ShownDescription(const PortEntry* p) {
  return (p->flags & kNetworkEntry) ? p->remote_name : p->description;
}

DWORD StringBytes(const char* text) { return text != nullptr ? TextLength(text) + 1 : 0; }

// Copies the strings to the end of the buffer, moving `end` backwards.
char* PackString(const char* text, char** field, char* end) {
  if (text == nullptr) {
    *field = nullptr;
    return end;
  }
  DWORD bytes = TextLength(text) + 1;
  end -= bytes;
  CopyMemory(end, text, bytes);
  *field = end;
  return end;
}

// --- ports from the registry --------------------------------------------

void AddRegistryPort(const char* name) {
  DWORD kind = kLpr;
  if (!ReadPrintMode(name, &kind)) kind = kLpr;
  if (kind > kMail) return;
  char description[kIniTextMax];
  DefaultDescription(kind, description, sizeof(description));
  AddPortEntry(nullptr, name, description, kind);
}

bool ImportRegistryPort() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.ports_key, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  char name[261];
  bool found = false;
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) {
    if (FindPort(name) == nullptr) {
      found = true;
      break;
    }
  }
  RegCloseKey(key);
  if (!found) return false;
  DWORD kind;
  if (!ReadPrintMode(name, &kind)) return false;

  PortEntry temporary{};
  temporary.kind = temporary.block_kind = kind;
  temporary.spool_file = INVALID_HANDLE_VALUE;
  std::size_t block_size = BlockSize(kind);
  if (block_size != 0 && (temporary.block = Alloc(block_size)) == nullptr) return false;
  char description[kIniTextMax];
  DefaultDescription(kind, description, sizeof(description));
  LoadPortRecord(&temporary, name);
  // The key's "PrintMode" was read a moment ago; the record is added as the
  // kind its block was made for even if someone changes it in between.
  AddPortEntry(temporary.block, name, description, kind);
  Free(temporary.block);
  return true;
}

HANDLE CreateMarkerMutex(const char* format, const char* name) {
  char mutex_name[128];
  wsprintfA(mutex_name, format, name);
  return CreateMutexA(nullptr, TRUE, mutex_name);
}

void CloseMarker(HANDLE mutex) {
  if (mutex != nullptr) CloseHandle(mutex);
}

// --- the operations -----------------------------------------------------

BOOL WINAPI EnumPorts(LPSTR, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                      LPDWORD returned) {
  if (level > 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  Locked lock;
  MaybeScan();
  DWORD total = 0;
  for (PortEntry* p = g_monitor.ports; p != nullptr; p = p->next) {
    if (level == 1) total += sizeof(PORT_INFO_1A) + StringBytes(p->name);
    if (level == 2)
      total += sizeof(PORT_INFO_2A) + StringBytes(p->name) + StringBytes(g_monitor.name) +
               StringBytes(ShownDescription(p));
  }
  *needed = total;
  if (size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *returned = 0;
  char* end = reinterpret_cast<char*>(ports) + total;
  LPBYTE record = ports;
  for (PortEntry* p = g_monitor.ports; p != nullptr; p = p->next) {
    if (level == 1) {
      auto* info = reinterpret_cast<PORT_INFO_1A*>(record);
      end = PackString(p->name, &info->pName, end);
      record += sizeof(*info);
    } else if (level == 2) {
      auto* info = reinterpret_cast<PORT_INFO_2A*>(record);
      end = PackString(p->name, &info->pPortName, end);
      end = PackString(g_monitor.name, &info->pMonitorName, end);
      end = PackString(ShownDescription(p), &info->pDescription, end);
      info->fPortType = (p->flags & kNetworkEntry) ? PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED
                                                   : PORT_TYPE_WRITE;
      info->Reserved = 0;
      record += sizeof(*info);
    }
    ++*returned;
  }
  return TRUE;
}

BOOL WINAPI OpenPort(LPSTR name, PHANDLE handle) {
  Locked lock;
  PortEntry* p = name != nullptr ? FindPort(name) : nullptr;
  if (p != nullptr) *handle = p;
  return p != nullptr;
}

BOOL WINAPI ClosePort(HANDLE) { return TRUE; }

BOOL WINAPI DeletePort(LPSTR, HWND, LPSTR port_name) {
  if (port_name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Locked lock;
  bool removed = RemovePortEntry(port_name);
  if (removed) DeletePortRecord(port_name);
  return removed;
}

BOOL WINAPI AddPort(LPSTR, HWND owner, LPSTR) {
  if (owner == nullptr) {
    Locked lock;
    if (ImportRegistryPort()) return TRUE;
  }
  HANDLE marker = CreateMarkerMutex("Add %s", g_monitor.name);
  if (g_monitor.wizard_open) {
    MessageFromIni(owner, "IDS_ADD_PORT_LIMIT", MB_ICONEXCLAMATION);
    CloseMarker(marker);
    return TRUE;
  }
  g_monitor.wizard_open = true;
  INT_PTR result =
      g_monitor.hooks.add_port_wizard != nullptr ? g_monitor.hooks.add_port_wizard(owner) : 0;
  g_monitor.wizard_open = false;
  CloseMarker(marker);
  if (result != 1) {
    SetLastError(ERROR_CANCELLED);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI ConfigurePort(LPSTR, HWND owner, LPSTR port_name) {
  static constexpr char kConfigureName[] = "ZR-MDL0000000000 Network Printer Port";
  HANDLE marker = CreateMarkerMutex("Configure %s", kConfigureName);
  if (g_monitor.configure_open) {
    MessageFromIni(owner, "IDS_CONF_PORT_LIMIT", MB_ICONEXCLAMATION);
    CloseMarker(marker);
    return TRUE;
  }
  g_monitor.configure_open = true;
  // The dialog works on the port's key, not on its entry: a DeletePort on
  // another thread may free the entry while the dialog is up.
  std::uint32_t kind = kPassThrough;
  bool found = false;
  if (port_name != nullptr) {
    Locked lock;
    if (PortEntry* p = FindExactEntry(g_monitor.ports, port_name)) {
      found = true;
      kind = p->block_kind;
    }
  }
  if (!found) {
    g_monitor.configure_open = false;
    CloseMarker(marker);
    return FALSE;
  }
  if (g_monitor.hooks.configure_port != nullptr)
    g_monitor.hooks.configure_port(owner, port_name, kind);
  g_monitor.configure_open = false;
  CloseMarker(marker);
  return TRUE;
}

bool StartWinSock() {
  WSADATA data;
  char text[256];
  char formatted[512];
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    LoadStringA(g_monitor.module, kStringNoTcpIp, text, sizeof(text));
    CopyText(formatted, sizeof(formatted), text);
  } else if (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) == 1) {
    return true;
  } else {
    WSACleanup();
    LoadStringA(g_monitor.module, kStringBadWinSock, text, sizeof(text));
    wsprintfA(formatted, text, kBuiltInName);
  }
  MessageBoxA(nullptr, formatted, kBuiltInErrorTitle, MB_ICONINFORMATION | MB_SETFOREGROUND);
  return false;
}

void InstallSenders() {
  g_monitor.hooks.senders[kLpr] = {transport::LprWrite, transport::LprEnd};
  g_monitor.hooks.senders[kIpp] = {ipp::IppWrite, ipp::IppEnd};
  g_monitor.hooks.senders[kRaw] = {transport::RawWrite, transport::RawEnd};
  g_monitor.hooks.retry_prompt = RetryPrompt;
}

}  // namespace
}  // namespace monitor

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR, monitor::MonitorTable* table) {
  using namespace monitor;
  using namespace core;
  InitializeCriticalSection(&g_monitor.lock);
  Locked lock;

  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(g_monitor.module, path, MAX_PATH);
  MonitorNameFromPath(path, g_monitor.name);
  wsprintfA(g_monitor.monitor_key, "%s\\%s", kMonitorsKey, g_monitor.name);
  wsprintfA(g_monitor.ports_key, "%s\\%s\\Ports", kMonitorsKey, g_monitor.name);

  InstallSenders();
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.ports_key, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    char name[200];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
      if (FindPort(name) == nullptr) AddRegistryPort(name);
    RegCloseKey(key);
  }

  table->EnumPorts = EnumPorts;
  table->OpenPort = OpenPort;
  table->OpenPortEx = nullptr;
  table->StartDocPort = StartDocPort;
  table->WritePort = WritePort;
  table->ReadPort = ReadPort;
  table->EndDocPort = EndDocPort;
  table->ClosePort = ClosePort;
  table->AddPort = AddPort;
  table->ConfigurePort = ConfigurePort;
  table->DeletePort = DeletePort;
  table->GetPrinterDataFromPort = GetPrinterDataFromPort;
  table->SetPortTimeOuts = SetPortTimeOuts;

  g_monitor.scan_enabled = true;
  HANDLE probe;
  DWORD status = WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &probe);
  if (status == NO_ERROR)
    WNetCloseEnum(probe);
  else if (status == ERROR_NO_NETWORK)
    g_monitor.scan_enabled = false;

  return StartWinSock();
}
