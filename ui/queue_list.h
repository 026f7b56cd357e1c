// The add-port wizard's LPR queue list, filled from what a print server says
// its printer ports are.
#pragma once
#include <windows.h>

#include <cstdint>

namespace ui {

// The wizard page controls the query reads and fills.
inline constexpr int kServerAddressField = 245;
inline constexpr int kQueueCombo = 247;

// Asks the server in the page's address field for its ports and puts the
// matching queue names into the page's queue list (the default names when
// the list ends up empty), then selects the first. Returns 0.
int FillQueueList(HWND page, std::uint16_t port);

// Runs FillQueueList on a worker thread, so the wizard stays responsive for
// the seconds a silent server takes. False when the thread could not be
// started (the list then keeps what it has).
bool StartQueueQuery(HWND page, std::uint16_t port);

}  // namespace ui
