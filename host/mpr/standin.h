// Control side of the mpr.dll stand-in: the host decides which printers are
// connected and whether there is a network at all. Only the stand-in exports
// these; Bind() finds out whether Wine loaded it.
#pragma once
#include <windows.h>

#include <type_traits>

extern "C" {

// Connects LOCAL ("LPT2") to REMOTE ("\\server\queue"), replacing what LOCAL
// was connected to.
BOOL WINAPI VexaMprConnect(const char* local, const char* remote);
// False with ERROR_NOT_CONNECTED when LOCAL was not connected.
BOOL WINAPI VexaMprDisconnect(const char* local);
// While set, WNetOpenEnumA fails with ERROR_NO_NETWORK.
void WINAPI VexaMprSetNoNetwork(BOOL no_network);

}  // extern "C"

namespace standin {

struct Mpr {
  decltype(&VexaMprConnect) Connect;
  decltype(&VexaMprDisconnect) Disconnect;
  decltype(&VexaMprSetNoNetwork) SetNoNetwork;
};

inline bool Bind(Mpr* mpr) {
  HMODULE module = GetModuleHandleA("mpr.dll");
  if (!module) module = LoadLibraryA("mpr.dll");
  if (!module) return false;
  auto get = [module](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
  };
  return get(mpr->Connect, "VexaMprConnect") && get(mpr->Disconnect, "VexaMprDisconnect") &&
         get(mpr->SetNoNetwork, "VexaMprSetNoNetwork");
}

}  // namespace standin
