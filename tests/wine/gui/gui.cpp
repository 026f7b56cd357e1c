#include "tests/wine/gui/gui.h"

#include <cstdio>

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
  if (query.window_class != nullptr) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, query.window_class) != 0) return TRUE;
  }
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

struct ClickJob {
  HWND button;
  bool done;
};

DWORD WINAPI SendClick(LPVOID param) {
  auto* job = static_cast<ClickJob*>(param);
  DWORD_PTR reply = 0;
  job->done = SendMessageTimeoutA(job->button, BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                                  &reply) != 0;
  return 0;
}

// Waits for `handle`, handling this thread's messages meanwhile: the window
// a helper thread talks to may belong to this thread.
bool PumpUntil(HANDLE handle, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeout_ms) return false;
    DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

// --- PNG ------------------------------------------------------------------------

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static std::uint32_t table[256];
  if (table[1] == 0) {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBe32(std::vector<std::uint8_t>* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>* out, const char type[4],
              const std::vector<std::uint8_t>& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutBe32(out, Crc32(out->data() + start, out->size() - start, 0));
}

// A zlib stream of stored blocks: no compression, so no deflate encoder.
std::vector<std::uint8_t> ZlibStored(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out = {0x78, 0x01};
  constexpr std::size_t kBlockMax = 65535;
  std::size_t pos = 0;
  do {
    std::size_t size = raw.size() - pos < kBlockMax ? raw.size() - pos : kBlockMax;
    bool last = pos + size == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(size));
    out.push_back(static_cast<std::uint8_t>(size >> 8));
    out.push_back(static_cast<std::uint8_t>(~size));
    out.push_back(static_cast<std::uint8_t>(~size >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
               raw.begin() + static_cast<std::ptrdiff_t>(pos + size));
    pos += size;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(&out, (b << 16) | a);
  return out;
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

std::string Folder(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

HWND WaitForDialog(const DialogQuery& query, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    Search search = {&query, nullptr};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (GetTickCount() - start >= timeout_ms) return nullptr;
    Sleep(kPollMs);
  }
}

bool WaitForClose(HWND window, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(kPollMs);
  }
  return true;
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

bool Click(HWND dialog, int id) {
  ClickJob job = {GetDlgItem(dialog, id), false};
  if (job.button == nullptr) return false;
  HANDLE thread = CreateThread(nullptr, 0, SendClick, &job, 0, nullptr);
  if (thread == nullptr) return false;
  bool finished = PumpUntil(thread, kSendTimeoutMs + 1000);
  if (!finished) WaitForSingleObject(thread, INFINITE);  // `job` must outlive it
  CloseHandle(thread);
  return finished && job.done;
}

void PostTimer(HWND window, UINT_PTR id) { PostMessageA(window, WM_TIMER, id, 0); }

bool SendTimer(HWND window, UINT_PTR id) {
  DWORD_PTR reply = 0;
  return SendMessageTimeoutA(window, WM_TIMER, id, 0, SMTO_NORMAL, kSendTimeoutMs, &reply) != 0;
}

void Type(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  for (char c : text) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void PostClick(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

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

Selection EditSelection(HWND dialog, int id) {
  auto packed = static_cast<DWORD>(SendDlgItemMessageA(dialog, id, EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
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

bool WaitModal(Modal& modal, INT_PTR* result, DWORD timeout_ms) {
  if (modal.thread == nullptr || WaitForSingleObject(modal.thread, timeout_ms) != WAIT_OBJECT_0)
    return false;
  *result = modal.result;
  return true;
}

bool HaveDisplay() {
  char display[256] = "";
  if (GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) == 0) return false;
  char driver[64] = "";
  DWORD size = sizeof(driver);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    RegQueryValueExA(key, "Graphics", nullptr, nullptr, reinterpret_cast<BYTE*>(driver), &size);
    RegCloseKey(key);
  }
  return lstrcmpiA(driver, "null") != 0;
}

bool Capture(HWND window, Image* image) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // Wine hands what a window drew to the X server a little later.
  Sleep(300);
  image->width = rect.right - rect.left;
  image->height = rect.bottom - rect.top;
  if (image->width <= 0 || image->height <= 0) return false;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image->width;
  info.bmiHeader.biHeight = -image->height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, image->width, image->height, screen, rect.left, rect.top,
                    SRCCOPY) != 0;
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    image->pixels.assign(pixels, pixels + image->width * image->height);
    for (std::uint32_t& pixel : image->pixels) pixel &= 0x00FFFFFF;
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return copied;
}

bool WritePng(const std::string& path, const Image& image) {
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(image.height) * (1 + 3 * image.width));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < image.width; ++x) {
      std::uint32_t pixel = image.pixels[static_cast<std::size_t>(y) * image.width + x];
      raw.push_back(static_cast<std::uint8_t>(pixel >> 16));
      raw.push_back(static_cast<std::uint8_t>(pixel >> 8));
      raw.push_back(static_cast<std::uint8_t>(pixel));
    }
  }
  std::vector<std::uint8_t> header;
  PutBe32(&header, static_cast<std::uint32_t>(image.width));
  PutBe32(&header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", ZlibStored(raw));
  PutChunk(&png, "IEND", {});

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

std::string ScreenshotFolder() {
  char exe[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, exe, sizeof(exe));
  std::string folder = Folder(Folder(exe)) + "\\screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

bool SaveScreenshot(HWND window, const std::string& name, std::string* path) {
  Image image;
  if (!Capture(window, &image)) return false;
  std::string file = ScreenshotFolder() + "\\" + name + ".png";
  if (path != nullptr) *path = file;
  return WritePng(file, image);
}

}  // namespace gui
