// The IPP configure dialog's two tab pages and its advanced settings.
#pragma once
#include <windows.h>

#include "core/port_entry.h"

namespace ui {

// Tab "PAGE1" (333): URL, time-out, proxy, automatic retry.
INT_PTR CALLBACK IppAddressPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
// Tab "PAGE2" (349): Basic authentication.
INT_PTR CALLBACK IppAuthPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// The advanced settings (356) on `block`: 1 after OK (the block changed),
// 0 after Cancel.
INT_PTR ShowIppAdvanced(HWND owner, core::IppBlock* block);

// The five languages a printer can be asked to answer in, by list index.
inline constexpr const char* kIppLanguages[] = {"en", "en-us", "fr", "de", "ja-jp"};

}  // namespace ui
