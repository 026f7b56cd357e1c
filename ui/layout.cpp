#include "ui/layout.h"

#include "core/ini.h"
#include "core/text.h"

namespace ui {
namespace {

constexpr char kFontSection[] = "FONT";
// A font description is face, size and character set: 127 characters is
// far more than any of them needs.
constexpr DWORD kFontEntryMax = 128;

struct CharsetName {
  const char* name;
  BYTE value;
};

// In the order a name is looked up.
constexpr CharsetName kCharsets[] = {
    {"DEFAULT", DEFAULT_CHARSET},      {"ANSI", ANSI_CHARSET},
    {"SYMBOL", SYMBOL_CHARSET},        {"SHIFTJIS", SHIFTJIS_CHARSET},
    {"HANGEUL", HANGEUL_CHARSET},      {"GB2312", GB2312_CHARSET},
    {"CHINESEBIG5", CHINESEBIG5_CHARSET}, {"OEM", OEM_CHARSET},
    {"JOHAB", JOHAB_CHARSET},          {"HEBREW", HEBREW_CHARSET},
    {"ARABIC", ARABIC_CHARSET},        {"GREEK", GREEK_CHARSET},
    {"TURKISH", TURKISH_CHARSET},      {"VIETNAMESE", VIETNAMESE_CHARSET},
    {"THAI", THAI_CHARSET},            {"EASTEUROPE", EASTEUROPE_CHARSET},
    {"RUSSIAN", RUSSIAN_CHARSET},      {"MAC", MAC_CHARSET},
    {"BALTIC", BALTIC_CHARSET},
};
static_assert(sizeof(kCharsets) / sizeof(kCharsets[0]) == 19);

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Cuts the field that starts at `text` at the next comma and trims blanks
// around it (the profile functions only trim the whole value). Returns the
// field, or null when there is none; `text` moves past the comma.
char* NextField(char** text) {
  if (*text == nullptr) return nullptr;
  char* field = *text;
  char* end = field;
  while (*end != '\0' && *end != ',') ++end;
  *text = *end == ',' ? end + 1 : nullptr;
  *end = '\0';
  while (IsBlank(*field)) ++field;
  while (end > field && IsBlank(end[-1])) *--end = '\0';
  return *field == '\0' ? nullptr : field;
}

// A size is digits only; anything else, zero or an absurd size is no size.
int ParseSize(const char* text) {
  int size = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    size = size * 10 + (*c - '0');
    if (size > 9999) return 0;
  }
  return size;
}

// Byte for byte: names are case-sensitive, and lstrcmpA's locale rules
// would let some differing names compare equal.
bool SameName(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

bool CharsetFromName(const char* name, BYTE* charset) {
  for (const CharsetName& entry : kCharsets) {
    if (!SameName(entry.name, name)) continue;
    *charset = entry.value;
    return true;
  }
  return false;
}

}  // namespace

void ApplyDialogLayout(HWND dialog, HFONT font, const LayoutRow* table, int rows, int mode) {
  if (table == nullptr || rows < 1) return;
  const LayoutRow& frame = table[0];
  if (mode == kLayoutTopLevel) {
    int height = frame.height + GetSystemMetrics(SM_CYCAPTION) - kLayoutCaptionHeight;
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, frame.width, height,
                 SWP_NOMOVE | SWP_NOACTIVATE);
  } else if (mode == kLayoutPage) {
    MoveWindow(dialog, frame.x, frame.y, frame.width, frame.height, TRUE);
  }

  char text[core::kIniTextMax];
  if (frame.type != nullptr && frame.key != nullptr) {
    core::IniText(core::kDialogIni, frame.type, frame.key, {}, text, sizeof(text));
    SetWindowTextA(dialog, text);
  }

  for (int i = 1; i < rows; ++i) {
    const LayoutRow& row = table[i];
    HWND control = GetDlgItem(dialog, row.id);
    // Tables may name controls a template leaves out.
    if (control == nullptr) continue;
    MoveWindow(control, row.x, row.y, row.width, row.height, TRUE);
    if (row.type == nullptr) continue;
    // Not redrawn now: the text that follows, or the first paint, does it.
    if (font != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.key == nullptr) continue;
    core::IniText(core::kDialogIni, row.type, row.key, {}, text, sizeof(text));
    SetWindowTextA(control, text);
  }
}

HFONT CreateIniFont(HWND, const char* key, const char* ini_path) {
  // Without an install path the profile functions would read a file of
  // that name in the Windows folder.
  if (ini_path == nullptr || ini_path[0] == '\0') return nullptr;
  char entry[kFontEntryMax];
  GetPrivateProfileStringA(kFontSection, key, "", entry, sizeof(entry), ini_path);
  char* rest = entry;
  char* face = NextField(&rest);
  char* size_text = NextField(&rest);
  char* charset_name = NextField(&rest);
  if (face == nullptr || size_text == nullptr || charset_name == nullptr) return nullptr;

  int size = ParseSize(size_text);
  if (size == 0) return nullptr;
  BYTE charset = DEFAULT_CHARSET;
  CharsetFromName(charset_name, &charset);

  char face_name[LF_FACESIZE];
  core::CopyText(face_name, sizeof(face_name), face);
  // A negative height asks for the character height, not the cell height.
  return CreateFontA(-size, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face_name);
}

HFONT OwnerOrIniFont(HWND dialog, HWND owner, HFONT* own) {
  *own = nullptr;
  if (owner != nullptr) {
    auto lent = reinterpret_cast<HFONT>(SendMessageA(owner, WM_GETFONT, 0, 0));
    if (lent != nullptr) return lent;
  }
  char path[MAX_PATH];
  core::IniPath(core::kDialogIni, path, sizeof(path));
  *own = CreateIniFont(dialog, "DEFAULT", path);
  return *own;
}

int FitControlToText(HWND control, HFONT font, const char* text, int extra_width, int height) {
  if (font == nullptr) font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
  SIZE extent = {0, 0};
  HDC dc = GetDC(control);
  if (dc != nullptr) {
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    if (old != nullptr) SelectObject(dc, old);
    ReleaseDC(control, dc);
  }
  int width = extent.cx + extra_width;
  SetWindowPos(control, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return width;
}

}  // namespace ui
