#include "core/ini.h"

#include "core/state.h"
#include "core/store.h"
#include "core/text.h"

namespace core {
namespace {

// wsprintfA never writes more than 1024 characters.
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

// A text with more than one conversion would make wsprintfA read arguments
// that were never passed; such a text is shown as it stands.
void Format(const char* text, UINT_PTR insert, char* out, DWORD out_size) {
  if (insert == 0 || CountConversions(text) != 1) {
    CopyText(out, out_size, text);
    return;
  }
  char formatted[kFormatMax];
  wsprintfA(formatted, text, insert);
  CopyText(out, out_size, formatted);
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

char* IniText(const char* file, const char* section, const char* key, UINT_PTR insert, char* out,
              DWORD out_size) {
  char path[MAX_PATH];
  IniPath(file, path, sizeof(path));
  char text[kIniTextMax];
  ReadProfile(path, section, key, "", text, sizeof(text));
  ConvertEscapes(text, TextLength(text));
  Format(text, insert, out, out_size);
  return out;
}

int IniMessageBox(HWND owner, const char* file, const char* section, const char* key,
                  const char* title_key, UINT style, UINT_PTR insert) {
  char path[MAX_PATH];
  IniPath(file, path, sizeof(path));
  char title[256];
  ReadProfile(path, section, title_key, kBuiltInErrorTitle, title, sizeof(title));
  char text[kIniTextMax];
  ReadProfile(path, section, key, "ERROR", text, sizeof(text));
  ConvertEscapes(text, TextLength(text));
  char shown[kFormatMax];
  Format(text, insert, shown, sizeof(shown));
  return MessageBoxA(owner, shown, title, style | MB_SETFOREGROUND);
}

}  // namespace core
