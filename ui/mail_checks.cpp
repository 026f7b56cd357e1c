#include "ui/mail_checks.h"

#include "core/ini.h"
#include "core/mail_fields.h"
#include "core/state.h"
#include "resources/mail.h"
#include "ui/layout.h"
#include "ui/layout_tables.h"

namespace ui {
namespace {

// Limits of what the user types; each text fits its field of the E-mail
// block with its zero.
constexpr int kSubjectLimit = 42;
constexpr int kBodyLimit = 998;
constexpr int kSignatureLimit = 513;
constexpr int kSubjectRead = 66;  // 65 characters and the zero

struct Editor {
  core::MailBlock* mail;
  HFONT font;
};

Editor* EditorOf(HWND dialog) {
  return reinterpret_cast<Editor*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void OpenEditor(HWND dialog, LPARAM mail) {
  auto* editor = static_cast<Editor*>(core::Alloc(sizeof(Editor)));
  if (editor == nullptr) {
    EndDialog(dialog, 0);
    return;
  }
  editor->mail = reinterpret_cast<core::MailBlock*>(mail);
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
  // Its own font even when the owner has one: the editor is a dialog of
  // its own, and deletes what it made when it goes.
  OwnerOrIniFont(dialog, nullptr, &editor->font);
  ApplyDialogLayout(dialog, editor->font, kMailBodyLayout);
  SendDlgItemMessageA(dialog, IDC_BODY_SUBJECT, EM_LIMITTEXT, kSubjectLimit, 0);
  SendDlgItemMessageA(dialog, IDC_BODY_TEXT, EM_LIMITTEXT, kBodyLimit, 0);
  SendDlgItemMessageA(dialog, IDC_BODY_SIGNATURE, EM_LIMITTEXT, kSignatureLimit, 0);
  SetDlgItemTextA(dialog, IDC_BODY_SUBJECT, editor->mail->Subject);
  SetDlgItemTextA(dialog, IDC_BODY_TEXT, editor->mail->Body);
  SetDlgItemTextA(dialog, IDC_BODY_SIGNATURE, editor->mail->Signature);
}

void StoreAndClose(HWND dialog, core::MailBlock* mail) {
  char subject[kSubjectRead];
  GetDlgItemTextA(dialog, IDC_BODY_SUBJECT, subject, sizeof(subject));
  if (core::HoldsForbidden(subject, core::kSubjectForbidden, IsLeadByte)) {
    MailWarning(dialog, "IDS_INVALID_CHARACTER", core::TextInsertOf(core::kSubjectForbidden));
    SelectField(dialog, IDC_BODY_SUBJECT);
    return;
  }
  core::CopyText(mail->Subject, sizeof(mail->Subject), subject);
  GetDlgItemTextA(dialog, IDC_BODY_TEXT, mail->Body, sizeof(mail->Body));
  GetDlgItemTextA(dialog, IDC_BODY_SIGNATURE, mail->Signature, sizeof(mail->Signature));
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK EditorProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OpenEditor(dialog, lparam);
      return TRUE;
    case WM_COMMAND: {
      Editor* editor = EditorOf(dialog);
      if (editor == nullptr) return FALSE;
      if (LOWORD(wparam) == IDOK) StoreAndClose(dialog, editor->mail);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 0);
      return TRUE;
    }
    case WM_NCDESTROY: {
      // The controls are gone by now, so the font is no longer in use.
      Editor* editor = EditorOf(dialog);
      if (editor == nullptr) return FALSE;
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      if (editor->font != nullptr) DeleteObject(editor->font);
      core::Free(editor);
      return FALSE;
    }
  }
  return FALSE;
}

HWND TopLevelOf(HWND window) {
  while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0)
    window = GetParent(window);
  return window;
}

}  // namespace

bool IsLeadByte(std::uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }

void MailWarning(HWND from, const char* key, const core::TextInsert& insert) {
  core::MessageFromIni(TopLevelOf(from), key, MB_ICONEXCLAMATION | MB_OK, insert);
}

void SelectField(HWND dialog, int id) {
  HWND field = GetDlgItem(dialog, id);
  SetFocus(field);
  char name[16] = "";
  GetClassNameA(field, name, sizeof(name));
  if (lstrcmpiA(name, "ComboBox") == 0)
    SendMessageA(field, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
  else
    SendMessageA(field, EM_SETSEL, 0, -1);
}

INT_PTR ShowMailBodyEditor(HWND owner, core::MailBlock* mail) {
  INT_PTR result = DialogBoxParamA(core::g_monitor.module, MAKEINTRESOURCEA(IDD_MAIL_BODY), owner,
                                   EditorProc, reinterpret_cast<LPARAM>(mail));
  return result == 1 ? 1 : 0;
}

}  // namespace ui
