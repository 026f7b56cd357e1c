// Checks the stand-ins against the rules a monitor relies on: buffer sizes
// and error codes as winspool and mpr give them, status bits that survive a
// monitor's writes, events in order under threads. A stand-in that is more
// forgiving than Windows would hide the monitor's mistakes.
#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/mpr/standin.h"
#include "host/winspool/standin.h"

namespace {

int g_checks = 0;
int g_failures = 0;

#define CHECK(condition)                                                   \
  do {                                                                     \
    ++g_checks;                                                            \
    if (!(condition)) {                                                    \
      ++g_failures;                                                        \
      std::printf("FAIL %s:%d: %s\n", __FILE__, __LINE__, #condition);     \
    }                                                                      \
  } while (0)

// A call that must fail with exactly ERROR.
#define CHECK_FAILS(call, error)                                                  \
  do {                                                                            \
    ++g_checks;                                                                   \
    SetLastError(0);                                                              \
    bool succeeded_ = (call);                                                     \
    DWORD got_ = GetLastError();                                                  \
    if (succeeded_ || got_ != static_cast<DWORD>(error)) {                        \
      ++g_failures;                                                               \
      std::printf("FAIL %s:%d: %s: %s, error %lu, expected error %lu\n", __FILE__, \
                  __LINE__, #call, succeeded_ ? "succeeded" : "failed", got_,     \
                  static_cast<DWORD>(error));                                     \
    }                                                                             \
  } while (0)

standin::Spool spool;
standin::Mpr mpr;

bool Inside(const void* pointer, const std::vector<BYTE>& buffer) {
  auto* at = static_cast<const BYTE*>(pointer);
  return at >= buffer.data() && at < buffer.data() + buffer.size();
}

struct Events {
  CRITICAL_SECTION lock;
  std::vector<std::string> lines;
  volatile LONG inside = 0;
  bool overlapped = false;
};
Events events;

void WINAPI RecordEvent(void*, const VexaSpoolEvent* event) {
  if (InterlockedIncrement(&events.inside) != 1) events.overlapped = true;
  char line[400];
  if (event->kind == kVexaSpoolJobEvent)
    std::snprintf(line, sizeof(line), "job %lu 0x%lx %s", event->job_id, event->status,
                  event->status_text ? event->status_text : "(none)");
  else
    std::snprintf(line, sizeof(line), "printer %s 0x%lx", event->printer, event->status);
  EnterCriticalSection(&events.lock);
  events.lines.push_back(line);
  LeaveCriticalSection(&events.lock);
  InterlockedDecrement(&events.inside);
}

std::vector<std::string> TakeEvents() {
  EnterCriticalSection(&events.lock);
  std::vector<std::string> taken;
  taken.swap(events.lines);
  LeaveCriticalSection(&events.lock);
  return taken;
}

void AddPrinters() {
  VexaSpoolNewPrinter first{"Office", "IPP_1:", PRINTER_ATTRIBUTE_LOCAL, 15000, 45000};
  VexaSpoolNewPrinter second{"Lab", "LPR_2:", 0, 15000, 45000};
  CHECK(spool.AddPrinter(&first));
  CHECK(spool.AddPrinter(&second));
}

DWORD AddJob(const char* printer, const char* document, DWORD id = 0) {
  VexaSpoolNewJob info{printer, "alice", document, nullptr, JOB_STATUS_SPOOLING, 1234, 3, id};
  return spool.AddJob(&info);
}

// The host prints jobs under ids it is told; the ids it picks itself must
// then step round them.
void CheckJobIds() {
  CHECK(AddJob("Office", "Chosen.txt", 1007) == 1007);
  CHECK_FAILS(AddJob("Lab", "Twice.txt", 1007) != 0, ERROR_ALREADY_EXISTS);
  CHECK_FAILS(AddJob("Nowhere", "Lost.txt") != 0, ERROR_INVALID_PRINTER_NAME);
  DWORD next = AddJob("Office", "Next.txt");
  CHECK(next != 0 && next != 1007);
  CHECK(AddJob("Office", "Taken.txt", next + 1) == next + 1);
  DWORD after = AddJob("Office", "After.txt");
  CHECK(after != next && after != next + 1 && after != 1007);
  for (DWORD job : {DWORD{1007}, next, next + 1, after}) CHECK(spool.RemoveJob(job));
}

void CheckPrinterInfo() {
  HANDLE printer = nullptr;
  CHECK_FAILS(OpenPrinterA(const_cast<LPSTR>("Nowhere"), &printer, nullptr),
              ERROR_INVALID_PRINTER_NAME);
  CHECK(OpenPrinterA(const_cast<LPSTR>("office"), &printer, nullptr));  // any case
  DWORD needed = 0;
  CHECK_FAILS(GetPrinterA(printer, 5, nullptr, 0, &needed), ERROR_INSUFFICIENT_BUFFER);
  CHECK(needed == sizeof(PRINTER_INFO_5A) + sizeof("Office") + sizeof("IPP_1:"));
  std::vector<BYTE> buffer(needed);
  DWORD again = 0;
  CHECK_FAILS(GetPrinterA(printer, 5, buffer.data(), needed - 1, &again),
              ERROR_INSUFFICIENT_BUFFER);
  CHECK(again == needed);
  CHECK_FAILS(GetPrinterA(printer, 2, buffer.data(), needed, &again), ERROR_INVALID_LEVEL);
  CHECK(GetPrinterA(printer, 5, buffer.data(), needed, &again));
  auto* info = reinterpret_cast<PRINTER_INFO_5A*>(buffer.data());
  CHECK(Inside(info->pPrinterName, buffer) && Inside(info->pPortName, buffer));
  CHECK(std::strcmp(info->pPrinterName, "Office") == 0);
  CHECK(std::strcmp(info->pPortName, "IPP_1:") == 0);
  CHECK(info->Attributes == PRINTER_ATTRIBUTE_LOCAL && info->TransmissionRetryTimeout == 45000);
  CHECK(ClosePrinter(printer));
  CHECK_FAILS(ClosePrinter(printer), ERROR_INVALID_HANDLE);
  CHECK_FAILS(GetPrinterA(printer, 5, buffer.data(), needed, &again), ERROR_INVALID_HANDLE);
}

void CheckJobInfo() {
  DWORD job = AddJob("Office", "Report.doc");
  DWORD other = AddJob("Lab", "Elsewhere.txt");
  CHECK(job != 0 && other != 0 && job != other);
  HANDLE printer = nullptr;
  CHECK(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, nullptr));
  for (DWORD level : {1ul, 2ul}) {
    DWORD needed = 0;
    CHECK_FAILS(GetJobA(printer, job, level, nullptr, 0, &needed), ERROR_INSUFFICIENT_BUFFER);
    std::vector<BYTE> buffer(needed);
    CHECK_FAILS(GetJobA(printer, job, level, buffer.data(), needed - 1, &needed),
                ERROR_INSUFFICIENT_BUFFER);
    CHECK(GetJobA(printer, job, level, buffer.data(), needed, &needed));
    if (level == 1) {
      auto* info = reinterpret_cast<JOB_INFO_1A*>(buffer.data());
      CHECK(info->JobId == job && info->Status == JOB_STATUS_SPOOLING && info->TotalPages == 3);
      CHECK(Inside(info->pDocument, buffer) && std::strcmp(info->pDocument, "Report.doc") == 0);
      CHECK(std::strcmp(info->pDatatype, "RAW") == 0 && info->pStatus == nullptr);
    } else {
      auto* info = reinterpret_cast<JOB_INFO_2A*>(buffer.data());
      CHECK(info->JobId == job && info->Size == 1234 && info->Position == 1);
      CHECK(Inside(info->pUserName, buffer) && std::strcmp(info->pUserName, "alice") == 0);
      CHECK(std::strcmp(info->pPrinterName, "Office") == 0 && info->pDevMode == nullptr);
    }
  }
  DWORD needed = 0;
  BYTE small[8];
  CHECK_FAILS(GetJobA(printer, job, 3, small, sizeof(small), &needed), ERROR_INVALID_LEVEL);
  // A job is reached only through its own printer.
  CHECK_FAILS(GetJobA(printer, other, 1, small, sizeof(small), &needed), ERROR_INVALID_PARAMETER);
  CHECK_FAILS(GetJobA(printer, 999, 1, small, sizeof(small), &needed), ERROR_INVALID_PARAMETER);
  CHECK(spool.RemoveJob(other));
  CHECK(spool.RemoveJob(job));
  CHECK_FAILS(GetJobA(printer, job, 1, small, sizeof(small), &needed), ERROR_INVALID_PARAMETER);
  CHECK(ClosePrinter(printer));
}

void CheckJobControl() {
  DWORD job = AddJob("Office", "Control.txt");
  HANDLE printer = nullptr;
  CHECK(OpenPrinterA(const_cast<LPSTR>("Office"), &printer, nullptr));
  TakeEvents();

  JOB_INFO_2A info{};
  info.Status = JOB_STATUS_PRINTING | JOB_STATUS_ERROR;
  info.pStatus = const_cast<LPSTR>("Sending");
  CHECK(SetJobA(printer, job, 2, reinterpret_cast<LPBYTE>(&info), 0));
  VexaSpoolJobState state{};
  CHECK(spool.GetJob(job, &state));
  // SPOOLING belongs to the spooler and survives the monitor's write.
  CHECK(state.status == (JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING | JOB_STATUS_ERROR));
  CHECK(state.has_status_text && std::strcmp(state.status_text, "Sending") == 0);
  CHECK(SetJobA(printer, job, 2, reinterpret_cast<LPBYTE>(&info), 0));  // no change, no event

  CHECK(SetJobA(printer, job, 0, nullptr, JOB_CONTROL_CANCEL));
  info.Status = JOB_STATUS_PRINTING;
  info.pStatus = nullptr;
  CHECK(SetJobA(printer, job, 2, reinterpret_cast<LPBYTE>(&info), 0));
  CHECK(spool.GetJob(job, &state));
  CHECK((state.status & JOB_STATUS_DELETING) && !(state.status & JOB_STATUS_ERROR));
  CHECK(!state.has_status_text);

  CHECK(SetJobA(printer, job, 0, nullptr, JOB_CONTROL_PAUSE));
  CHECK(SetJobA(printer, job, 0, nullptr, JOB_CONTROL_RESUME));
  CHECK_FAILS(SetJobA(printer, job, 0, nullptr, 42), ERROR_INVALID_PARAMETER);
  CHECK_FAILS(SetJobA(printer, job, 2, nullptr, 0), ERROR_INVALID_PARAMETER);
  CHECK_FAILS(SetJobA(printer, job, 3, reinterpret_cast<LPBYTE>(&info), 0), ERROR_INVALID_LEVEL);

  std::vector<std::string> seen = TakeEvents();
  char expected[5][80];
  std::snprintf(expected[0], 80, "job %lu 0x1a Sending", job);
  std::snprintf(expected[1], 80, "job %lu 0x1e Sending", job);
  std::snprintf(expected[2], 80, "job %lu 0x1c (none)", job);
  std::snprintf(expected[3], 80, "job %lu 0x1d (none)", job);
  std::snprintf(expected[4], 80, "job %lu 0x1c (none)", job);
  CHECK(seen.size() == 5);
  for (size_t i = 0; i < seen.size() && i < 5; ++i) {
    CHECK(seen[i] == expected[i]);
    if (seen[i] != expected[i]) std::printf("  event %zu: %s\n", i, seen[i].c_str());
  }

  // The user's pause and cancel arrive beside the monitor's writes and
  // change only their own bits, without an event.
  CHECK(spool.ChangeJobStatus(job, JOB_STATUS_PAUSED, JOB_STATUS_DELETING));
  CHECK(spool.GetJob(job, &state) &&
        state.status == (JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING | JOB_STATUS_PAUSED));
  CHECK_FAILS(spool.ChangeJobStatus(999, JOB_STATUS_PAUSED, 0), ERROR_INVALID_PARAMETER);
  CHECK(TakeEvents().empty());

  // SET_STATUS carries the status as the pointer value: 0 is a status too.
  DWORD status = PRINTER_STATUS_ERROR | PRINTER_STATUS_OFFLINE;
  auto as_data = [](DWORD value) { return reinterpret_cast<LPBYTE>(static_cast<ULONG_PTR>(value)); };
  CHECK(SetPrinterA(printer, 0, as_data(status), PRINTER_CONTROL_SET_STATUS));
  DWORD now = 0;
  CHECK(spool.GetPrinterStatus("Office", &now) && now == status);
  CHECK(SetPrinterA(printer, 0, as_data(0), PRINTER_CONTROL_SET_STATUS));
  CHECK(spool.GetPrinterStatus("Office", &now) && now == 0);
  CHECK_FAILS(SetPrinterA(printer, 0, nullptr, 0), ERROR_INVALID_PRINTER_COMMAND);
  CHECK_FAILS(SetPrinterA(printer, 2, as_data(status), 0), ERROR_INVALID_LEVEL);
  seen = TakeEvents();
  CHECK(seen.size() == 2 && seen[0] == "printer Office 0x82" && seen[1] == "printer Office 0x0");
  CHECK(spool.RemoveJob(job));
  CHECK(ClosePrinter(printer));
}

struct Writer {
  HANDLE printer;
  DWORD job;
  int index;
};

constexpr int kWriters = 4;
constexpr int kWrites = 200;

DWORD WINAPI WriteStatus(LPVOID param) {
  auto* writer = static_cast<Writer*>(param);
  for (int i = 0; i < kWrites; ++i) {
    char text[32];
    std::snprintf(text, sizeof(text), "w%d-%d", writer->index, i);
    JOB_INFO_2A info{};
    info.pStatus = text;
    SetJobA(writer->printer, writer->job, 2, reinterpret_cast<LPBYTE>(&info), 0);
  }
  return 0;
}

// Monitor threads write job status at once; every change must arrive as one
// event, one at a time, and each writer's own events in its own order.
void CheckConcurrentWrites() {
  DWORD job = AddJob("Lab", "Busy.txt");
  HANDLE printer = nullptr;
  CHECK(OpenPrinterA(const_cast<LPSTR>("Lab"), &printer, nullptr));
  TakeEvents();
  Writer writers[kWriters];
  HANDLE threads[kWriters];
  for (int i = 0; i < kWriters; ++i) {
    writers[i] = Writer{printer, job, i};
    threads[i] = CreateThread(nullptr, 0, WriteStatus, &writers[i], 0, nullptr);
  }
  WaitForMultipleObjects(kWriters, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  std::vector<std::string> seen = TakeEvents();
  CHECK(seen.size() == kWriters * kWrites);
  CHECK(!events.overlapped);
  int next[kWriters] = {};
  bool in_order = true;
  for (const std::string& line : seen) {
    int writer = -1, count = -1;
    const char* text = std::strrchr(line.c_str(), ' ');
    if (text && std::sscanf(text, " w%d-%d", &writer, &count) == 2 && writer >= 0 &&
        writer < kWriters && count == next[writer])
      ++next[writer];
    else
      in_order = false;
  }
  CHECK(in_order);
  CHECK(spool.RemoveJob(job));
  CHECK(ClosePrinter(printer));
}

LPSTR g_enum_server = nullptr;
BOOL WINAPI FakeEnumPorts(LPSTR server, DWORD level, LPBYTE, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
  g_enum_server = server;
  *needed = level * 100 + size;
  *returned = 0;
  return TRUE;
}

void CheckEnumPortsRouting() {
  // Unrouted, EnumPortsA asks the installed monitor (setup_test sees that).
  DWORD needed = 0, returned = 0;
  spool.SetEnumPorts(FakeEnumPorts);
  char server[] = "\\\\here";
  CHECK(EnumPortsA(server, 2, nullptr, 7, &needed, &returned));
  CHECK(needed == 207 && g_enum_server == server);
  spool.SetEnumPorts(nullptr);
}

void CheckAddMonitor() {
  const char* key = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Vexa Check Monitor";
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
  MONITOR_INFO_2A info{const_cast<LPSTR>("Vexa Check Monitor"),
                       const_cast<LPSTR>("Windows 4.0"), const_cast<LPSTR>("check.dll")};
  CHECK_FAILS(AddMonitorA(nullptr, 1, reinterpret_cast<LPBYTE>(&info)), ERROR_INVALID_LEVEL);
  info.pEnvironment = const_cast<LPSTR>("Windows NT x86");
  CHECK_FAILS(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)),
              ERROR_INVALID_ENVIRONMENT);
  info.pEnvironment = const_cast<LPSTR>("Windows 4.0");
  CHECK(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  CHECK_FAILS(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)),
              ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
  char driver[64] = "";
  DWORD size = sizeof(driver);
  HKEY opened;
  CHECK(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &opened) == ERROR_SUCCESS);
  CHECK(RegQueryValueExA(opened, "Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(driver),
                         &size) == ERROR_SUCCESS);
  RegCloseKey(opened);
  CHECK(std::strcmp(driver, "check.dll") == 0);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
}

