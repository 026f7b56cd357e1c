// The add-port wizard: a frame with a picture and Back/Next/Cancel, and ten
// pages of which one is shown. The user picks a kind (LPR, IPP, Raw), gives
// its settings and a name, and Finish makes the port. Only one wizard is
// open at a time (AddPort refuses a second), so its state is one
// process-wide set of variables.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/port_entry.h"

namespace ui {

// The monitor's add_port_wizard hook: 1 when a port was made, else 0.
INT_PTR ShowAddPortWizard(HWND owner);

// What the frame sends a page (and a page sends the frame, for Cancel).
inline constexpr UINT kWizBack = WM_USER + 200;     // set the page before this one
inline constexpr UINT kWizNext = WM_USER + 201;     // check, store, set the next page
inline constexpr UINT kWizPrepare = WM_USER + 202;  // about to be shown: fill the fields
inline constexpr UINT kWizCancel = WM_USER + 203;   // Cancel during the connection test
inline constexpr UINT kWizShown = WM_USER + 204;    // just shown: set the focus

// Page indices; 8 to 12 are not used. A page ends the wizard by setting
// the current page to kWizFinished or kWizAborted.
enum WizardPage : int {
  kKindPage = 0,
  kNamePage = 1,
  kLinePage = 2,
  kProxyPage = 3,
  kUrlPage = 4,
  kIppSummaryPage = 5,
  kLprPage = 6,
  kLprSummaryPage = 7,
  kRawPage = 13,
  kRawSummaryPage = 14,
  kPageSlots = 15,
  kWizFinished = 254,
  kWizAborted = 255,
};

inline constexpr int kPortNameMax = 38;

struct WizardState {
  HWND frame;
  HWND pages[kPageSlots];
  int current;
  std::uint32_t kind;  // core::kLpr, kIpp or kRaw
  DWORD proxy_enabled;
  DWORD modem_chosen;
  char port_name[kPortNameMax + 1];
  core::LprBlock* lpr;
  core::IppBlock* ipp;
  core::RawBlock* raw;
  HFONT font;
  int picture;
  HPALETTE palette;
  const BITMAPINFO* bitmap;  // inside the loaded resource
};
extern WizardState g_wizard;

// Makes `page` current: prepares and shows it, hides the others, and sets
// the frame's picture and buttons for it.
void SwitchToPage(int page);

// The page procedures, by index.
INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace ui
