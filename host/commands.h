// The commands vexaspool runs, each a call (or a few) into the monitor's
// table or into the stand-ins, the way the spooler or a person at Control
// Panel would make them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace host::commands {

// Also the exit codes: 0 success, 1 the operation failed, 2 usage, 3 the
// job was cancelled. A session exits with the worst of its commands'.
enum class Status { kOk = 0, kFailed = 1, kUsage = 2, kCancelled = 3 };

struct Outcome {
  Status status;
  DWORD error;        // kFailed: GetLastError after the failed call
  const char* usage;  // kUsage: the command's usage line, null for no such command
  std::string what;   // kFailed: what failed, in words; kUsage: the word refused
};

Outcome Ok();
Outcome Failed(DWORD error, std::string what);
Outcome Usage(const char* usage, std::string what = {});

// "WHAT: the system's text for ERROR (error N)"; WHAT alone for error 0.
// Without the number where the line already starts with it.
std::string Describe(const Outcome& outcome, bool with_number = true);

// A decimal number that fits in a DWORD, and nothing else.
bool ParseNumber(const std::string& text, DWORD* value);

// WORDS is one command and its arguments, global options already removed.
Outcome Run(const std::vector<std::string>& words);

// Every command's usage line and what it does, for the help.
struct Help {
  const char* usage;
  const char* what;
};
std::vector<Help> HelpLines();

}  // namespace host::commands
