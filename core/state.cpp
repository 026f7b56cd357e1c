#include "core/state.h"

namespace core {

MonitorState g_monitor;

void SetFlags(PortEntry* port, std::uint32_t flags) {
  Locked lock;
  port->flags |= flags;
}

void ClearFlags(PortEntry* port, std::uint32_t flags) {
  Locked lock;
  port->flags &= ~flags;
}

bool HasFlags(PortEntry* port, std::uint32_t flags) {
  Locked lock;
  return (port->flags & flags) != 0;
}

char* DupText(const char* text) {
  std::size_t bytes = TextLength(text) + 1;
  auto* copy = static_cast<char*>(Alloc(bytes));
  if (copy != nullptr) CopyMemory(copy, text, bytes);
  return copy;
}

bool StartWorker(LPTHREAD_START_ROUTINE routine, void* parameter) {
  constexpr DWORD kWorkerStack = 16384;
  DWORD id;
  HANDLE thread = CreateThread(nullptr, kWorkerStack, routine, parameter, CREATE_SUSPENDED, &id);
  if (thread == nullptr) return false;
  SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
  ResumeThread(thread);
  CloseHandle(thread);
  return true;
}

bool StartPortWorker(PortEntry* port, const PortWorker& worker, LPTHREAD_START_ROUTINE routine) {
  *worker.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (*worker.event != nullptr) {
    port->flags |= worker.requested;
    if (StartWorker(routine, port)) return true;
    CloseHandle(*worker.event);
    *worker.event = nullptr;
  }
  port->flags &= ~worker.requested;
  return false;
}

bool PortWorkerBegins(PortEntry* port, const PortWorker& worker) {
  Locked lock;
  if ((port->flags & worker.requested) == 0) return false;
  port->flags |= worker.running;
  return true;
}

void PortWorkerEnds(PortEntry* port, const PortWorker& worker) {
  Locked lock;
  if (*worker.event != nullptr) CloseHandle(*worker.event);
  *worker.event = nullptr;
  port->flags &= ~(worker.requested | worker.running);
}

bool StopPortWorker(PortEntry* port, const PortWorker& worker) {
  {
    Locked lock;
    port->flags &= ~worker.requested;
    if (*worker.event != nullptr) SetEvent(*worker.event);
  }
  return WaitUntil([&] {
    Locked lock;
    return *worker.event == nullptr;
  });
}

}  // namespace core
