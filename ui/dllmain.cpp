// Library entry. The DLL links no C runtime, so this is the image's real
// entry point: no static constructors run before it, and none are needed.
#include <windows.h>
#include <commctrl.h>

#include "monitor/state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    monitor::g_monitor.module = instance;
    InitCommonControls();
  }
  return TRUE;
}
