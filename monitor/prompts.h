// What to do after a failed send: retry silently, tell the user and stop,
// ask, or show the retry prompt that stays up while the sender keeps trying.
// The senders reach this through core::RetryPrompt.
#pragma once
#include "core/port_entry.h"

namespace monitor {

// 1 go on, 0 stop, decided from the port's send_error.
int RetryPrompt(core::PortEntry* port);

}  // namespace monitor
