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

namespace core {

// A port the add-port wizard made: entered in the table with its kind's
// description and written to its key. A port whose key cannot be written is
// taken out of the table again, so the two never disagree. Takes the lock.
bool CreateWizardPort(const void* block, const char* name, std::uint32_t kind);

}  // namespace core