// --- mpr ------------------------------------------------------------------------

HANDLE OpenConnected() {
  HANDLE handle = nullptr;
  DWORD result = WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &handle);
  CHECK(result == NO_ERROR);
  return handle;
}

void CheckNetworkEnumeration() {
  HANDLE handle = OpenConnected();
  DWORD count = 0xFFFFFFFF, size = 4096;
  std::vector<BYTE> buffer(size);
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == ERROR_NO_MORE_ITEMS);
  CHECK(WNetCloseEnum(handle) == NO_ERROR);
  CHECK(WNetCloseEnum(handle) == ERROR_INVALID_HANDLE);

  CHECK(mpr.Connect("LPT2", "\\\\server\\queue"));
  CHECK(mpr.Connect("LPT3", "\\\\other\\laser"));
  handle = OpenConnected();
  CHECK(mpr.Disconnect("LPT3"));  // the open enumeration still lists it
  size = 4096;
  count = 0xFFFFFFFF;
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == NO_ERROR);
  CHECK(count == 2);
  auto* resources = reinterpret_cast<NETRESOURCEA*>(buffer.data());
  if (count == 2) {
    CHECK(std::strcmp(resources[0].lpLocalName, "LPT2") == 0);
    CHECK(std::strcmp(resources[0].lpRemoteName, "\\\\server\\queue") == 0);
    CHECK(std::strcmp(resources[1].lpLocalName, "LPT3") == 0);
    CHECK(resources[1].dwType == RESOURCETYPE_PRINT && resources[1].dwScope == RESOURCE_CONNECTED);
    // Strings sit after both records, inside the buffer.
    CHECK(reinterpret_cast<BYTE*>(resources[0].lpRemoteName) >=
          reinterpret_cast<BYTE*>(resources + 2));
    CHECK(Inside(resources[1].lpProvider, buffer));
  }
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == ERROR_NO_MORE_ITEMS);
  WNetCloseEnum(handle);
  CHECK(!mpr.Disconnect("LPT3"));
  CHECK(GetLastError() == ERROR_NOT_CONNECTED);

  // One entry needs its record and three strings; less than that for the
  // first entry is ERROR_MORE_DATA with the size it takes.
  CHECK(mpr.Connect("LPT3", "\\\\other\\laser"));
  DWORD one = sizeof(NETRESOURCEA) + sizeof("LPT2") + sizeof("\\\\server\\queue") +
              sizeof("Microsoft Network");
  handle = OpenConnected();
  size = one - 1;
  count = 0xFFFFFFFF;
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == ERROR_MORE_DATA);
  CHECK(size == one);
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == NO_ERROR && count == 1);
  count = 1;
  size = 4096;
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == NO_ERROR && count == 1);
  CHECK(std::strcmp(resources[0].lpLocalName, "LPT3") == 0);
  CHECK(WNetEnumResourceA(handle, &count, buffer.data(), &size) == ERROR_NO_MORE_ITEMS);
  WNetCloseEnum(handle);
  mpr.Disconnect("LPT2");
  mpr.Disconnect("LPT3");
}

