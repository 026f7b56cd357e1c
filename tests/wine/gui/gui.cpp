#include "tests/wine/gui/gui.h"

#include <commctrl.h>

#include <cstdio>
#include <set>

namespace gui {
namespace {

constexpr DWORD kPollMs = 10;
constexpr UINT kSendTimeoutMs = 5000;

struct Search {
  const DialogQuery* query;
  HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  // Every process of the wineserver shares the desktop.
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  const DialogQuery& query = *search->query;
  char name[8] = "";
  GetClassNameA(window, name, sizeof(name));
  if (lstrcmpA(name, "#32770") != 0) return TRUE;
  if (query.caption != nullptr && Text(window) != query.caption) return TRUE;
  if (query.control_id != 0 && GetDlgItem(window, query.control_id) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
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
  Search search = {&query, nullptr};
  auto found = [&] { return !EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search)); };
  Poll(found, timeout_ms);
  return search.found;
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

FontInfo WindowFont(HWND window) {
  FontInfo info;
  info.handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
  LOGFONTA font = {};
  HGDIOBJ object = info.handle != nullptr ? static_cast<HGDIOBJ>(info.handle)
                                          : GetStockObject(SYSTEM_FONT);
  if (GetObjectA(object, sizeof(font), &font) == 0) return info;
  info.face = font.lfFaceName;
  info.height = font.lfHeight;
  info.charset = font.lfCharSet;
  return info;
}

FontInfo ControlFont(HWND dialog, int id) { return WindowFont(GetDlgItem(dialog, id)); }

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
  SIZE need = TextSize(GetDlgItem(dialog, id), button ? 0 : width);
  return !ControlText(dialog, id).empty() && need.cx + 2 * edge <= width &&
         need.cy + edge <= rect.bottom - rect.top;
}

std::vector<std::string> ListColumn(HWND list, int column) {
  std::vector<std::string> cells;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    char text[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    cells.push_back(text);
  }
  return cells;
}

bool Click(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  DWORD_PTR reply = 0;
  return button != nullptr &&
         SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &reply) != 0;
}

void PostClick(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool SendTimer(HWND window, UINT_PTR id) {
  DWORD_PTR reply = 0;
  return SendMessageTimeoutA(window, WM_TIMER, id, 0, SMTO_NORMAL, kSendTimeoutMs, &reply) != 0;
}

void Type(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  for (char c : text) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
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

std::unique_ptr<Modal> RunModal(std::function<INT_PTR()> show) {
  auto modal = std::make_unique<Modal>();
  modal->show = std::move(show);
  modal->thread = CreateThread(nullptr, 0, RunShow, modal.get(), 0, &modal->thread_id);
  return modal;
}

INT_PTR Modal::Wait(DWORD timeout_ms) {
  return thread != nullptr && WaitForSingleObject(thread, timeout_ms) == WAIT_OBJECT_0 ? result : -2;
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
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool copied = BitBlt(memory, 0, 0, info.biWidth, -info.biHeight, screen, rect.left, rect.top,
                       SRCCOPY) && GdiFlush();
  std::set<DWORD> colours;  // opaque, for viewers that read the fourth byte as alpha
  for (DWORD i = 0; copied && i < bytes / 4; ++i)
    colours.insert(static_cast<DWORD*>(bits)[i] |= 0xFF000000);
  char exe[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  std::string path = exe;
  path.erase(path.find_last_of('\\'));  // <build>/bin/x.exe -> <build>/screenshots
  path.erase(path.find_last_of('\\') + 1).append("screenshots");
  CreateDirectoryA(path.c_str(), nullptr);
  path += "\\" + name + ".bmp";
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
  BITMAPFILEHEADER file = {0x4D42, offset + bytes, 0, 0, offset};
  FILE* out = colours.size() > 3 ? std::fopen(path.c_str(), "wb") : nullptr;
  bool written = out != nullptr && std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                 std::fwrite(&info, sizeof(info), 1, out) == 1 &&
                 std::fwrite(bits, bytes, 1, out) == 1;
  if (out != nullptr) written = std::fclose(out) == 0 && written;
  if (written) std::printf("screenshot: %s\n", path.c_str());
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace gui
