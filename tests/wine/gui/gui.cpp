#include "tests/wine/gui/gui.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <set>

namespace gui {
namespace {

constexpr DWORD kPollMs = 10;
constexpr UINT kSendTimeoutMs = 5000;

// Sends `message` and waits up to kSendTimeoutMs for the window to handle it.
bool Send(HWND window, UINT message, WPARAM wparam) {
  DWORD_PTR reply = 0;
  return window != nullptr &&
         SendMessageTimeoutA(window, message, wparam, 0, SMTO_NORMAL, kSendTimeoutMs, &reply) != 0;
}

DWORD WINAPI RunShow(LPVOID param) {
  auto* modal = static_cast<Modal*>(param);
  modal->result = modal->show();
  return 0;
}

// The marker Settle posts, and the event its hook sets when the window's
// thread takes the marker from its queue. One Settle at a time.
UINT g_settle_marker;
HANDLE g_settle_seen;

LRESULT CALLBACK WatchForMarker(int code, WPARAM wparam, LPARAM lparam) {
  const auto* message = reinterpret_cast<const MSG*>(lparam);
  if (code == HC_ACTION && wparam == PM_REMOVE && message->message == g_settle_marker)
    SetEvent(g_settle_seen);
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

bool Poll(const std::function<bool()>& done, DWORD timeout_ms) {
  for (DWORD start = GetTickCount(); !done(); Sleep(kPollMs))
    if (GetTickCount() - start >= timeout_ms) return false;
  return true;
}

HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms) {
  HWND found = nullptr;
  Poll([&] {
    // Every process of the wineserver shares the desktop.
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", query.caption)) != nullptr;) {
      DWORD process = 0;
      GetWindowThreadProcessId(w, &process);
      if (process == GetCurrentProcessId() && IsWindowVisible(w) &&
          (query.control_id == 0 || GetDlgItem(w, query.control_id) != nullptr))
        return (found = w) != nullptr;
    }
    return false;
  }, timeout_ms);
  return found;
}

HWND VisibleMessageBox() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", nullptr)) != nullptr;) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF) != nullptr)
      return w;
  }
  return nullptr;
}

std::string Text(HWND window) {
  char text[2048] = "";
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string ControlText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

RECT RectInParent(HWND window) {
  RECT rect = {0, 0, 0, 0};
  if (window == nullptr || !GetWindowRect(window, &rect)) return rect;
  HWND parent = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
  if (parent != nullptr) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT ControlRect(HWND dialog, int id) { return RectInParent(GetDlgItem(dialog, id)); }

HFONT ControlFont(HWND dialog, int id) {
  return reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, id, WM_GETFONT, 0, 0));
}

std::string FontText(HFONT font) {
  LOGFONTA f = {};
  if (font == nullptr || GetObjectA(font, sizeof(f), &f) == 0) return "";
  return std::string(f.lfFaceName) + "," + std::to_string(f.lfHeight) + "," +
         std::to_string(f.lfCharSet);
}

SIZE TextSize(HWND window, int wrap_width) {
  std::string text = Text(window);
  RECT rect = {0, 0, wrap_width, 0};
  HDC dc = GetDC(window);
  auto font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
  UINT format = DT_CALCRECT | DT_EXPANDTABS | (wrap_width > 0 ? DT_WORDBREAK : DT_SINGLELINE);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
  if (old != nullptr) SelectObject(dc, old);
  ReleaseDC(window, dc);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

bool TextFits(HWND dialog, int id, bool button) {
  RECT rect = ControlRect(dialog, id);
  const int width = rect.right - rect.left, edge = button ? 4 : 0;
  // A radio button or check box draws its mark left of the text.
  LONG kind = GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & 0x0F;
  bool marked = button && kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON && kind != BS_GROUPBOX;
  const int mark = marked ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0;
  SIZE need = TextSize(GetDlgItem(dialog, id), button ? 0 : width);
  return !ControlText(dialog, id).empty() && need.cx + 2 * edge + mark <= width &&
         need.cy + edge <= rect.bottom - rect.top;
}

std::string ClippedTexts(HWND dialog, const ui::LayoutTable& table) {
  std::string clipped;
  for (int i = 1; i < table.count; ++i) {
    const ui::LayoutRow& row = table.rows[i];
    if (row.type == nullptr || row.key == nullptr || !GetDlgItem(dialog, row.id)) continue;
    bool button = lstrcmpA(row.type, "BUTTON") == 0;
    if (!IsWindowVisible(GetDlgItem(dialog, row.id)) && IsWindowVisible(dialog)) continue;
    if (!TextFits(dialog, row.id, button))
      clipped += std::to_string(row.id) + " " + row.key + ": \"" + ControlText(dialog, row.id) + "\"\n";
  }
  return clipped;
}

std::vector<std::string> ListColumn(HWND list, int column) {
  std::vector<std::string> cells;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    char text[256] = {};
    ListView_GetItemText(list, row, column, text, sizeof(text));
    cells.push_back(text);
  }
  return cells;
}

