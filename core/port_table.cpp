#include "core/port_table.h"

#include "core/text.h"

namespace core {

void InsertByNameLength(PortEntry** head, PortEntry* entry) {
  std::size_t length = TextLength(entry->name);
  PortEntry** link = head;
  while (*link != nullptr && TextLength((*link)->name) >= length) link = &(*link)->next;
  entry->next = *link;
  *link = entry;
}

PortEntry* FindExactEntry(PortEntry* head, const char* name) {
  for (PortEntry* p = head; p != nullptr; p = p->next)
    if (EqualNoCase(p->name, name)) return p;
  return nullptr;
}

PortEntry* FindPortEntry(PortEntry* head, const char* name) {
  if (PortEntry* p = FindExactEntry(head, name)) return p;
  std::size_t length = TextLength(name);
  if (length == 0) return nullptr;
  bool has_colon = name[length - 1] == ':';
  for (PortEntry* p = head; p != nullptr; p = p->next) {
    std::size_t own = TextLength(p->name);
    if (has_colon) {
      // "LPT2:" asked, "LPT2" held.
      if (own == length - 1 && EqualNoCaseN(p->name, name, own)) return p;
    } else if (own == length + 1 && p->name[length] == ':' && EqualNoCaseN(p->name, name, length)) {
      return p;
    }
  }
  return nullptr;
}

PortEntry* UnlinkPortEntry(PortEntry** head, const char* name) {
  for (PortEntry** link = head; *link != nullptr; link = &(*link)->next) {
    PortEntry* p = *link;
    if (EqualNoCase(p->name, name)) {
      *link = p->next;
      p->next = nullptr;
      return p;
    }
  }
  return nullptr;
}

}  // namespace core
