// Library entry. The DLL links no C runtime, so this is the image's real
// entry point: no static constructors run before it, and none are needed.
// It lives with the dialogs because it is what plugs them into the
// foundation's hooks; InitializeMonitorEx plugs in the senders.
#include <windows.h>
#include <commctrl.h>

#include "core/state.h"
#include "ui/configure.h"
#include "ui/prompts.h"
#include "ui/wizard.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    core::g_monitor.module = instance;
    InitCommonControls();
    ui::InstallPromptHooks();
    core::g_monitor.hooks.add_port_wizard = ui::ShowAddPortWizard;
    core::g_monitor.hooks.configure_port = ui::ShowConfigureDialog;
  }
  return TRUE;
}