bool Click(HWND dialog, int id) { return Send(GetDlgItem(dialog, id), BM_CLICK, 0); }

void PostClick(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool SendTimer(HWND window, UINT_PTR id) { return Send(window, WM_TIMER, id); }

void Type(HWND dialog, int id, const std::string& text) {
  for (char c : text) SendDlgItemMessageA(dialog, id, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool PressKey(HWND dialog, int id, WPARAM virtual_key) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return false;
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(virtual_key), 0)) << 16;
  PostMessageA(control, WM_KEYDOWN, virtual_key, scan | 1);
  PostMessageA(control, WM_KEYUP, virtual_key, scan | 1 | 0xC0000000);
  // Twice: what the key is translated into (WM_CHAR) is posted behind the
  // first marker.
  return Settle(dialog) && Settle(dialog);
}

bool Settle(HWND window, DWORD timeout_ms) {
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0) return false;
  if (g_settle_marker == 0) g_settle_marker = RegisterWindowMessageA("vexa gui settle");
  if (g_settle_seen == nullptr) g_settle_seen = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ResetEvent(g_settle_seen);
  // A thread of this process: the hook procedure needs no module.
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, WatchForMarker, nullptr, thread);
  if (hook == nullptr) return false;
  bool seen = PostMessageA(window, g_settle_marker, 0, 0) &&
              WaitForSingleObject(g_settle_seen, timeout_ms) == WAIT_OBJECT_0;
  UnhookWindowsHookEx(hook);
  return seen;
}

HWND Focus(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

static BOOL CALLBACK CancelWindow(HWND window, LPARAM) {
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

Modal::~Modal() {
  if (thread == nullptr) return;
  // `show`'s captures must outlive the thread.
  if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
    EnumThreadWindows(thread_id, CancelWindow, 0);
    if (WaitForSingleObject(thread, kSendTimeoutMs) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "gui: a modal dialog would not close\n");
      TerminateThread(thread, 1);
    }
  }
  CloseHandle(thread);
}

std::unique_ptr<Modal> RunModal(std::function<INT_PTR()> show, const DialogQuery& query) {
  auto modal = std::make_unique<Modal>();
  modal->show = std::move(show);
  modal->thread = CreateThread(nullptr, 0, RunShow, modal.get(), 0, &modal->thread_id);
  modal->dialog = WaitForDialog(query);
  return modal;
}

INT_PTR Modal::End(int button, DWORD timeout_ms) {
  if (button != 0 && !Click(dialog, button)) return -2;
  bool ended = thread != nullptr && WaitForSingleObject(thread, timeout_ms) == WAIT_OBJECT_0;
  return ended ? result : -2;
}

bool SaveScreenshot(HWND window, const std::string& name) {
  char driver[64] = "";
  DWORD size = sizeof(driver);
  RegGetValueA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", "Graphics", RRF_RT_REG_SZ, nullptr,
               driver, &size);
  if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0 || lstrcmpiA(driver, "null") == 0)
    return true;
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(300);  // Wine hands what a window drew to the X server a little later.
  BITMAPINFOHEADER info = {sizeof(info), rect.right - rect.left, rect.top - rect.bottom, 1, 32,
                           BI_RGB, 0, 0, 0, 0, 0};
  const auto bytes = static_cast<DWORD>(4 * info.biWidth * -info.biHeight);
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, info.biWidth, -info.biHeight, screen, rect.left, rect.top,
                       SRCCOPY) && GdiFlush();
  std::set<DWORD> colours;  // opaque, for viewers that read the fourth byte as alpha
  for (DWORD i = 0; copied && i < bytes / 4; ++i)
    colours.insert(static_cast<DWORD*>(bits)[i] |= 0xFF000000);
  char exe[MAX_PATH];
  std::string path(exe, GetModuleFileNameA(nullptr, exe, sizeof(exe)));
  path.erase(path.find_last_of('\\'));  // <build>/bin/x.exe -> <build>/screenshots
  path.erase(path.find_last_of('\\') + 1).append("screenshots");
  CreateDirectoryA(path.c_str(), nullptr);
  path += "\\" + name + ".bmp";
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
  BITMAPFILEHEADER file = {0x4D42, offset + bytes, 0, 0, offset};
  std::ofstream out(colours.size() > 3 ? path : "", std::ios::binary);  // blank: no file
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(static_cast<const char*>(bits), bytes);
  out.close();
  const bool written = !out.fail();
  if (written) std::printf("screenshot: %s\n", path.c_str());
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace gui