void CheckNoNetwork() {
  HANDLE handle = nullptr;
  CHECK(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &handle) == NO_ERROR);
  DWORD count = 0xFFFFFFFF, size = 256;
  BYTE buffer[256];
  CHECK(WNetEnumResourceA(handle, &count, buffer, &size) == ERROR_NO_MORE_ITEMS);
  WNetCloseEnum(handle);
  mpr.SetNoNetwork(TRUE);
  CHECK(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &handle) ==
        ERROR_NO_NETWORK);
  CHECK(WNetOpenEnumA(RESOURCE_GLOBALNET, RESOURCETYPE_ANY, 0, nullptr, &handle) ==
        ERROR_NO_NETWORK);
  mpr.SetNoNetwork(FALSE);
  CHECK(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_PRINT, 0, nullptr, &handle) == NO_ERROR);
  WNetCloseEnum(handle);
  CHECK(WNetOpenEnumA(7, RESOURCETYPE_PRINT, 0, nullptr, &handle) == ERROR_INVALID_PARAMETER);
}

}  // namespace

int main() {
  InitializeCriticalSection(&events.lock);
  if (!standin::Bind(&spool) || !standin::Bind(&mpr)) {
    std::printf("standin_check: Wine did not load the stand-ins\n");
    return 3;
  }
  spool.SetEventSink(RecordEvent, nullptr);
  AddPrinters();
  CheckPrinterInfo();
  CheckJobInfo();
  CheckJobIds();
  CheckJobControl();
  CheckConcurrentWrites();
  CheckEnumPortsRouting();
  CheckAddMonitor();
  CheckNetworkEnumeration();
  CheckNoNetwork();
  std::printf("standin_check: %d checks, %d failed\n", g_checks, g_failures);
  return g_failures ? 1 : 0;
}
