#include "host/threads.h"

#include <type_traits>
#include <vector>

namespace host::threads {
namespace {

struct Worker {
  DWORD thread_id;
  int line;
};

struct Shared {
  Shared() { InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::vector<Worker> workers;  // threads of background lines, while they run
};
Shared g_shared;

void Adopt(DWORD thread_id, int line) {
  EnterCriticalSection(&g_shared.lock);
  g_shared.workers.push_back(Worker{thread_id, line});
  LeaveCriticalSection(&g_shared.lock);
}

void Forget(DWORD thread_id) {
  EnterCriticalSection(&g_shared.lock);
  auto& workers = g_shared.workers;
  for (size_t i = 0; i < workers.size(); ++i) {
    if (workers[i].thread_id != thread_id) continue;
    workers.erase(workers.begin() + static_cast<std::ptrdiff_t>(i));
    break;
  }
  LeaveCriticalSection(&g_shared.lock);
}

struct Launch {
  LPTHREAD_START_ROUTINE routine;
  void* parameter;
  int line;
};

// The thread is known by its line before its routine can show a window or
// print, and forgotten before its id can be given to another thread.
DWORD WINAPI RunForLine(LPVOID param) {
  Launch launch = *static_cast<Launch*>(param);
  delete static_cast<Launch*>(param);
  Adopt(GetCurrentThreadId(), launch.line);
  DWORD result = launch.routine(launch.parameter);
  Forget(GetCurrentThreadId());
  return result;
}

HANDLE StartForLine(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE routine,
                    void* parameter, DWORD flags, LPDWORD thread_id, int line) {
  if (line == 0) return CreateThread(security, stack, routine, parameter, flags, thread_id);
  auto* launch = new Launch{routine, parameter, line};
  HANDLE thread = CreateThread(security, stack, RunForLine, launch, flags, thread_id);
  if (!thread) delete launch;
  return thread;
}

// Takes the monitor's CreateThread calls: a thread started while serving a
// background job works for that job's line.
HANDLE WINAPI CreateThreadForLine(LPSECURITY_ATTRIBUTES security, SIZE_T stack,
                                  LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                  LPDWORD thread_id) {
  return StartForLine(security, stack, routine, parameter, flags, thread_id, CurrentLine());
}
static_assert(std::is_same_v<decltype(&CreateThreadForLine), decltype(&CreateThread)>);

}  // namespace

int LineOf(DWORD thread_id) {
  int line = 0;
  EnterCriticalSection(&g_shared.lock);
  for (const Worker& worker : g_shared.workers)
    if (worker.thread_id == thread_id) line = worker.line;
  LeaveCriticalSection(&g_shared.lock);
  return line;
}

int CurrentLine() { return LineOf(GetCurrentThreadId()); }

HANDLE Start(LPTHREAD_START_ROUTINE routine, void* parameter, int line) {
  return StartForLine(nullptr, 0, routine, parameter, 0, nullptr, line < 0 ? CurrentLine() : line);
}

bool FollowThreadsOf(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (; library->Name != 0; ++library) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + library->Name), "kernel32.dll") != 0 ||
        library->OriginalFirstThunk == 0)
      continue;
    auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      auto* import = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<char*>(import->Name), "CreateThread") != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE,
                          &protection))
        return false;
      // The slot holds the address the loader bound; ours has the same type.
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(&CreateThreadForLine);
      VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), protection, &protection);
      return true;
    }
  }
  return false;
}

}  // namespace host::threads
