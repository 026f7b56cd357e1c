// mpr.dll with a network the host makes up: the printers connected to local
// ports, and whether there is a network at all. Loaded instead of Wine's mpr
// (WINEDLLOVERRIDES=mpr=n), which would report whatever this machine has.
#include <windows.h>
#include <winnetwk.h>

#include <string>
#include <vector>

#include "host/mpr/standin.h"
#include "host/pack.h"

namespace {

struct Connection {
  std::string local;
  std::string remote;
};

// A snapshot taken by WNetOpenEnumA: connecting or disconnecting while a
// caller walks the list does not shift it under the caller.
struct Enumeration {
  std::vector<Connection> items;
  size_t next = 0;
};

constexpr char kProvider[] = "Microsoft Network";

CRITICAL_SECTION g_lock;
std::vector<Connection> g_connections;
std::vector<Enumeration*> g_enumerations;
bool g_no_network = false;

struct Locked {
  Locked() { EnterCriticalSection(&g_lock); }
  ~Locked() { LeaveCriticalSection(&g_lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// WNet calls return their error and leave it in GetLastError as well.
DWORD Result(DWORD code) {
  SetLastError(code);
  return code;
}

Enumeration* FindEnumeration(HANDLE handle) {
  for (Enumeration* known : g_enumerations)
    if (known == handle) return known;
  return nullptr;
}

DWORD EntryBytes(const Connection& item) {
  return sizeof(NETRESOURCEA) + host::StringBytes(item.local.c_str()) +
         host::StringBytes(item.remote.c_str()) + host::StringBytes(kProvider);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
  return TRUE;
}

DWORD WINAPI WNetOpenEnumA(DWORD scope, DWORD type, DWORD, LPNETRESOURCEA, LPHANDLE handle) {
  if (!handle) return Result(ERROR_INVALID_PARAMETER);
  if (type & ~DWORD{RESOURCETYPE_DISK | RESOURCETYPE_PRINT})
    return Result(ERROR_INVALID_PARAMETER);
  Locked lock;
  if (g_no_network) return Result(ERROR_NO_NETWORK);
  auto* enumeration = new Enumeration;
  switch (scope) {
    case RESOURCE_CONNECTED:
    case RESOURCE_REMEMBERED:
      if (type == RESOURCETYPE_ANY || (type & RESOURCETYPE_PRINT))
        enumeration->items = g_connections;
      break;
    case RESOURCE_GLOBALNET:  // browsing the network finds nothing to list
      break;
    default:
      delete enumeration;
      return Result(ERROR_INVALID_PARAMETER);
  }
  g_enumerations.push_back(enumeration);
  *handle = enumeration;
  return Result(NO_ERROR);
}

DWORD WINAPI WNetEnumResourceA(HANDLE handle, LPDWORD count, LPVOID buffer, LPDWORD size) {
  if (!count || !size || *count == 0 || (!buffer && *size)) return Result(ERROR_INVALID_PARAMETER);
  Locked lock;
  Enumeration* enumeration = FindEnumeration(handle);
  if (!enumeration) return Result(ERROR_INVALID_HANDLE);
  const std::vector<Connection>& items = enumeration->items;
  if (enumeration->next >= items.size()) {
    *count = 0;
    return Result(ERROR_NO_MORE_ITEMS);
  }
  // 0xFFFFFFFF asks for as many as fit; so does any count above what is left.
  DWORD fitting = 0;
  DWORD used = 0;
  for (size_t i = enumeration->next; i < items.size() && fitting < *count; ++i) {
    DWORD bytes = EntryBytes(items[i]);
    if (used + bytes > *size) break;
    used += bytes;
    ++fitting;
  }
  if (fitting == 0) {
    *size = EntryBytes(items[enumeration->next]);
    return Result(ERROR_MORE_DATA);
  }
  host::Packer packer = host::StartPacking(buffer, *size);
  for (DWORD i = 0; i < fitting; ++i) {
    const Connection& item = items[enumeration->next++];
    auto* resource = host::PackRecord<NETRESOURCEA>(packer);
    resource->dwScope = RESOURCE_CONNECTED;
    resource->dwType = RESOURCETYPE_PRINT;
    resource->dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    resource->lpLocalName = host::PackString(packer, item.local.c_str());
    resource->lpRemoteName = host::PackString(packer, item.remote.c_str());
    resource->lpProvider = host::PackString(packer, kProvider);
  }
  *count = fitting;
  return Result(NO_ERROR);
}

DWORD WINAPI WNetCloseEnum(HANDLE handle) {
  Locked lock;
  for (auto it = g_enumerations.begin(); it != g_enumerations.end(); ++it) {
    if (*it != handle) continue;
    delete *it;
    g_enumerations.erase(it);
    return Result(NO_ERROR);
  }
  return Result(ERROR_INVALID_HANDLE);
}

BOOL WINAPI VexaMprConnect(const char* local, const char* remote) {
  if (!local || !*local || !remote || !*remote) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Locked lock;
  for (Connection& item : g_connections) {
    if (lstrcmpiA(item.local.c_str(), local) != 0) continue;
    item.remote = remote;
    return TRUE;
  }
  g_connections.push_back(Connection{local, remote});
  return TRUE;
}

BOOL WINAPI VexaMprDisconnect(const char* local) {
  Locked lock;
  for (auto it = g_connections.begin(); local && it != g_connections.end(); ++it) {
    if (lstrcmpiA(it->local.c_str(), local) != 0) continue;
    g_connections.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_NOT_CONNECTED);
  return FALSE;
}

void WINAPI VexaMprSetNoNetwork(BOOL no_network) {
  Locked lock;
  g_no_network = no_network != FALSE;
}

}  // extern "C"
