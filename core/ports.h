// The running monitor's port table: entries made, found and removed. Call
// with the lock held.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/port_entry.h"

namespace core {

// Makes and links a new entry. `settings` has the layout of the kind's
// protocol block (null = empty settings). With description null the entry has
// none; an empty description is replaced by the port name.
PortEntry* AddPortEntry(const void* settings, const char* name, const char* description,
                        std::uint32_t kind);
bool RemovePortEntry(const char* name);
PortEntry* FindPort(const char* name);

// The description a port of this kind gets in EnumPorts: the INI text, else
// the built-in one.
void DefaultDescription(std::uint32_t kind, char* out, std::size_t size);

}  // namespace core
