// The commands vexaspool runs, each a call (or a few) into the monitor's
// table or into the stand-ins, the way the spooler or a person at Control
// Panel would make them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace host::commands {

enum class Status { kOk = 0, kFailed = 1, kUsage = 2 };

struct Outcome {
  Status status;
  DWORD error;        // kFailed: GetLastError after the failed call
  const char* usage;  // kUsage: the command's usage line, null for no such command
};

// A decimal number that fits in a DWORD, and nothing else.
bool ParseNumber(const std::string& text, DWORD* value);

// WORDS is one command and its arguments, global options already removed.
Outcome Run(const std::vector<std::string>& words);

// Runs install unless the monitor's key already has its InstallPath.
Outcome EnsureInstalled();

// Every command's usage line, for the usage message.
std::vector<const char*> UsageLines();

}  // namespace host::commands
