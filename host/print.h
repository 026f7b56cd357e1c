// The print command: the Windows 95 spooler's printing thread for one job.
#pragma once
#include <string>
#include <vector>

#include "host/commands.h"

namespace host::print {

extern const char kUsage[];

// ARGS: NAME FILE and the options of kUsage, in any order.
commands::Outcome Print(const std::vector<std::string>& args);

// Before session line LINE prints ARGS in the background: refuses a print
// without --job of its own, or whose job would share a spool file or a
// printer with one that is printing; otherwise holds both for LINE until
// its print ends (or Release).
commands::Outcome Reserve(const std::vector<std::string>& args, int line);
void Release(int line);

}  // namespace host::print
