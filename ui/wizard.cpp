#include "ui/wizard.h"

#include "core/ini.h"
#include "core/state.h"
#include "resources/wizard.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

namespace ui {

WizardState g_wizard;

namespace {

// How the frame looks while a page is current.
enum class NextLabel { kKeep, kNext, kFinish };
struct PageRow {
  int index;
  int template_id;
  int picture;  // 0: keep the one shown; else also enables Back
  NextLabel label;
};

constexpr PageRow kPages[] = {
    {kKindPage, IDD_WIZ_KIND, IDB_WIZ_KIND, NextLabel::kKeep},
    {kNamePage, IDD_WIZ_NAME, 0, NextLabel::kNext},
    {kLinePage, IDD_WIZ_LINE, IDB_WIZ_IPP, NextLabel::kKeep},
    {kProxyPage, IDD_WIZ_PROXY, IDB_WIZ_IPP, NextLabel::kKeep},
    {kUrlPage, IDD_WIZ_URL, 0, NextLabel::kKeep},
    {kIppSummaryPage, IDD_WIZ_IPP_END, 0, NextLabel::kFinish},
    {kLprPage, IDD_WIZ_LPR, IDB_WIZ_LPR, NextLabel::kKeep},
    {kLprSummaryPage, IDD_WIZ_LPR_END, 0, NextLabel::kFinish},
    {kRawPage, IDD_WIZ_RAW, IDB_WIZ_RAW, NextLabel::kKeep},
    {kRawSummaryPage, IDD_WIZ_RAW_END, 0, NextLabel::kFinish},
};

constexpr char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

const PageRow* RowOf(int page) {
  for (const PageRow& row : kPages)
    if (row.index == page) return &row;
  return nullptr;
}

void SetNextLabel(const char* key) {
  char text[64];
  core::IniText(core::kDialogIni, "BUTTON", key, {}, text, sizeof(text));
  SetDlgItemTextA(g_wizard.frame, IDC_NEXT, text);
}

// Anything but a 4-byte number counts as "no proxy": a value another
// program wrote with the wrong type must not switch the proxy on.
DWORD ReadProxyEnable() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0;
  DWORD value = 0, type = 0, size = sizeof(value);
  LONG status = RegQueryValueExA(key, "ProxyEnable", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) ? value : 0;
}

// --- picture ---------------------------------------------------------------------

int PaletteSize(const BITMAPINFOHEADER& header) {
  if (header.biClrUsed != 0) return static_cast<int>(header.biClrUsed);
  switch (header.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

void FreePalette() {
  if (g_wizard.palette != nullptr) DeleteObject(g_wizard.palette);
  g_wizard.palette = nullptr;
}

// The bitmap stays a DIB inside the module: it is drawn through a palette
// of its own colours, so a 256-colour display shows it as designed.
void LoadPicture(int id) {
  if (id == g_wizard.picture) return;
  g_wizard.picture = id;
  g_wizard.bitmap = nullptr;
  FreePalette();
  HMODULE module = core::g_monitor.module;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  auto* info = loaded != nullptr ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  if (info == nullptr || SizeofResource(module, found) < sizeof(BITMAPINFOHEADER)) return;
  g_wizard.bitmap = info;
  int colours = PaletteSize(info->bmiHeader);
  if (colours <= 0 || colours > 256) return;
  struct {
    WORD version;
    WORD count;
    PALETTEENTRY entries[256];
  } palette{0x300, static_cast<WORD>(colours), {}};
  for (int i = 0; i < colours; ++i) {
    palette.entries[i].peRed = info->bmiColors[i].rgbRed;
    palette.entries[i].peGreen = info->bmiColors[i].rgbGreen;
    palette.entries[i].peBlue = info->bmiColors[i].rgbBlue;
  }
  g_wizard.palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
}

RECT PictureRect() {
  RECT rect{};
  HWND picture = GetDlgItem(g_wizard.frame, IDC_PICTURE);
  GetWindowRect(picture, &rect);
  MapWindowPoints(nullptr, g_wizard.frame, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void PaintPicture(HWND frame) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(frame, &paint);
  const BITMAPINFO* info = g_wizard.bitmap;
  if (info != nullptr) {
    HPALETTE old = nullptr;
    if (g_wizard.palette != nullptr) {
      old = SelectPalette(dc, g_wizard.palette, FALSE);
      RealizePalette(dc);
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const BYTE* bits = reinterpret_cast<const BYTE*>(info) + h.biSize +
                       static_cast<DWORD>(PaletteSize(h)) * sizeof(RGBQUAD);
    RECT at = PictureRect();
    SetDIBitsToDevice(dc, at.left, at.top, static_cast<DWORD>(h.biWidth),
                      static_cast<DWORD>(height), 0, 0, 0, static_cast<UINT>(height), bits, info,
                      DIB_RGB_COLORS);
    if (old != nullptr) SelectPalette(dc, old, TRUE);
  }
  EndPaint(frame, &paint);
}

bool RealizeOwnPalette(HWND frame) {
  if (g_wizard.palette == nullptr) return false;
  HDC dc = GetDC(frame);
  HPALETTE old = SelectPalette(dc, g_wizard.palette, FALSE);
  UINT changed = RealizePalette(dc);
  SelectPalette(dc, old, TRUE);
  ReleaseDC(frame, dc);
  return changed != 0;
}

// --- frame -------------------------------------------------------------------------

bool OpenFrame(HWND frame) {
  g_wizard = WizardState{};
  g_wizard.frame = frame;
  g_wizard.current = kKindPage;
  char ini[MAX_PATH];
  core::IniPath(core::kDialogIni, ini, sizeof(ini));
  g_wizard.font = CreateIniFont(frame, "DEFAULT", ini);
  ApplyDialogLayout(frame, g_wizard.font, kWizardFrameLayout);
  g_wizard.lpr = static_cast<core::LprBlock*>(core::Alloc(sizeof(core::LprBlock)));
  g_wizard.ipp = static_cast<core::IppBlock*>(core::Alloc(sizeof(core::IppBlock)));
  g_wizard.raw = static_cast<core::RawBlock*>(core::Alloc(sizeof(core::RawBlock)));
  if (g_wizard.lpr == nullptr || g_wizard.ipp == nullptr || g_wizard.raw == nullptr) return false;
  g_wizard.proxy_enabled = ReadProxyEnable();
  LoadPicture(IDB_WIZ_KIND);
  RECT picture{};
  GetClientRect(GetDlgItem(frame, IDC_PICTURE), &picture);
  for (const PageRow& row : kPages) {
    HWND page = CreateDialogParamA(core::g_monitor.module, MAKEINTRESOURCEA(row.template_id),
                                   frame, WizardPageProc, row.index);
    if (page == nullptr) return false;
    g_wizard.pages[row.index] = page;
    SetWindowPos(page, nullptr, picture.right + 30, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  SwitchToPage(kKindPage);
  SetForegroundWindow(frame);
  return true;
}

// The pages are gone by WM_NCDESTROY, so nothing uses the font or the
// blocks any more.
void CloseFrame() {
  FreePalette();
  core::Free(g_wizard.lpr);
  core::Free(g_wizard.ipp);
  core::Free(g_wizard.raw);
  if (g_wizard.font != nullptr) DeleteObject(g_wizard.font);
  g_wizard = WizardState{};
}

void PressNext(HWND frame) {
  int before = g_wizard.current;
  SendMessageA(g_wizard.pages[before], kWizNext, 0, 0);
  if (g_wizard.current == kWizFinished) {
    EndDialog(frame, 1);
  } else if (g_wizard.current == kWizAborted) {
    EndDialog(frame, 0);
  } else if (g_wizard.current != before) {
    SwitchToPage(g_wizard.current);
  }
}

void PressBack(HWND frame) {
  int before = g_wizard.current;
  SendMessageA(g_wizard.pages[before], kWizBack, 0, 0);
  SendMessageA(frame, DM_SETDEFID, IDC_NEXT, 0);
  SendDlgItemMessageA(frame, IDC_BACK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  if (g_wizard.current != before) SwitchToPage(g_wizard.current);
}

INT_PTR CALLBACK FrameProc(HWND frame, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      if (!OpenFrame(frame)) EndDialog(frame, 0);
      return FALSE;  // the focus is set
    case WM_GETFONT:
      if (g_wizard.font == nullptr) return FALSE;
      SetWindowLongPtrA(frame, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(g_wizard.font));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_NEXT: PressNext(frame); return TRUE;
        case IDC_BACK: PressBack(frame); return TRUE;
        case IDCANCEL:
          // The connection test must be stopped before its page goes.
          if (g_wizard.current == kUrlPage)
            SendMessageA(g_wizard.pages[kUrlPage], kWizCancel, 0, 0);
          else
            EndDialog(frame, 0);
          return TRUE;
      }
      return FALSE;
    case kWizCancel:
      EndDialog(frame, 0);
      return TRUE;
    case WM_PAINT:
      PaintPicture(frame);
      return TRUE;
    case WM_QUERYNEWPALETTE:
      if (RealizeOwnPalette(frame)) InvalidateRect(frame, nullptr, TRUE);
      SetWindowLongPtrA(frame, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wparam) != frame && RealizeOwnPalette(frame)) {
        HDC dc = GetDC(frame);
        UpdateColors(dc);
        ReleaseDC(frame, dc);
      }
      return TRUE;
    case WM_NCDESTROY:
      CloseFrame();
      return FALSE;
  }
  (void)lparam;
  return FALSE;
}

}  // namespace

void SwitchToPage(int index) {
  const PageRow* row = RowOf(index);
  if (row == nullptr) return;
  g_wizard.current = index;
  ShowOnlyPage(g_wizard.pages[index], g_wizard.pages, kPageSlots);
  HWND frame = g_wizard.frame;
  if (row->picture != 0) {
    if (row->picture != g_wizard.picture) {
      LoadPicture(row->picture);
      RECT at = PictureRect();
      InvalidateRect(frame, &at, TRUE);
    }
    EnableWindow(GetDlgItem(frame, IDC_BACK), index != kKindPage);
  }
  if (row->label == NextLabel::kNext) SetNextLabel("IDC_NEXT");
  if (row->label == NextLabel::kFinish) SetNextLabel("FINISH");
  if (index == kKindPage || row->label == NextLabel::kFinish) {
    SendMessageA(frame, DM_SETDEFID, IDC_NEXT, 0);
    SendMessageA(frame, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(frame, IDC_NEXT)), TRUE);
  }
}

INT_PTR ShowAddPortWizard(HWND owner) {
  INT_PTR result =
      DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_WIZARD), owner, FrameProc, 0);
  return result == 1 ? 1 : 0;
}

}  // namespace ui
