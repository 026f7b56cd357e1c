// Message and dialog texts come from INI files in the install folder, so an
// installation can word (or translate) them without rebuilding the DLL.
#pragma once
#include <windows.h>

#include "core/text.h"

namespace core {

inline constexpr char kMessageIni[] = "NIMMES.INI";
inline constexpr char kDialogIni[] = "NIMDLG.INI";
inline constexpr char kMessageSection[] = "MESSAGE";
inline constexpr char kTitleKey[] = "TITLE";
inline constexpr DWORD kIniTextMax = 512;  // profile reads: 511 characters and the zero

// Install path + "\" + file; an empty string when the install path is unset.
char* IniPath(const char* file, char* buffer, DWORD size);

// The text of `key`, escapes converted, filled in with `insert` as
// FormatText does. Empty when the file or key is missing.
char* IniText(const char* file, const char* section, const char* key, const TextInsert& insert,
              char* out, DWORD out_size);

// A message box whose title and text both come from the INI file; missing
// ones fall back to the built-in title and "ERROR".
int IniMessageBox(HWND owner, const char* file, const char* section, const char* key,
                  const char* title_key, UINT style, const TextInsert& insert);

// The usual call: NIMMES.INI, section MESSAGE, title TITLE.
inline int MessageFromIni(HWND owner, const char* key, UINT style,
                          const TextInsert& insert = {}) {
  return IniMessageBox(owner, kMessageIni, kMessageSection, key, kTitleKey, style, insert);
}

}  // namespace core
