// The exported entry, the port table and the operations that manage ports
// as a whole. Job operations are in job.cpp.
#include "monitor/monitor.h"

#include <winnetwk.h>
#include <winsock.h>

#include "monitor/ini.h"
#include "monitor/job.h"
#include "monitor/monitor_table.h"
#include "monitor/port_table.h"
#include "monitor/state.h"
#include "monitor/store.h"
#include "monitor/text.h"

namespace monitor {

MonitorState g_monitor;

namespace {

constexpr DWORD kScanInterval = 10000;
constexpr DWORD kScanWait = 3000;
constexpr DWORD kLprTimeout = 900000;
constexpr DWORD kIppTimeout = 180000;
constexpr DWORD kStringNoTcpIp = 508;
constexpr DWORD kStringBadWinSock = 509;

void FreeEntry(PortEntry* p) {
  Free(p->description);
  Free(p->remote_name);
  Free(p->user_name);
  Free(p->document_name);
  Free(p->block);
  Free(p);
}

// Copies the settings the kind keeps from `settings` (laid out as the kind's
// block) into the entry's zero-filled block and sets the kind's defaults.
void CopyBlockSettings(PortEntry* p, const void* settings) {
  if (settings == nullptr) settings = p->block;  // empty settings: the block itself is zero
  switch (p->kind) {
    case kLpr: {
      auto* s = static_cast<const LprBlock*>(settings);
      LprBlock* b = Lpr(p);
      b->socket = kNoSocket;
      CopyText(b->HostName, sizeof(b->HostName), s->HostName);
      CopyText(b->PortName, sizeof(b->PortName), s->PortName);
      b->PortNum = s->PortNum;
      b->NonByteCount = 0;
      b->NonRFCPorts = 1;
      p->cmd_timeout = p->data_timeout = kLprTimeout;
      p->send = g_monitor.senders[p->kind].send;
      break;
    }
    case kIpp: {
      auto* s = static_cast<const IppBlock*>(settings);
      IppBlock* b = Ipp(p);
      b->data_socket = b->status_socket = kNoSocket;
      CopyText(b->URL, sizeof(b->URL), s->URL);
      CopyText(b->ProxyName, sizeof(b->ProxyName), s->ProxyName);
      CopyText(b->Language, sizeof(b->Language), s->Language);
      b->UseProxy = s->UseProxy;
      b->Chunked = s->Chunked;
      b->port = s->port;
      b->ProxyNum = s->ProxyNum;
      b->Base64 = 0;
      b->JobSheets = 0;
      b->MaxChunk = 4096;
      b->request_id = 1;
      p->cmd_timeout = p->data_timeout = kIppTimeout;
      p->send = g_monitor.senders[p->kind].send;
      break;
    }
    case kRaw: {
      auto* s = static_cast<const RawBlock*>(settings);
      RawBlock* b = Raw(p);
      b->socket = kNoSocket;
      CopyText(b->HostName, sizeof(b->HostName), s->HostName);
      b->PortNum = s->PortNum;
      p->cmd_timeout = p->data_timeout = kLprTimeout;
      p->send = g_monitor.senders[p->kind].send;
      break;
    }
    case kMail: {
      auto* s = static_cast<const MailBlock*>(settings);
      MailBlock* b = Mail(p);
      CopyText(b->AuthPass, sizeof(b->AuthPass), s->AuthPass);
      CopyText(b->SmtpServer, sizeof(b->SmtpServer), s->SmtpServer);
      CopyText(b->FromName, sizeof(b->FromName), s->FromName);
      CopyText(b->FromAddr, sizeof(b->FromAddr), s->FromAddr);
      CopyText(b->ToAddr, sizeof(b->ToAddr), s->ToAddr);
      CopyText(b->AuthID, sizeof(b->AuthID), s->AuthID);
      b->NoPrint = s->NoPrint;
      b->EditBody = s->EditBody;
      b->CharCode = s->CharCode;
      b->AuthType = s->AuthType;
      if (s->NoPrint == 0 && s->EditBody == 0) {
        CopyText(b->Subject, sizeof(b->Subject), s->Subject);
        CopyText(b->Body, sizeof(b->Body), s->Body);
        CopyText(b->Signature, sizeof(b->Signature), s->Signature);
      }
      b->DivideFile = 0;
      b->DivideSize = 50;
      break;
    }
    default:
      break;
  }
}

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
  EnterLock();
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
  LeaveLock();
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
  EnterLock();
  Sweep();
  g_monitor.scans_running = 0;
  if (g_monitor.scan_done != nullptr) SetEvent(g_monitor.scan_done);
  LeaveLock();
}

DWORD WINAPI ScanThread(LPVOID) {
  ScanNetworkPrinters();
  return 0;
}

// Called with the lock held; leaves it held.
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

void DescriptionForKind(std::uint32_t kind, char* out, std::size_t size) {
  static constexpr const char* kKeys[] = {"IDS_LPR_PORT", "IDS_IPP_PORT", "IDS_RAW_PORT",
                                          "IDS_EMP_PORT"};
  static constexpr const char* kFormats[] = {"%s LPR Port", "%s IPP Port", "%s Raw Port",
                                             "%s E-mail Port"};
  out[0] = '\0';
  if (kind > kMail) return;
  IniText(kMessageIni, kMessageSection, kKeys[kind], 0, out, size);
  if (out[0] == '\0') {
    char text[128];
    wsprintfA(text, kFormats[kind], kBuiltInName);
    CopyText(out, size, text);
  }
}

void AddRegistryPort(const char* name) {
  DWORD kind = kLpr;
  if (!ReadPrintMode(name, &kind)) kind = kLpr;
  if (kind > kMail) return;
  char description[kIniTextMax];
  DescriptionForKind(kind, description, sizeof(description));
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
  DescriptionForKind(kind, description, sizeof(description));
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
  EnterLock();
  MaybeScan();
  DWORD total = 0;
  for (PortEntry* p = g_monitor.ports; p != nullptr; p = p->next) {
    if (level == 1) total += sizeof(PORT_INFO_1A) + StringBytes(p->name);
    if (level == 2)
      total += sizeof(PORT_INFO_2A) + StringBytes(p->name) + StringBytes(g_monitor.name) +
               StringBytes(ShownDescription(p));
  }
  *needed = total;
  DWORD error = ERROR_SUCCESS;
  if (size < total) {
    error = ERROR_INSUFFICIENT_BUFFER;
  } else {
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
  }
  LeaveLock();
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI OpenPort(LPSTR name, PHANDLE handle) {
  EnterLock();
  PortEntry* p = name != nullptr ? FindPort(name) : nullptr;
  if (p != nullptr) *handle = p;
  LeaveLock();
  return p != nullptr;
}

BOOL WINAPI ClosePort(HANDLE) { return TRUE; }

BOOL WINAPI DeletePort(LPSTR, HWND, LPSTR port_name) {
  if (port_name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  EnterLock();
  bool removed = RemovePortEntry(port_name);
  if (removed) DeletePortRecord(port_name);
  LeaveLock();
  return removed;
}

BOOL WINAPI AddPort(LPSTR, HWND owner, LPSTR) {
  if (owner == nullptr) {
    EnterLock();
    bool imported = ImportRegistryPort();
    LeaveLock();
    if (imported) return TRUE;
  }
  HANDLE marker = CreateMarkerMutex("Add %s", g_monitor.name);
  if (g_monitor.wizard_open) {
    MessageFromIni(owner, "IDS_ADD_PORT_LIMIT", MB_ICONEXCLAMATION);
    CloseMarker(marker);
    return TRUE;
  }
  g_monitor.wizard_open = true;
  INT_PTR result =
      g_monitor.dialogs.add_port_wizard != nullptr ? g_monitor.dialogs.add_port_wizard(owner) : 0;
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
  EnterLock();
  PortEntry* p = port_name != nullptr ? FindExactEntry(g_monitor.ports, port_name) : nullptr;
  LeaveLock();
  if (p == nullptr) {
    g_monitor.configure_open = false;
    CloseMarker(marker);
    return FALSE;
  }
  if (g_monitor.dialogs.configure_port != nullptr)
    g_monitor.dialogs.configure_port(owner, p, port_name);
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

}  // namespace

bool StartWorker(LPTHREAD_START_ROUTINE routine, void* parameter) {
  constexpr DWORD kWorkerStack = 16384;
  DWORD id;
  HANDLE thread = CreateThread(nullptr, kWorkerStack, routine, parameter, CREATE_SUSPENDED, &id);
  if (thread == nullptr) return false;
  SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
  ResumeThread(thread);
  CloseHandle(thread);
  return true;
}

char* DupText(const char* text) {
  std::size_t bytes = TextLength(text) + 1;
  auto* copy = static_cast<char*>(Alloc(bytes));
  if (copy != nullptr) CopyMemory(copy, text, bytes);
  return copy;
}

PortEntry* FindPort(const char* name) { return FindPortEntry(g_monitor.ports, name); }

void DefaultDescription(std::uint32_t kind, char* out, std::size_t size) {
  DescriptionForKind(kind, out, size);
}

PortEntry* AddPortEntry(const void* settings, const char* name, const char* description,
                        std::uint32_t kind) {
  std::size_t name_bytes = TextLength(name) + 1;
  auto* p = static_cast<PortEntry*>(Alloc(sizeof(PortEntry) + name_bytes));
  if (p == nullptr) return nullptr;
  p->name = reinterpret_cast<char*>(p + 1);
  CopyMemory(p->name, name, name_bytes);
  p->kind = p->block_kind = kind;
  p->spool_file = INVALID_HANDLE_VALUE;
  std::size_t block_size = BlockSize(kind);
  if (block_size != 0) {
    p->block = Alloc(block_size);
    if (p->block == nullptr) {
      Free(p);
      return nullptr;
    }
    CopyBlockSettings(p, settings);
  }
  p->NonSpool = 0;
  p->Reconnection = 0;
  p->SendBufSize = 16384;
  if (description != nullptr) {
    p->description = DupText(description[0] != '\0' ? description : name);
    if (p->description == nullptr) {
      FreeEntry(p);
      return nullptr;
    }
  }
  InsertByNameLength(&g_monitor.ports, p);
  return p;
}

bool RemovePortEntry(const char* name) {
  PortEntry* p = UnlinkPortEntry(&g_monitor.ports, name);
  if (p == nullptr) {
    SetLastError(ERROR_UNKNOWN_PORT);
    return false;
  }
  FreeEntry(p);
  return true;
}

}  // namespace monitor

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR, monitor::MonitorTable* table) {
  using namespace monitor;
  InitializeCriticalSection(&g_monitor.lock);
  EnterLock();

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

  bool started = StartWinSock();
  LeaveLock();
  return started;
}
