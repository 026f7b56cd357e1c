// Port table operations for the rest of the monitor. Call with the lock held.
#pragma once
#include <windows.h>

#include "monitor/port_entry.h"

namespace monitor {

// Makes and links a new entry. `settings` has the layout of the kind's
// protocol block (null = empty settings). With description null the entry has
// none; an empty description is replaced by the port name.
PortEntry* AddPortEntry(const void* settings, const char* name, const char* description,
                        std::uint32_t kind);
bool RemovePortEntry(const char* name);
PortEntry* FindPort(const char* name);

// The description a port of this kind gets in EnumPorts.
void DefaultDescription(std::uint32_t kind, char* out, std::size_t size);

}  // namespace monitor
