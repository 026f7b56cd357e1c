#include "ui/queue_list.h"

#include <winsock.h>

#include "core/state.h"
#include "discovery/query.h"
#include "discovery/query_wire.h"

namespace ui {
namespace {

constexpr int kAnswerSize = 1024;

struct QueryJob {
  HWND page;
  std::uint16_t port;
};

DWORD WINAPI QueryThread(LPVOID parameter) {
  QueryJob job = *static_cast<QueryJob*>(parameter);
  core::Free(parameter);
  return static_cast<DWORD>(FillQueueList(job.page, job.port));
}

}  // namespace

int FillQueueList(HWND page, std::uint16_t port) {
  char address[16] = {};
  GetDlgItemTextA(page, kServerAddressField, address, sizeof(address));
  std::uint8_t answer[kAnswerSize];
  int size = discovery::ServerQuery(inet_addr(address), discovery::kPortNameCommand, answer,
                                    kAnswerSize, port);
  HWND combo = GetDlgItem(page, kQueueCombo);
  if (size > 0) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    // A kilobyte of answer holds at most ~340 names of two characters.
    const char* queues[kAnswerSize / 2];
    int count = discovery::QueueNamesFromAnswer(answer, static_cast<std::size_t>(size), queues,
                                                kAnswerSize / 2);
    for (int i = 0; i < count; ++i)
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queues[i]));
  }
  if (SendMessageA(combo, CB_GETCOUNT, 0, 0) <= 0) {
    for (const char* queue : discovery::kDefaultQueues)
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(queue));
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  return 0;
}

bool StartQueueQuery(HWND page, std::uint16_t port) {
  auto* job = static_cast<QueryJob*>(core::Alloc(sizeof(QueryJob)));
  if (job == nullptr) return false;
  job->page = page;
  job->port = port;
  if (core::StartWorker(QueryThread, job)) return true;
  core::Free(job);
  return false;
}

}  // namespace ui
