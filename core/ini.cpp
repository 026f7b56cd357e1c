#include "core/ini.h"

#include "core/state.h"
#include "core/store.h"
#include "core/text.h"

namespace core {
namespace {

// A formatted text: an INI text of up to 511 characters and what fills it.
constexpr DWORD kFormatMax = 1025;

void ReadProfile(const char* path, const char* section, const char* key, const char* fallback,
                 char* out, DWORD size) {
  // Without an install path the profile functions would look in the
  // Windows folder; the built-in fallback is the defined answer instead.
  if (path[0] == '\0') {
    CopyText(out, size, fallback);
    return;
  }
  GetPrivateProfileStringA(section, key, fallback, out, size, path);
}

}  // namespace

char* IniPath(const char* file, char* buffer, DWORD size) {
  if (!ReadInstallPath(buffer, size)) {
    buffer[0] = '\0';
    return buffer;
  }
  std::size_t length = TextLength(buffer);
  if (length > 0 && buffer[length - 1] != '\\') AppendText(buffer, size, "\\");
  AppendText(buffer, size, file);
  return buffer;
}

char* IniText(const char* file, const char* section, const char* key, const TextInsert& insert,
              char* out, DWORD out_size) {
  char path[MAX_PATH];
  IniPath(file, path, sizeof(path));
  char text[kIniTextMax];
  ReadProfile(path, section, key, "", text, sizeof(text));
  ConvertEscapes(text, TextLength(text));
  FormatText(out, out_size, text, insert);
  return out;
}

int IniMessageBox(HWND owner, const char* file, const char* section, const char* key,
                  const char* title_key, UINT style, const TextInsert& insert) {
  char path[MAX_PATH];
  IniPath(file, path, sizeof(path));
  char title[256];
  ReadProfile(path, section, title_key, kBuiltInErrorTitle, title, sizeof(title));
  char text[kIniTextMax];
  ReadProfile(path, section, key, "ERROR", text, sizeof(text));
  ConvertEscapes(text, TextLength(text));
  char shown[kFormatMax];
  FormatText(shown, sizeof(shown), text, insert);
  return MessageBoxA(owner, shown, title, style | MB_SETFOREGROUND);
}

}  // namespace core
