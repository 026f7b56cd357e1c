// Dialog geometry, texts and font come from constant tables and NIMDLG.INI,
// never from the resource templates: the templates only supply the controls,
// so an installation can reword, translate or refont every dialog.
#pragma once
#include <windows.h>

#include <cstdint>

namespace ui {

// One row of a layout table. Row 0 is the dialog itself; the rest are
// controls. `type` is the INI section of the control's text and also says
// that the control takes the dialog's font; `key` is the text's INI key.
struct LayoutRow {
  std::int32_t id;
  const char* type;  // null: the control is only moved and sized
  const char* key;   // null: the control keeps its text
  std::int32_t x;
  std::int32_t y;
  std::int32_t width;
  std::int32_t height;
};

// A top-level dialog: keeps its position, takes row 0's size.
inline constexpr int kLayoutTopLevel = 0;
// A page inside another dialog: moved and sized to row 0.
inline constexpr int kLayoutPage = 1;

// Row 0's size is that of a dialog under a 19-pixel caption (18 pixels and
// its border line, as Windows 95 draws it by default); the height follows
// the caption so that the client area keeps its size.
inline constexpr int kLayoutCaptionHeight = 19;

// A table with the template it belongs to and the mode it is applied in.
struct LayoutTable {
  int template_id;
  int mode;
  const LayoutRow* rows;
  int count;  // including row 0
};

// Places, refonts and retexts the dialog's controls after `table`. `font`
// may be null: the controls then keep the template's font. Any `mode` other
// than kLayoutTopLevel and kLayoutPage leaves the dialog's own geometry alone.
void ApplyDialogLayout(HWND dialog, HFONT font, const LayoutRow* table, int rows, int mode);

inline void ApplyDialogLayout(HWND dialog, HFONT font, const LayoutTable& table) {
  ApplyDialogLayout(dialog, font, table.rows, table.count, table.mode);
}

// The font that section "FONT" of `ini_path` describes under `key`, as
// "face,size,charset" (the size a character height in pixels). Null when
// the entry is missing, empty or lacks a field, or the size is no positive
// number. A character-set name not in the table gives DEFAULT_CHARSET, which
// lets the font mapper choose by face name. The caller owns the font.
HFONT CreateIniFont(HWND dialog, const char* key, const char* ini_path);

// The font of a dialog opened from another window: the owner's when it
// lends one (WM_GETFONT), else the "DEFAULT" font of NIMDLG.INI, which is
// also stored in `*own` for the dialog to delete when it closes (`*own`
// stays null when the font was lent).
HFONT OwnerOrIniFont(HWND dialog, HWND owner, HFONT* own);

// Makes `control` as wide as `text` in `font` (the control's own font when
// null) plus `extra_width`, and `height` high, in place. Returns the width.
int FitControlToText(HWND control, HFONT font, const char* text, int extra_width, int height);

}  // namespace ui
