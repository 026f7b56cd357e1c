// The print command: the Windows 95 spooler's printing thread for one job.
#pragma once
#include <string>
#include <vector>

#include "host/commands.h"

namespace host::print {

extern const char kUsage[];

// ARGS: NAME FILE and the options of kUsage, in any order.
commands::Outcome Print(const std::vector<std::string>& args);

}  // namespace host::print
