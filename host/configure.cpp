#include "host/configure.h"

#include <windows.h>
#include <commctrl.h>

#include "host/answer.h"
#include "host/console.h"
#include "host/hands.h"
#include "host/spooler.h"

namespace host::configure {

const char kConfigureUsage[] =
    "configure NAME [FIELD=VALUE | ToAddr+=ADDRESS | ToAddr-=ADDRESS ...] [--apply]";
const char kShowUsage[] = "show NAME";

namespace {

using commands::Outcome;
using hands::CancelDialog;
using hands::Click;
using hands::DialogOfThread;
using hands::kAnswerMs;
using hands::kPollMs;
using hands::kReactMs;
using hands::kShowMs;
using hands::Send;
using Words = std::vector<std::string>;

// Port kinds, as PrintMode numbers them, each a bit.
enum Kind : unsigned { kLpr = 1, kIpp = 2, kRaw = 4, kMail = 8 };

std::string KindWords(unsigned kind) {
  static const char* const kNames[] = {"an LPR", "an IPP", "a Raw", "an E-mail"};
  for (unsigned bit = 0; bit < 4; ++bit)
    if (kind == 1u << bit) return kNames[bit];
  return "a";
}

// Where a control lives: in the LPR/Raw dialog itself, on a tab page of
// the tabbed dialogs, or in a dialog a page's button opens.
enum class Place { kPlain, kIppGeneral, kIppAuth, kAdvanced, kMailAccount, kMailTo, kMailBody,
                   kEditor, kMailAuth };

struct Where {
  Place place;
  int marker;     // a control of the place's template that no other has
  int tab;        // its tab item; -1 for the dialogs
  Place parent;   // a dialog's: the page of the button that opens it
  int opener;
  const char* words;
};
// In the order show reads them: tab by tab, each dialog after its page.
constexpr Where kPlaces[] = {
    {Place::kPlain, 368, -1, Place::kPlain, 0, "the dialog"},
    {Place::kIppGeneral, 335, 0, Place::kPlain, 0, "tab 1"},
    {Place::kAdvanced, 365, -1, Place::kIppGeneral, 347, "the advanced settings"},
    {Place::kIppAuth, 351, 1, Place::kPlain, 0, "tab 2"},
    {Place::kMailAccount, 276, 0, Place::kPlain, 0, "tab 1"},
    {Place::kMailTo, 286, 1, Place::kPlain, 0, "tab 2"},
    {Place::kMailBody, 291, 2, Place::kPlain, 0, "tab 3"},
    {Place::kEditor, 305, -1, Place::kMailBody, 294, "the mail body editor"},
    {Place::kMailAuth, 298, 3, Place::kPlain, 0, "tab 4"},
};

const Where& WhereIs(Place place) {
  for (const Where& where : kPlaces)
    if (where.place == place) return where;
  return kPlaces[0];
}

// kUncheck: a box that shows the value's opposite. kRadio: the control
// shows 1, `other` shows 0. kLines: a multi-line field, "\n" a line break.
enum class How { kText, kLines, kSecret, kCheck, kUncheck, kRadio, kList, kLanguage, kAddress };

struct Field {
  const char* name;
  unsigned kinds;
  Place place;
  int id;
  How how;
  int other;
};
constexpr Field kFields[] = {
    {"Timeout", kLpr | kRaw, Place::kPlain, 368, How::kText, 0},
    {"Reconnection", kLpr | kRaw, Place::kPlain, 371, How::kCheck, 0},
    {"NonByteCount", kLpr, Place::kPlain, 372, How::kCheck, 0},
    {"URL", kIpp, Place::kIppGeneral, 335, How::kText, 0},
    {"Timeout", kIpp, Place::kIppGeneral, 337, How::kText, 0},
    {"UseProxy", kIpp, Place::kIppGeneral, 341, How::kCheck, 0},
    {"ProxyName", kIpp, Place::kIppGeneral, 343, How::kText, 0},
    {"ProxyNum", kIpp, Place::kIppGeneral, 345, How::kText, 0},
    {"Reconnection", kIpp, Place::kIppGeneral, 371, How::kCheck, 0},
    {"Chunked", kIpp, Place::kAdvanced, 358, How::kCheck, 0},
    {"MaxChunk", kIpp, Place::kAdvanced, 360, How::kText, 0},
    {"Language", kIpp, Place::kAdvanced, 365, How::kLanguage, 0},
    {"Base64", kIpp, Place::kIppAuth, 351, How::kCheck, 0},
    {"UserName", kIpp, Place::kIppAuth, 353, How::kText, 0},
    {"PassWord", kIpp, Place::kIppAuth, 355, How::kSecret, 0},
    {"SmtpServer", kMail, Place::kMailAccount, 276, How::kText, 0},
    {"FromName", kMail, Place::kMailAccount, 278, How::kText, 0},
    {"FromAddr", kMail, Place::kMailAccount, 280, How::kText, 0},
    {"ToAddr", kMail, Place::kMailTo, 286, How::kAddress, 0},
    {"DivideFile", kMail, Place::kMailTo, 378, How::kCheck, 0},
    {"DivideSize", kMail, Place::kMailTo, 380, How::kText, 0},
    {"NoPrint", kMail, Place::kMailBody, 291, How::kUncheck, 0},
    {"EditBody", kMail, Place::kMailBody, 292, How::kRadio, 293},
    {"CharCode", kMail, Place::kMailBody, 386, How::kList, 0},
    {"Subject", kMail, Place::kEditor, 305, How::kText, 0},
    {"Body", kMail, Place::kEditor, 307, How::kLines, 0},
    {"Signature", kMail, Place::kEditor, 309, How::kLines, 0},
    {"AuthType", kMail, Place::kMailAuth, 298, How::kCheck, 0},
    {"AuthID", kMail, Place::kMailAuth, 300, How::kText, 0},
    {"AuthPass", kMail, Place::kMailAuth, 302, How::kSecret, 0},
};

// The language list's entries, in list order, by their Language code.
constexpr const char* kLanguages[] = {"en", "en-us", "fr", "de", "ja-jp"};
constexpr int kCharCodes = 3;

// The destination combo box, its Add and Delete buttons.
constexpr int kAddressCombo = 284, kAddButton = 285, kDeleteButton = 287;
constexpr int kTabControl = 332, kApplyButton = 331;

struct Step {
  const Field* field;
  char op;  // '=', or '+' and '-' for the destinations
  std::string value;
  std::string word;  // as given, for messages
};

// Shared by the command on the main thread, which sits in ConfigurePort,
// and the driver's thread. The results are read once the driver has ended.
struct Drive {
  unsigned kind = 0;
  bool show = false;
  bool apply = false;
  std::vector<Step> steps;
  DWORD thread = 0;  // ConfigurePort's, and so its dialogs'
  volatile LONG returned = 0;
  HWND frame = nullptr;
  HWND sub = nullptr;  // the advanced settings or the editor, while open
  Place sub_place = Place::kPlain;
  std::string failure;
  bool cancelled = false;
  std::vector<std::string> lines;  // show's
};

bool Returned(Drive* drive) { return InterlockedCompareExchange(&drive->returned, 0, 0) != 0; }

long Boxes() { return answer::Counts().boxes; }

// A round trip through the dialogs' thread: whatever it was handling
// (closing after OK, switching tabs after a box) is over by then.
bool Settled(HWND window) { return Send(window, WM_NULL, 0, 0); }

// --- finding the windows -------------------------------------------------------

struct PageQuery {
  int marker;
  HWND found;
};

BOOL CALLBACK MatchPage(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<PageQuery*>(param);
  char name[16];
  if (!GetClassNameA(window, name, sizeof(name)) || lstrcmpA(name, "#32770") != 0 ||
      !GetDlgItem(window, query->marker))
    return TRUE;
  query->found = window;
  return FALSE;
}

HWND FindPage(HWND frame, int marker) {
  PageQuery query{marker, nullptr};
  EnumChildWindows(frame, MatchPage, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// The window that holds PLACE's controls, or null.
HWND Holder(Drive* drive, Place place) {
  const Where& where = WhereIs(place);
  if (place == Place::kPlain) return drive->frame;
  if (where.tab >= 0) return FindPage(drive->frame, where.marker);
  return drive->sub && drive->sub_place == place ? drive->sub : nullptr;
}

// The kind's dialog: 366 with its time-out field, or a tabbed one whose
// first page is the kind's.
HWND WaitForFrame(Drive* drive) {
  bool tabbed = drive->kind & (kIpp | kMail);
  int first_page = drive->kind == kIpp ? 335 : 276;
  for (DWORD start = GetTickCount(); GetTickCount() - start < kShowMs; Sleep(kPollMs)) {
    HWND frame = DialogOfThread(drive->thread, nullptr, tabbed ? kTabControl : 368);
    if (frame && IsWindowVisible(frame) && (!tabbed || FindPage(frame, first_page)) &&
        Settled(frame))
      return frame;
    if (Returned(drive)) break;
  }
  return nullptr;
}

// --- moving about ----------------------------------------------------------------

std::string CloseSub(Drive* drive, bool ok) {
  HWND sub = drive->sub;
  if (!sub) return "";
  const char* words = WhereIs(drive->sub_place).words;
  long boxes = Boxes();
  if (!Click(GetDlgItem(sub, ok ? IDOK : IDCANCEL), kReactMs))
    return std::string("cannot press ") + (ok ? "OK" : "Cancel") + " in " + words;
  for (DWORD start = GetTickCount(); IsWindow(sub); Sleep(kPollMs)) {
    if (Boxes() > boxes && Settled(sub) && IsWindow(sub) && IsWindowVisible(sub))
      return std::string(words) + " stayed open after the message above when vexaspool pressed OK";
    if (GetTickCount() - start >= kShowMs) return std::string(words) + " did not close";
  }
  drive->sub = nullptr;
  return "";
}

// Clicks WHERE's tab item where a person would: the tab control asks the
// dialog first (TCN_SELCHANGING, which checks the page being left) and
// switches only when it agrees.
std::string ChooseTab(Drive* drive, const Where& where) {
  std::string words = where.words;
  HWND tab = GetDlgItem(drive->frame, kTabControl);
  HWND page = FindPage(drive->frame, where.marker);
  RECT item = {};
  if (!page || !IsWindowVisible(tab) ||
      !Send(tab, TCM_GETITEMRECT, static_cast<WPARAM>(where.tab), reinterpret_cast<LPARAM>(&item)))
    return "the dialog has no " + words;
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  long boxes = Boxes();
  if (!Send(tab, WM_LBUTTONDOWN, MK_LBUTTON, at, nullptr, kReactMs) ||
      !Send(tab, WM_LBUTTONUP, 0, at))
    return "the tab control did not take the click on " + words;
  for (DWORD start = GetTickCount();; Sleep(kPollMs)) {
    LRESULT current = -1;
    Send(tab, TCM_GETCURSEL, 0, 0, &current);
    if (current == where.tab && IsWindowVisible(page)) return "";
    if (Boxes() > boxes && Settled(drive->frame))
      return "the dialog stayed on its tab after the message above when vexaspool chose " +
             words;
    if (GetTickCount() - start >= kShowMs) return "choosing " + words + " did not show its page";
  }
}

// Makes PLACE's controls reachable: its tab chosen, or its dialog opened
// from its page. A dialog open elsewhere is closed with OK first.
std::string Reach(Drive* drive, Place place) {
  const Where& where = WhereIs(place);
  if (place == Place::kPlain || (drive->sub && drive->sub_place == place)) return "";
  if (std::string failed = CloseSub(drive, true); !failed.empty()) return failed;
  if (where.tab >= 0) {
    HWND page = FindPage(drive->frame, where.marker);
    return page && IsWindowVisible(page) ? "" : ChooseTab(drive, where);
  }
  if (std::string failed = Reach(drive, where.parent); !failed.empty()) return failed;
  HWND opener = GetDlgItem(Holder(drive, where.parent), where.opener);
  if (!hands::PostClick(opener))
    return std::string("cannot open ") + where.words + ": its button is hidden or disabled";
  for (DWORD start = GetTickCount(); GetTickCount() - start < kShowMs; Sleep(kPollMs)) {
    HWND sub = DialogOfThread(drive->thread, drive->frame, where.marker);
    if (sub && IsWindowVisible(sub) && Settled(sub)) {
      drive->sub = sub;
      drive->sub_place = place;
      return "";
    }
  }
  return std::string(where.words) + " did not open";
}

// --- one control -------------------------------------------------------------------

std::string Escaped(std::string text) {
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
    text.replace(at, 2, "\\n");
  return text;
}

std::string Unescaped(std::string text) {
  for (size_t at = 0; (at = text.find("\\n", at)) != std::string::npos; ++at)
    text.replace(at, 2, "\n");
  return text;
}

std::string ListEntry(HWND list, LRESULT index) {
  LRESULT length = 0;
  if (!Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0, &length) || length < 0 ||
      length > 1023)
    return "";
  char text[1024] = "";
  Send(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> entries;
  LRESULT count = 0;
  if (!Send(list, LB_GETCOUNT, 0, 0, &count)) return entries;
  for (LRESULT i = 0; i < count; ++i) entries.push_back(ListEntry(list, i));
  return entries;
}

bool Checked(HWND button) {
  LRESULT state = 0;
  return Send(button, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

// What the control shows, as a FIELD=value line would say it.
std::string Read(HWND holder, const Field& field) {
  HWND control = GetDlgItem(holder, field.id);
  LRESULT number = 0;
  switch (field.how) {
    case How::kText:
    case How::kLines: return Escaped(hands::Text(control));
    case How::kSecret:
      return Send(control, WM_GETTEXTLENGTH, 0, 0, &number) && number > 0 ? "(set)" : "(empty)";
    case How::kCheck: return Checked(control) ? "1" : "0";
    case How::kUncheck: return Checked(control) ? "0" : "1";
    case How::kRadio:
      if (Checked(control)) return "1";
      return Checked(GetDlgItem(holder, field.other)) ? "0" : "(none)";
    case How::kList:
    case How::kLanguage:
      if (!Send(control, CB_GETCURSEL, 0, 0, &number) || number < 0 ||
          number >= (field.how == How::kList ? kCharCodes : 5))
        return "(none)";
      return field.how == How::kList ? std::to_string(number) : kLanguages[number];
    case How::kAddress: {
      std::string joined;
      for (const std::string& entry : ListEntries(control))
        joined += (joined.empty() ? "" : ",") + entry;
      return joined;
    }
  }
  return "";
}

// Chooses entry INDEX as a person does: the combo box tells its dialog
// with CBN_SELCHANGE.
bool Choose(HWND combo, int id, LRESULT index) {
  LRESULT chosen = CB_ERR;
  return Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &chosen) && chosen == index &&
         Send(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
              reinterpret_cast<LPARAM>(combo));
}

// Add with the address typed into the combo box, or Delete with its entry
// selected as a click selects it.
std::string ChangeDestinations(HWND page, const Step& step) {
  HWND list = GetDlgItem(page, step.field->id);
  long boxes = Boxes();
  if (step.op == '+') {
    HWND combo = GetDlgItem(page, kAddressCombo);
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    if (!IsWindowVisible(combo) || !hands::Type(edit, step.value))
      return "cannot type into the destination box";
    if (!Click(GetDlgItem(page, kAddButton), kReactMs)) return "cannot press Add";
  } else {
    std::vector<std::string> entries = ListEntries(list);
    size_t index = 0;
    while (index < entries.size() && entries[index] != step.value) ++index;
    if (index == entries.size()) return "the destination list has no " + step.value;
    if (!Send(list, LB_SETCURSEL, index, 0) ||
        !Send(page, WM_COMMAND, MAKEWPARAM(step.field->id, LBN_SELCHANGE),
              reinterpret_cast<LPARAM>(list)))
      return "cannot select " + step.value + " in the destination list";
    if (!Click(GetDlgItem(page, kDeleteButton), kReactMs)) return "cannot press Delete";
  }
  if (Boxes() > boxes) return "the dialog refused " + step.word + " with the message above";
  std::vector<std::string> after = ListEntries(list);
  bool listed = false;
  for (const std::string& entry : after) listed = listed || entry == step.value;
  if (listed != (step.op == '+'))
    return std::string(step.op == '+' ? "Add" : "Delete") + " left the list without a change";
  return "";
}

std::string Set(Drive* drive, const Step& step) {
  const Field& field = *step.field;
  if (std::string failed = Reach(drive, field.place); !failed.empty()) return failed;
  HWND holder = Holder(drive, field.place);
  HWND control = GetDlgItem(holder, field.id);
  if (!control) return "the dialog has no control for " + std::string(field.name);
  if (!IsWindowVisible(control) || !IsWindowEnabled(control))
    return "cannot set " + std::string(field.name) +
           ": its control is hidden or disabled (a setting earlier on the line may enable it)";
  switch (field.how) {
    case How::kText:
    case How::kSecret:
      return hands::Type(control, step.value) ? "" : "cannot type into " + std::string(field.name);
    case How::kLines:
      return hands::Type(control, Unescaped(step.value)) ? ""
                                                         : "cannot type into " +
                                                               std::string(field.name);
    case How::kCheck:
    case How::kUncheck:
    case How::kRadio: {
      bool on = step.value == "1";
      if (field.how == How::kRadio && !on) control = GetDlgItem(holder, field.other);
      bool want = field.how == How::kUncheck ? !on : field.how == How::kRadio || on;
      if (Checked(control) != want && !Click(control, kReactMs))
        return "cannot click " + std::string(field.name);
      return Checked(control) == want ? "" : std::string(field.name) + " did not take the click";
    }
    case How::kList:
    case How::kLanguage: {
      LRESULT index = 0;
      while (field.how == How::kLanguage && step.value != kLanguages[index]) ++index;
      if (field.how == How::kList) index = step.value[0] - '0';
      return Choose(control, field.id, index)
                 ? ""
                 : std::string(field.name) + " has no entry " + std::to_string(index);
    }
    case How::kAddress: return ChangeDestinations(holder, step);
  }
  return "";
}

// --- the whole dialog -----------------------------------------------------------------

std::string Confirm(Drive* drive) {
  if (std::string failed = CloseSub(drive, true); !failed.empty()) return failed;
  HWND frame = drive->frame;
  long boxes = Boxes();
  if (drive->apply) {
    HWND apply = GetDlgItem(frame, kApplyButton);
    if (!IsWindowEnabled(apply)) return "Apply is disabled: the dialog saw no change";
    if (!Click(apply, kReactMs)) return "cannot press Apply";
    if (Boxes() > boxes) return "the dialog refused Apply with the message above";
  }
  if (!Click(GetDlgItem(frame, IDOK), kReactMs)) return "cannot press OK";
  for (DWORD start = GetTickCount(); IsWindow(frame); Sleep(kPollMs)) {
    if (Boxes() > boxes && Settled(frame) && IsWindow(frame) && IsWindowVisible(frame))
      return "the dialog stayed open after the message above when vexaspool pressed OK";
    if (GetTickCount() - start >= kShowMs) return "the dialog did not close after OK";
  }
  return "";
}

std::string SetAll(Drive* drive) {
  for (const Step& step : drive->steps)
    if (std::string failed = Set(drive, step); !failed.empty()) return failed;
  return Confirm(drive);
}

std::string ReadAll(Drive* drive) {
  for (const Where& where : kPlaces) {
    bool used = false;
    for (const Field& field : kFields)
      used = used || (field.place == where.place && (field.kinds & drive->kind));
    if (!used) continue;
    // The editor opens only for a fixed body: otherwise no field shows one.
    if (where.tab < 0 && where.place != Place::kPlain &&
        !IsWindowEnabled(GetDlgItem(Holder(drive, where.parent), where.opener)))
      continue;
    if (std::string failed = Reach(drive, where.place); !failed.empty()) return failed;
    HWND holder = Holder(drive, where.place);
    for (const Field& field : kFields) {
      if (field.place != where.place || !(field.kinds & drive->kind)) continue;
      // Hidden controls show nothing: a division group the monitor turns off.
      if (!IsWindowVisible(GetDlgItem(holder, field.id))) continue;
      drive->lines.push_back(std::string(field.name) + "=" + Read(holder, field));
    }
    if (std::string failed = CloseSub(drive, false); !failed.empty()) return failed;
  }
  return "";
}

DWORD WINAPI DriveDialog(LPVOID param) {
  auto* drive = static_cast<Drive*>(param);
  drive->frame = WaitForFrame(drive);
  if (!drive->frame) {
    drive->failure = "the configure dialog of " + KindWords(drive->kind) + " port did not open";
    return 0;
  }
  drive->failure = drive->show ? ReadAll(drive) : SetAll(drive);
  if (drive->show || !drive->failure.empty()) {
    drive->cancelled = !drive->failure.empty();
    CancelDialog(drive->frame, "the configure dialog");
  }
  return 0;
}

// --- the commands ---------------------------------------------------------------------

// The kind's bit from the port key's PrintMode; 0 with *error set when the
// key or value cannot be read or names no kind with a dialog.
unsigned KindOf(const std::string& name, DWORD* error) {
  std::string path = std::string(spooler::kMonitorKey) + "\\Ports\\" + name;
  HKEY key;
  LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  DWORD mode = 0, size = sizeof(mode), type = 0;
  if (status == ERROR_SUCCESS) {
    status = RegQueryValueExA(key, "PrintMode", nullptr, &type, reinterpret_cast<BYTE*>(&mode),
                              &size);
    RegCloseKey(key);
  }
  *error = static_cast<DWORD>(status);
  if (status != ERROR_SUCCESS) return 0;
  if (type != REG_DWORD || mode > 3) {
    *error = ERROR_INVALID_DATA;
    return 0;
  }
  return 1u << mode;
}

Outcome NoKind(const std::string& name, DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND)
    return commands::Failed(error, "no port named " + name + " (see 'ports')");
  return commands::Failed(error, "cannot tell the kind of port " + name + " from its key's PrintMode");
}

// The words after NAME; false with *refused saying why.
bool Parse(const Words& args, Drive* drive, std::string* refused) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--apply") {
      drive->apply = true;
      continue;
    }
    size_t equals = word.find('=');
    if (word.rfind("--", 0) == 0 || equals == std::string::npos || equals == 0) {
      *refused = "not FIELD=VALUE: " + word;
      return false;
    }
    Step step{nullptr, '=', word.substr(equals + 1), word};
    std::string name = word.substr(0, equals);
    if (name.back() == '+' || name.back() == '-') {
      step.op = name.back();
      name.pop_back();
    }
    bool known = false;
    for (const Field& field : kFields) {
      if (name != field.name) continue;
      known = true;
      if (field.kinds & drive->kind) step.field = &field;
    }
    if (!known) {
      *refused = "no field named " + name;
      return false;
    }
    if (!step.field) {
      *refused = KindWords(drive->kind) + " port's dialog has no " + name;
      return false;
    }
    How how = step.field->how;
    if ((how == How::kAddress) != (step.op != '=')) {
      *refused = how == How::kAddress ? "ToAddr takes += or -=: " + word
                                      : "only ToAddr takes += or -=: " + word;
      return false;
    }
    bool good = true;
    if (how == How::kCheck || how == How::kUncheck || how == How::kRadio)
      good = step.value == "0" || step.value == "1";
    if (how == How::kList)
      good = step.value.size() == 1 && step.value[0] >= '0' && step.value[0] < '0' + kCharCodes;
    if (how == How::kLanguage) {
      good = false;
      for (const char* code : kLanguages) good = good || step.value == code;
    }
    if (!good) {
      *refused = "bad value: " + word +
                 (how == How::kLanguage ? " (en, en-us, fr, de or ja-jp)"
                  : how == How::kList   ? " (0, 1 or 2)"
                                        : " (0 or 1)");
      return false;
    }
    drive->steps.push_back(step);
  }
  if (drive->apply && !(drive->kind & (kIpp | kMail))) {
    *refused = "--apply is for the tabbed dialogs of IPP and E-mail ports";
    return false;
  }
  return true;
}

// ConfigurePort with the host's window as owner, on this thread as the
// spooler calls it, while the driver works the dialog on its own.
Outcome RunDialog(Drive* drive, const std::string& name) {
  if (DWORD failed = spooler::EnsureMonitor())
    return commands::Failed(failed, "cannot load the monitor");
  if (!spooler::Table().ConfigurePort)
    return commands::Failed(ERROR_NOT_SUPPORTED, "cannot load the monitor");
  drive->thread = GetCurrentThreadId();
  HANDLE thread = CreateThread(nullptr, 0, DriveDialog, drive, 0, nullptr);
  if (!thread) return commands::Failed(GetLastError(), "cannot start a thread");
  std::vector<char> port(name.begin(), name.end());
  port.push_back('\0');
  BOOL found = spooler::Table().ConfigurePort(nullptr, spooler::Owner(), port.data());
  DWORD error = found ? ERROR_SUCCESS : GetLastError();
  InterlockedExchange(&drive->returned, 1);
  // Every wait of the driver's ends soon once the dialog is gone.
  if (!spooler::PumpUntil(thread, kReactMs)) {
    TerminateThread(thread, 1);
    drive->failure = "the dialog's driver did not stop";
  }
  CloseHandle(thread);
  if (!found) return commands::Failed(error, "no port named " + name + " (see 'ports')");
  if (!drive->failure.empty())
    return commands::Failed(drive->cancelled ? ERROR_CANCELLED : 0,
                            (drive->show ? "cannot show " + name : name + " not configured") +
                                ": " + drive->failure +
                                (drive->cancelled ? ", so vexaspool cancelled it" : ""));
  return commands::Ok();
}

}  // namespace

