#include "ui/queue_list.h"

#include <winsock.h>

#include "core/state.h"
#include "discovery/query.h"
#include "discovery/query_wire.h"

namespace ui {
namespace {

constexpr int kAnswerSize = 1024;

struct QueueQuery {
  LONG number;
  HWND page;
  std::uint16_t port;
  char address[16];
  int size;  // of the answer; 0 or less: the server said nothing usable
  std::uint8_t answer[kAnswerSize];
};

// The wizard may close, or start another query, while a worker still waits
// for a slow server. The worker therefore owns its query and never touches
// the page's memory or the wizard's settings: it copied what it needs, and
// it posts its answer only while its number is still the page's current
// one. Both numbers and the answer slot change under the monitor's lock.
LONG g_current_query;
QueueQuery* g_answer;  // posted and not yet taken

DWORD WINAPI QueryThread(LPVOID parameter) {
  auto* query = static_cast<QueueQuery*>(parameter);
  query->size = discovery::ServerQuery(inet_addr(query->address), discovery::kPortNameCommand,
                                       query->answer, kAnswerSize, query->port);
  core::Locked lock;
  if (query->number != g_current_query ||
      !PostMessageA(query->page, kQueueAnswerReady, static_cast<WPARAM>(query->number), 0)) {
    core::Free(query);
    return 0;
  }
  core::Free(g_answer);
  g_answer = query;
  return 0;
}

}  // namespace

bool StartQueueQuery(HWND page, std::uint16_t port) {
  auto* query = static_cast<QueueQuery*>(core::Alloc(sizeof(QueueQuery)));
  if (query == nullptr) return false;
  query->page = page;
  query->port = port;
  GetDlgItemTextA(page, kServerAddressField, query->address, sizeof(query->address));
  {
    core::Locked lock;
    core::Free(g_answer);
    g_answer = nullptr;
    query->number = ++g_current_query;
  }
  if (core::StartWorker(QueryThread, query)) return true;
  core::Free(query);
  return false;
}

void DropQueueQuery() {
  core::Locked lock;
  ++g_current_query;
  core::Free(g_answer);
  g_answer = nullptr;
}

void FillDefaultQueues(HWND page) {
  HWND combo = GetDlgItem(page, kQueueCombo);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const char* queue : discovery::kDefaultQueues)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queue));
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void TakeQueueAnswer(HWND page, WPARAM number) {
  QueueQuery* query = nullptr;
  {
    core::Locked lock;
    if (g_answer != nullptr && static_cast<WPARAM>(g_answer->number) == number) {
      query = g_answer;
      g_answer = nullptr;
    }
  }
  if (query == nullptr) return;
  HWND combo = GetDlgItem(page, kQueueCombo);
  if (query->size > 0) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    // A kilobyte of answer holds at most ~340 names of two characters.
    const char* queues[kAnswerSize / 2];
    int count = discovery::QueueNamesFromAnswer(
        query->answer, static_cast<std::size_t>(query->size), queues, kAnswerSize / 2);
    for (int i = 0; i < count; ++i)
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queues[i]));
  }
  core::Free(query);
  if (SendMessageA(combo, CB_GETCOUNT, 0, 0) <= 0) {
    FillDefaultQueues(page);
    return;
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

}  // namespace ui
