// The e-mail address history and a port's destination list. The history
// is up to 100 addresses under the monitor key's "AddrBook" key, shared
// by every E-mail port and offered in the destination combo box; it grows
// when a port's destinations are written, and nothing empties it.
#pragma once
#include <windows.h>

#include <cstddef>

#include "core/mail_fields.h"

namespace ui {

inline constexpr int kHistorySlots = 100;

// Addresses handed to the history: the destinations as they were written.
struct AddressList {
  int count;
  char entries[core::kMaxDestinations][core::kAddressChars + 1];
};

// Empties `combo` and offers the history, slot 0 upward. The history ends
// at the first slot that is missing or holds more than 64 characters; a
// slot that holds no text is passed over (it still counts as in use).
void LoadAddressHistory(HWND combo);

// Adds to the history the addresses of `list` it does not hold yet (those
// it holds are taken out of `list`), after the last slot in use, starting
// again at slot 0 once all 100 are.
void SaveAddressHistory(AddressList* list);

// The Add and Delete buttons of the destination page (dialog 376): true
// when the list changed. Add refuses, with its message, a 101st address,
// an empty one, one with a character of the address set, and one already
// listed (letter case counts).
bool AddDestination(HWND page);
bool DeleteDestination(HWND page);

// `ToAddr`: the listed addresses joined by ",", in list order. False, with
// "IDS_INVALID_TO_ADDR", when the list is empty.
bool JoinDestinations(HWND page, char* to_addr, std::size_t size);

// Fills the destination list from a loaded `ToAddr`, as far as the list's
// limits allow, and selects the first address.
void ListDestinations(HWND page, const char* to_addr);

// The listed addresses, in list order.
void CopyDestinations(HWND page, AddressList* list);

}  // namespace ui