Outcome Configure(const Words& args) {
  if (args.empty()) return commands::Usage(kConfigureUsage);
  if (args.size() == 1) {
    // Without a display the dialog would wait for a person who cannot see it.
    if (!answer::HaveDisplay())
      return commands::Failed(0, "the configure dialog needs a display (run with DISPLAY set), "
                                 "or say what to set: configure NAME FIELD=VALUE ...");
    if (DWORD error = spooler::EnsureMonitor())
      return commands::Failed(error, "cannot load the monitor");
    if (!spooler::Table().ConfigurePort)
      return commands::Failed(ERROR_NOT_SUPPORTED, "cannot load the monitor");
    std::vector<char> port(args[0].begin(), args[0].end());
    port.push_back('\0');
    if (!spooler::Table().ConfigurePort(nullptr, spooler::Owner(), port.data()))
      return commands::Failed(GetLastError(), "no port named " + args[0] + " (see 'ports')");
    return commands::Ok();
  }
  Drive drive;
  DWORD error = 0;
  drive.kind = KindOf(args[0], &error);
  if (!drive.kind) return NoKind(args[0], error);
  std::string refused;
  if (!Parse(args, &drive, &refused)) return commands::Usage(kConfigureUsage, refused);
  Outcome outcome = RunDialog(&drive, args[0]);
  if (outcome.status == commands::Status::kOk) console::Out("configured %s", args[0].c_str());
  return outcome;
}

Outcome Show(const Words& args) {
  if (args.size() != 1) return commands::Usage(kShowUsage);
  Drive drive;
  drive.show = true;
  DWORD error = 0;
  drive.kind = KindOf(args[0], &error);
  if (!drive.kind) return NoKind(args[0], error);
  Outcome outcome = RunDialog(&drive, args[0]);
  // What was read before a tab refused to be left is still what it showed.
  for (const std::string& line : drive.lines) console::Out("%s", line.c_str());
  return outcome;
}

}  // namespace host::configure
