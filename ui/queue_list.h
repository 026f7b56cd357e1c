// The add-port wizard's LPR queue list, filled from what a print server says
// its printer ports are.
#pragma once
#include <windows.h>

#include <cstdint>

namespace ui {

// The wizard page controls the query reads and fills.
inline constexpr int kServerAddressField = 245;
inline constexpr int kQueueCombo = 247;

// Posted to the page when its query has an answer; wParam is the query's
// number, for TakeQueueAnswer.
inline constexpr UINT kQueueAnswerReady = WM_APP + 20;

// Asks the server in the page's address field (read now) at `port` for its
// printer ports on a worker thread, so the wizard stays responsive for the
// seconds a silent server takes. Any query still under way is dropped.
// False when the thread could not be started (the list keeps what it has).
bool StartQueueQuery(HWND page, std::uint16_t port);

// The page no longer wants the answer of any query under way: it was reset
// or is going away. The worker then ends without touching it.
void DropQueueQuery();

// On kQueueAnswerReady: puts the queue names of the answer numbered
// `query` into the page's list (the default names when none match), and
// selects the first. An answer dropped meanwhile changes nothing.
void TakeQueueAnswer(HWND page, WPARAM query);

// Empties the list and fills it with the default queue names.
void FillDefaultQueues(HWND page);

}  // namespace ui
