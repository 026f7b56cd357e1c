// Answers the monitor's message boxes for an unattended run. A watcher thread
// looks at this process's top-level dialogs, whichever thread owns them, so
// boxes raised by the monitor's own threads are answered too.
#pragma once

namespace host::answer {

enum class Reply { kNone, kOk, kCancel, kRetry, kYes, kNo };

// "ok", "cancel", "retry", "yes" or "no".
bool Parse(const char* word, Reply* reply);

// kNone leaves boxes for a person. Starts the watcher the first time a
// reply is given; it keeps running with whatever reply was set last.
void Set(Reply reply);

}  // namespace host::answer
