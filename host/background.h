// Commands of a session that run on threads of their own, as the Windows 95
// spooler prints each printer's jobs on a thread of its own: a session line
// ending in " &". Their output lines carry the session line's number
// (host/console.h); `wait` and the end of the input wait for them.
#pragma once
#include <string>
#include <vector>

#include "host/answer.h"
#include "host/commands.h"

namespace host::background {

// The commands that may run in the background.
inline constexpr char kCommands[] = "print, sleep, box and prompt";

// Runs a command (global options taken out) on the calling thread, answering
// its windows with REPLY, and prints how it ended.
using Runner = commands::Status (*)(const std::vector<std::string>& words, answer::Reply reply);

// Starts WORDS as session line LINE on a thread of its own; a print holds
// its job id and printer until it ends (print::Reserve). Anything but Ok is
// a refusal: nothing was started, and the caller prints it as LINE's end.
commands::Outcome Start(int line, const std::vector<std::string>& words, answer::Reply reply,
                        Runner run);

// Waits, keeping this thread's windows answered, until every background
// command has ended; then prints one line on how each line sent to the
// background since the last Wait went ("waited for [2] ok, [3] failed").
// Returns the worst status among them.
commands::Status Wait();

// The lines still running, "[2] [5]"; empty when none is.
std::string Running();

}  // namespace host::background
