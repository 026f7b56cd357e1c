// Answers the monitor's message boxes and prompts for an unattended run. A
// watcher thread looks at this process's top-level dialogs, whichever thread
// owns them, so windows raised by the monitor's own threads are seen too.
// Each session line has its own answers: a window gets those of the line
// its thread works for (host/threads.h), and its lines carry that number.
#pragma once
#include <windows.h>

namespace host::answer {

// kWait reports a window and leaves it up.
enum class Reply { kNone, kOk, kCancel, kRetry, kYes, kNo, kWait };

// "ok", "cancel", "retry", "yes", "no" or "wait".
bool Parse(const char* word, Reply* reply);

// kNone leaves boxes for a person when there is a display, and answers
// them Cancel when there is none (saying so). Every box and prompt is
// printed either way. Starts the watcher the first time; it keeps running
// with whatever reply was set last. For the calling thread's line.
void Set(Reply reply);

// Drops what a background line set, once its command has ended.
void Forget(int line);

// Whether a person can see windows: false when Wine draws on its null
// driver or has no X display to draw on.
bool HaveDisplay();

// Starts the watcher without a reply: the monitor's prompts (the retry
// prompt, dialog 401, and the password prompt, 394) are reported as
// "prompt ID TEXT" whether or not a reply answers them.
void Watch();

// What the password prompt gets instead of the reply: OK with these two
// fields. A null user forgets them. For the calling thread's line.
void SetCredentials(const char* user, const char* password);

// Who answers the add-port wizard. A driver (add lpr|ipp|raw, search) goes
// through it itself: the watcher neither reports nor closes it. A person
// (add) has it to themselves unless --answer says otherwise. Nobody (the
// wizard AddPort opens by itself): it is reported ("wizard: TITLE") and
// closed with its Cancel button, at once for any reply but wait (and
// without a reply where there is no display), after kUnansweredWizardMs
// when a person could answer it but does not. Wait leaves it up, as it
// leaves boxes.
enum class WizardUser { kNobody, kDriver, kPerson };
void SetWizardUser(WizardUser user);
inline constexpr unsigned long kUnansweredWizardMs = 5000;

// What the watcher has reported since the process started. A command
// compares the counts from before and after a call to learn what the
// monitor showed meanwhile.
struct Seen {
  long boxes;
  long wizards;
  long wizards_unanswered;  // of those, closed because nobody answered
};
Seen Counts();

// Called on the watcher's thread, with CONTEXT, when a prompt of the
// calling thread's line first shows, after its line and before it is
// answered; null for none.
using PromptSeen = void (*)(int dialog_id, ULONG_PTR context);
void OnPrompt(PromptSeen callback, ULONG_PTR context = 0);

}  // namespace host::answer
