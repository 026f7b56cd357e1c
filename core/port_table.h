// Ordering and lookup of the port table. The caller holds the global lock and
// owns allocation; these functions only link, unlink and compare.
#pragma once
#include "core/port_entry.h"

namespace core {

// Longest name first; among equal lengths the older entry stays in front.
void InsertByNameLength(PortEntry** head, PortEntry* entry);

// Case-insensitive whole-name match; when nothing matches, tries once more
// with a trailing ":" removed, or one appended (the spooler uses both forms).
PortEntry* FindPortEntry(PortEntry* head, const char* name);

// Case-insensitive, exact form only.
PortEntry* FindExactEntry(PortEntry* head, const char* name);

// Unlinks the first entry matching FindExactEntry and returns it, or null.
PortEntry* UnlinkPortEntry(PortEntry** head, const char* name);

}  // namespace core
