// The add-port wizard, opened by AddPort as the spooler opens it and gone
// through as a person goes through it: a second thread clicks its buttons
// and types into its fields while AddPort runs on the main thread.
#pragma once
#include <string>
#include <vector>

#include "host/commands.h"

namespace host::wizard {

extern const char kAddUsage[];
extern const char kSearchUsage[];

// add: the wizard for a person at the display. add lpr|ipp|raw ...: the
// pages filled in from ARGS, each page printed as it shows, "added NAME"
// at the end.
commands::Outcome Add(const std::vector<std::string>& args);

// The LPR page's printer search, its rows printed; with --pick, the queue
// names the chosen printer's server offers. Broadcasts: refused unless the
// process runs in the network lab.
commands::Outcome Search(const std::vector<std::string>& args);

}  // namespace host::wizard
