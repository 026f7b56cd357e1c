// The configure dialogs, opened by ConfigurePort as the spooler opens them
// and filled in as a person fills them in: a second thread chooses tabs,
// types into fields, clicks check boxes, radio buttons and buttons and
// chooses list entries while ConfigurePort runs on the main thread, so
// every check, message and registry write is the dialogs' own.
#pragma once
#include <string>
#include <vector>

#include "host/commands.h"

namespace host::configure {

extern const char kConfigureUsage[];
extern const char kShowUsage[];

// configure NAME: the dialog for a person at the display. configure NAME
// FIELD=VALUE... [--apply]: the fields set in the order given, then OK
// (Apply first with --apply); "configured NAME" at the end.
commands::Outcome Configure(const std::vector<std::string>& args);

// One FIELD=value line for each control the port's dialog shows, read
// from the dialog itself, which is then cancelled.
commands::Outcome Show(const std::vector<std::string>& args);

}  // namespace host::configure
