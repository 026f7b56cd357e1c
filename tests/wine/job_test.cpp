// Jobs through StartDocPort, WritePort and EndDocPort on a stand-in
// spooler job, a fake printer behind the port's send procedure and a fake
// clock for the long waits, so the job flow runs in milliseconds: spool
// files, direct or at-end sending, the resend loop, pause, delete; and what
// RetryPrompt does for each send error code.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>
#include <winspool.h>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/ports.h"
#include "core/retry.h"
#include "core/state.h"
#include "core/store.h"
#include "host/winspool/standin.h"
#include "monitor/job.h"
#include "monitor/prompts.h"
#include "tests/wine/fixture.h"
#include "transport/senders.h"

using namespace core;
using namespace monitor;
using namespace wine_test;

namespace {

constexpr char kPrinter[] = "Job Test Printer";

// What the printer behind the port has received, and how it misbehaves.
struct FakePrinter {
  std::string received;
  int calls = 0, direct_calls = 0, end_calls = 0;  // direct: while the spooler still writes
  // The next `failures` calls (every call, when negative) fail with `code`
  // after taking `partial` bytes; with `restart` the printer then drops the
  // partial job, so the sender must start again at byte 0.
  int failures = 0;
  std::uint32_t code = 2, partial = 0;
  bool restart = false;
  FakePrinter() = default;
  FakePrinter(int f, std::uint32_t c, std::uint32_t p, bool r)
      : failures(f), code(c), partial(p), restart(r) {}
};
FakePrinter g_printer;
bool g_writing = false;

bool FakeSend(PortEntry* port, const std::uint8_t* data, std::uint32_t size, std::uint32_t* sent) {
  ++g_printer.calls;
  if (g_writing) ++g_printer.direct_calls;
  if (g_printer.failures != 0) {
    if (g_printer.failures > 0) --g_printer.failures;
    std::uint32_t taken = g_printer.partial < size ? g_printer.partial : size;
    g_printer.received.append(reinterpret_cast<const char*>(data), taken);
    port->bytes_sent += taken;
    *sent = taken;
    port->send_error = g_printer.code;
    if (g_printer.restart) {
      g_printer.received.clear();
      port->bytes_sent = 0;
    }
    return false;
  }
  g_printer.received.append(reinterpret_cast<const char*>(data), size);
  port->bytes_sent += size;
  *sent = size;
  ClearFlags(port, kErrorState);
  return true;
}

bool FakeEnd(PortEntry*) {
  ++g_printer.end_calls;
  return true;
}

// Long waits cost no time; actions can be scheduled at a point of fake time.
struct FakeClock {
  DWORD now = 0;
  std::map<DWORD, DWORD> pauses;  // how many of each length
  std::vector<std::pair<DWORD, std::function<void()>>> actions;
};
FakeClock g_clock;

void FakePause(DWORD ms) {
  g_clock.now += ms;
  ++g_clock.pauses[ms];
  for (auto& [at, action] : g_clock.actions) {
    if (action && at <= g_clock.now) {
      action();
      action = nullptr;
    }
  }
}

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    install_ = UseInstallFolder("vexa_job_test");
    RemoveDirectoryA((install_ + "\\Spool").c_str());
    ASSERT_TRUE(standin::Bind(&spool_)) << "the stand-in winspool.drv is not loaded";
    VexaSpoolNewPrinter printer{kPrinter, "JobPort", 0, 0, 0};
    ASSERT_TRUE(spool_.AddPrinter(&printer));
    for (auto& sender : g_monitor.hooks.senders) sender = {FakeSend, FakeEnd};
    g_monitor.hooks.retry_prompt = monitor::RetryPrompt;
    g_monitor.clock.pause = FakePause;
    g_printer = FakePrinter{};
    g_clock = FakeClock{};
    g_writing = false;
  }
  void TearDown() override {
    g_monitor.clock.pause = nullptr;
    g_monitor.hooks.retry_dialog = nullptr;
    g_monitor.hooks.password_dialog = nullptr;
  }

  DWORD AddJob(DWORD status = JOB_STATUS_SPOOLING, DWORD size = 0, const char* type = "RAW") {
    VexaSpoolNewJob job{kPrinter, "alice", "report.txt", type, status, size, 1, 0};
    return spool_.AddJob(&job);
  }

  // A registered port of the kind, with its registry record, in the table.
  PortEntry* MakePort(const char* name, std::uint32_t kind) {
    static const MailBlock kNone{};  // the largest block: any kind's empty settings
    CreatePortRecord(&kNone, name, kind);
    EnterLock();
    if (FindPort(name) != nullptr) RemovePortEntry(name);
    PortEntry* port = AddPortEntry(nullptr, name, nullptr, kind);
    LeaveLock();
    return port;
  }

  bool Start(PortEntry* port, DWORD job, const char* printer = kPrinter) {
    DOC_INFO_1A info{const_cast<char*>("report.txt"), nullptr, const_cast<char*>("RAW")};
    return monitor::StartDocPort(port, const_cast<char*>(printer), job, 1,
                                 reinterpret_cast<LPBYTE>(&info));
  }

  // Writes the job in pieces, as the spooler does.
  void Write(PortEntry* port, std::string data) {
    g_writing = true;
    for (std::size_t at = 0; at < data.size(); at += 1000) {
      DWORD n = static_cast<DWORD>(std::min<std::size_t>(1000, data.size() - at)), written = 0;
      ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data() + at), n, &written));
      ASSERT_EQ(written, n);
    }
    g_writing = false;
  }

  DWORD JobStatus(DWORD job) {
    VexaSpoolJobState state{};
    spool_.GetJob(job, &state);
    return state.status;
  }

  static std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      data[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    return data;
  }

  standin::Spool spool_{};
  std::string install_;
};

// The entry is idle again: nothing of the job is left behind.
void ExpectIdle(const PortEntry* port) {
  EXPECT_EQ(port->flags &
                (kJobActive | kWriteFailed | kErrorState | kWatchRequested | kWatchRunning), 0u);
  EXPECT_EQ(port->printer, nullptr);
  EXPECT_EQ(port->spool_file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(port->user_name, nullptr);
  EXPECT_EQ(port->document_name, nullptr);
  EXPECT_EQ(port->watch_event, nullptr);
  EXPECT_EQ(port->prompt_running, 0u);
}

}  // namespace

TEST_F(JobTest, SpoolFileIsNamedByJobModuloAThousandAndGoesAwayAtTheEnd) {
  auto exists = [](const std::string& path) { return GetFileAttributesA(path.c_str()) != ~0u; };
  PortEntry* port = MakePort("RawSpool", kRaw);
  const std::string file = install_ + "\\Spool\\~QVE007.QVE";
  ASSERT_FALSE(exists(install_ + "\\Spool"));
  ASSERT_TRUE(Start(port, 1007));
  EXPECT_TRUE(exists(file)) << "the Spool folder is made when missing";
  EXPECT_TRUE(!Start(port, 1008) && GetLastError() == ERROR_BUSY);
  Write(port, "data");
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_FALSE(exists(file));
  EXPECT_TRUE(EndDocPort(port)) << "EndDocPort on an idle port";
  ExpectIdle(port);
}

TEST_F(JobTest, AFailedStartReleasesWhatTheJobTook) {
  // E-mail ports are refused after the printer was opened.
  PortEntry* mail = MakePort("MailPort", kMail);
  EXPECT_FALSE(Start(mail, AddJob()));
  ExpectIdle(mail);
  // DI_CHANNEL jobs are refused before anything is taken.
  PortEntry* port = MakePort("RawNoSpool", kRaw);
  DOC_INFO_2A channel{const_cast<char*>("d"), nullptr, const_cast<char*>("RAW"), 1, 0};
  EXPECT_FALSE(StartDocPort(port, const_cast<char*>(kPrinter), 3, 2,
                            reinterpret_cast<LPBYTE>(&channel)));
  EXPECT_EQ(GetLastError(), 1012u);
  // A spool folder that cannot be made: its parent does not exist.
  SetString(MonitorKey(), "InstallPath", install_ + "\\no\\such\\folder");
  EXPECT_FALSE(Start(port, AddJob()));
  ExpectIdle(port);
}

TEST_F(JobTest, EachKindSendsDirectOrAtTheEndAsItsSettingsAndTheJobSay) {
  constexpr DWORD kSpooling = JOB_STATUS_SPOOLING, kPrinting = JOB_STATUS_PRINTING;
  // A RAW job the spooler has all of goes direct with NonSpool, with its size.
  const struct {
    const char* name; std::uint32_t kind; const char* value; DWORD status; const char* type;
    bool direct, spool_file; DWORD size;
  } rows[] = {{"LprStream", kLpr, "NonByteCount", kSpooling, "RAW", true, true, 0},
              {"LprNonSpool", kLpr, "NonSpool", kPrinting, "raw", true, true, 10000},
              {"LprStillSpooling", kLpr, "NonSpool", kSpooling | kPrinting, "RAW", false, true, 0},
              {"LprNotRaw", kLpr, "NonSpool", kPrinting, "EMF", false, true, 0},
              {"LprNonSpoolOff", kLpr, nullptr, kPrinting, "RAW", false, true, 0},
              {"RawAlways", kRaw, nullptr, kSpooling, "RAW", true, true, 0},
              {"IppCounted", kIpp, nullptr, kSpooling, "RAW", false, true, 0},
              {"IppChunked", kIpp, "Chunked", kSpooling, "RAW", true, false, 0}};
  std::string data = Pattern(10000);
  for (const auto& row : rows) {
    g_printer = FakePrinter{};
    PortEntry* port = MakePort(row.name, row.kind);
    if (row.value != nullptr) SetDword(PortKey(row.name), row.value, 1);
    ASSERT_TRUE(Start(port, AddJob(row.status, 10000, row.type)));
    EXPECT_EQ(port->spool_file != INVALID_HANDLE_VALUE, row.spool_file) << row.name;
    EXPECT_EQ(port->job_size, row.size) << row.name;
    EXPECT_STREQ(port->user_name, "alice");
    Write(port, data);
    EXPECT_EQ(g_printer.direct_calls > 0, row.direct) << row.name;
    EXPECT_TRUE(EndDocPort(port));
    EXPECT_EQ(g_printer.received, data) << row.name;
    EXPECT_EQ(g_printer.end_calls, 1);
    ExpectIdle(port);
  }
}

TEST_F(JobTest, TheResendLoopSendsEveryByteOnceInOrder) {
  SetDword(MonitorKey(), "SendBufSize", 4096);
  static int prompts;
  g_monitor.hooks.retry_dialog = [](PortEntry*) -> INT_PTR { return ++prompts, 1; };
  // A time-out asks and resumes at the first unsent byte; a lost connection
  // is retried without asking, and this printer drops what it had.
  const struct { std::uint32_t code, partial; bool restart; int prompts; } rows[] = {
      {2, 1000, false, 3}, {202, 7000, true, 0}};
  for (const auto& row : rows) {
    PortEntry* port = MakePort("LprResend", kLpr);
    std::string data = Pattern(50000);
    ASSERT_TRUE(Start(port, AddJob()));
    Write(port, data);
    prompts = 0;
    g_clock = FakeClock{};
    g_printer = FakePrinter(3, row.code, row.partial, row.restart);
    EXPECT_TRUE(EndDocPort(port));
    EXPECT_EQ(g_printer.received, data);
    EXPECT_EQ(prompts, row.prompts);
    EXPECT_EQ(g_clock.pauses[15000], 3u);
    ExpectIdle(port);
  }
}

TEST_F(JobTest, AFailedDirectLprSendMarksTheJobAndFallsBackToTheSpoolFile) {
  PortEntry* port = MakePort("LprFallback", kLpr);
  SetDword(PortKey("LprFallback"), "NonByteCount", 1);
  DWORD job = AddJob();
  std::string data = Pattern(3000);
  ASSERT_TRUE(Start(port, job));
  g_printer = FakePrinter(1, 202, 500, true);
  Write(port, data);
  EXPECT_EQ(port->send_at_end, 1u);
  EXPECT_TRUE(port->flags & kErrorState);
  EXPECT_TRUE(JobStatus(job) & JOB_STATUS_ERROR);
  EXPECT_EQ(g_printer.calls, 1) << "no more direct sends after the failure";
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_EQ(g_printer.received, data);
  EXPECT_FALSE(JobStatus(job) & JOB_STATUS_ERROR);
}

// The spool file is written in larger steps than the spooler's buffers; a
// resend from it, whenever it comes, still has every byte once, in order.
TEST_F(JobTest, TheSpoolFileHasEveryWriteWhateverItsSize) {
  const DWORD sizes[] = {1000, 70000, 3, 65536, 65535, 1, 20000, 131072, 4096, 40000};
  std::string data = Pattern(397243);  // their sum
  // At the end as usual; direct, falling back to the spool file after the
  // fourth write; direct, falling back at the very last one.
  const struct { bool direct; int good_sends; } rows[] = {{false, 0}, {true, 3}, {true, 9}};
  for (const auto& row : rows) {
    PortEntry* port = MakePort("LprStaged", kLpr);
    SetDword(PortKey("LprStaged"), "NonByteCount", row.direct ? 1 : 0);
    ASSERT_TRUE(Start(port, AddJob()));
    g_printer = FakePrinter{};
    std::size_t at = 0;
    for (int i = 0; i < 10; ++i) {
      if (row.direct && i == row.good_sends) g_printer = FakePrinter(1, 202, 700, true);
      DWORD written = 0;
      ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data() + at), sizes[i], &written));
      ASSERT_EQ(written, sizes[i]);
      at += sizes[i];
    }
    ASSERT_EQ(at, data.size());
    EXPECT_EQ(port->send_at_end, 1u);
    EXPECT_TRUE(EndDocPort(port));
    EXPECT_EQ(g_printer.received, data) << "direct " << row.direct << ", " << row.good_sends;
    ExpectIdle(port);
  }
}

TEST_F(JobTest, AWaitingJobGoesOnWhenResumedAndEndsWhenDeleted) {
  PortEntry* port = MakePort("LprWaits", kLpr);
  // Paused, then resumed or deleted; or with a printer never reached, deleted.
  const struct { DWORD paused; bool fails; DWORD then; } rows[] = {
      {JOB_STATUS_PAUSED, false, 0},
      {JOB_STATUS_PAUSED, false, JOB_STATUS_PAUSED | JOB_STATUS_DELETING},
      {0, true, JOB_STATUS_DELETING}};
  for (const auto& row : rows) {
    g_printer = FakePrinter(row.fails ? -1 : 0, 300, 0, false);
    g_clock = FakeClock{};
    DWORD job = AddJob();
    ASSERT_TRUE(Start(port, job));
    port->Reconnection = 1;  // a lost connection is retried without asking
    Write(port, "data");
    spool_.SetJobStatus(job, row.paused);
    g_clock.actions.push_back({45000, [&] { spool_.SetJobStatus(job, row.then); }});
    EXPECT_EQ(EndDocPort(port), row.then == 0);
    EXPECT_EQ(g_printer.received, row.then == 0 ? "data" : "");
    EXPECT_EQ(g_clock.pauses[15000], 3u) << "the change is seen at the next look";
  }
  ExpectIdle(port);
}

TEST_F(JobTest, ThePrinterIsOpenedAgainUntilItAppears) {
  PortEntry* port = MakePort("RawLatePrinter", kRaw);
  VexaSpoolNewPrinter late{"Late Printer", "RawLatePrinter", 0, 0, 0};
  g_clock.actions.push_back({5000, [&] { spool_.AddPrinter(&late); }});
  ASSERT_TRUE(Start(port, 1, "Late Printer"));
  EXPECT_EQ(g_clock.pauses[500], 10u);
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_FALSE(Start(port, 1, "Never There"));
  EXPECT_EQ(g_clock.now, 5000u + 120u * 500u);
  ExpectIdle(port);
}

// Which box or prompt the user sees for each send error code, and whether
// the sender goes on. Boxes are answered by a hook; the prompts are
// stand-ins here (the real dialogs have their own tests).
namespace {

bool g_yes = true;                     // the answer to every box and prompt
std::atomic<std::uint32_t> g_message;  // the message the last retry prompt was opened with
bool g_prompt_waits;                   // the retry prompt stays up until asked to close

INT_PTR FakeRetryPrompt(PortEntry* port) {
  g_message = port->prompt_message_id;
  if (!g_prompt_waits) return g_yes;
  // As the real prompt after ten unanswered seconds: the sender goes on
  // under it until it is asked to close.
  port->prompt_state = kPromptUnanswered;
  while (port->prompt_state != kPromptClose) Sleep(5);
  return 0;
}

// A TCP printer in this process for the real Raw sender: takes every
// connection and reads each to its end, for at most 10 s.
struct Listener {
  SOCKET socket = INVALID_SOCKET;
  u_short port = 0;
  int connections = 0;
  std::string received;
  std::thread thread;

  Listener() {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(socket, 4);
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    thread = std::thread([this] { Serve(); });
  }
  ~Listener() {
    if (thread.joinable()) thread.join();
    closesocket(socket);
  }
  void Serve() {
    std::vector<SOCKET> open;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(socket, &ready);
      for (SOCKET c : open) FD_SET(c, &ready);
      timeval tick{0, 50000};
      if (select(0, &ready, nullptr, nullptr, &tick) <= 0) continue;
      if (FD_ISSET(socket, &ready)) open.push_back(accept(socket, nullptr, nullptr)), ++connections;
      for (auto c = open.begin(); c != open.end();) {
        char buffer[4096];
        int n = FD_ISSET(*c, &ready) ? recv(*c, buffer, sizeof(buffer), 0) : -2;
        if (n > 0) received.append(buffer, n);
        if (n != -1 && n != 0) {
          ++c;
          continue;
        }
        closesocket(*c);
        c = open.erase(c);
        if (open.empty()) return;
      }
    }
    for (SOCKET c : open) closesocket(c);
  }
};

// The byte count of a job wraps at 4 GiB; a Raw job past it must not take
// the wrapped count for "not connected yet" and open a second connection.
TEST_F(JobTest, ARawJobPastFourGigabytesKeepsItsOneConnection) {
  Listener printer;
  PortEntry* port = MakePort("RawWrap", kRaw);
  SetString(PortKey("RawWrap"), "HostName", "127.0.0.1");
  SetDword(PortKey("RawWrap"), "PortNum", printer.port);
  g_monitor.hooks.senders[kRaw] = {transport::RawWrite, transport::RawEnd};
  ASSERT_TRUE(Start(port, AddJob()));
  std::string sent;
  for (char c : {'a', 'b', 'c'}) {
    std::string piece(1000, c);
    DWORD written = 0;
    ASSERT_TRUE(monitor::WritePort(port, reinterpret_cast<LPBYTE>(piece.data()), 1000, &written));
    sent += piece;
    // As after 4 GiB less 1000 bytes: the next piece brings the count to 0.
    if (c == 'a') port->bytes_sent = 0u - 1000u;
  }
  EXPECT_TRUE(monitor::EndDocPort(port));
  printer.thread.join();
  EXPECT_EQ(printer.connections, 1);
  EXPECT_EQ(printer.received, sent);
}

struct Prompts : JobTest {
  void SetUp() override {
    JobTest::SetUp();
    // Each text is its key, so a box's text names it.
    std::string texts = "[MESSAGE]\r\nIDS_IPP_SEND_ERR_CODE=IDS_IPP_SEND_ERR_CODE %04x\r\n";
    for (std::string key : {"IDS_IPP_SEND_ERROR", "IDS_IPP_FORBIDDEN", "IDS_IPP_NOT_AUTHORIZED",
                            "IDS_IPP_TIMEOUT", "IDS_LPR_RETRY_TOP"})
      texts += key + "=" + key + "\r\n";
    WriteIni(install_, "NIMMES.INI", texts);
    g_yes = true;
    g_prompt_waits = false;
    g_monitor.hooks.retry_dialog = FakeRetryPrompt;
    g_monitor.hooks.password_dialog = [](PortEntry*) -> INT_PTR { return g_yes; };
    port_ = MakePort("IppPrompt", kIpp);
  }
  void TearDown() override {
    ClosePrompt(port_);
    JobTest::TearDown();
  }
  int Retry(std::uint32_t code) {
    boxes_.text.clear();
    boxes_.answer = g_yes ? IDRETRY : IDCANCEL;
    g_message = 0;
    port_->send_error = code;
    return monitor::RetryPrompt(port_);
  }
  PortEntry* port_;
  AnsweredBoxes boxes_;
};

}  // namespace

TEST_F(Prompts, EachCodeRetriesStopsOrAsks) {
  // Code, Reconnection, the box, the retry prompt's message, the result when the
  // user says yes and no, bytes_sent from 500 (a restart begins at byte 0).
  struct Row { std::uint32_t code, reconnection; const char* box; std::uint32_t message;
               int on_yes, on_no; std::uint32_t bytes_sent; };
  const Row rows[] = {
      {100, 0, "", 0, 1, 1, 500}, {106, 0, "", 0, 1, 1, 500}, {202, 0, "", 0, 1, 1, 500},
      {101, 1, "", 0, 1, 1, 500}, {203, 1, "", 0, 1, 1, 500}, {300, 1, "", 0, 1, 1, 500},
      {1, 0, "IDS_IPP_SEND_ERROR", 0, 0, 0, 500}, {102, 0, "IDS_IPP_SEND_ERROR", 0, 0, 0, 500},
      {1025, 0, "IDS_IPP_FORBIDDEN", 0, 0, 0, 500},
      {0x0400, 0, "IDS_IPP_SEND_ERR_CODE 0400", 0, 0, 0, 0},
      {1028, 0, "IDS_IPP_SEND_ERR_CODE 0404", 0, 0, 0, 0},
      {0x0508, 0, "IDS_IPP_SEND_ERR_CODE 0508", 0, 0, 0, 0},
      {203, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0}, {300, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0},
      {0, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0}, {7, 0, "IDS_LPR_RETRY_TOP", 0, 1, 0, 0},
      {101, 0, "IDS_IPP_TIMEOUT", 0, 1, 0, 500},
      {2, 0, "", 512, 1, 0, 500}, {103, 0, "", 516, 1, 0, 500}, {104, 0, "", 516, 1, 0, 500},
      {105, 0, "", 519, 1, 0, 500}, {201, 0, "", 515, 1, 0, 500},
      {1026, 0, "", 0, 1, 0, 500}, {1027, 0, "", 0, 1, 0, 500}};
  Ipp(port_)->severity = 8;  // so that 103 does not pass the printer check
  for (const Row& row : rows)
    for (bool yes : {true, false}) {
      g_yes = yes;
      port_->Reconnection = row.reconnection;
      port_->bytes_sent = 500;
      EXPECT_EQ(Retry(row.code), yes ? row.on_yes : row.on_no) << row.code << " " << yes;
      bool refused = (row.code == 1026 || row.code == 1027) && !yes;  // the password prompt
      EXPECT_EQ(boxes_.text, refused ? "IDS_IPP_NOT_AUTHORIZED" : row.box) << row.code;
      EXPECT_EQ(g_message, row.message) << row.code;
      EXPECT_EQ(port_->bytes_sent, row.bytes_sent) << row.code;
    }
}

TEST_F(Prompts, ABusyPrinterWithoutErrorsIsRetriedWithoutAPrompt) {
  port_->printer_status = PRINTER_STATUS_BUSY;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(g_message, 0u);
  port_->printer_status = PRINTER_STATUS_OFFLINE;
  EXPECT_EQ(Retry(103), 1);
  EXPECT_EQ(g_message, 516u) << "offline: the prompt";
}

TEST_F(Prompts, AnUnansweredPromptStaysUpUntilTheJobEnds) {
  ASSERT_TRUE(Start(port_, AddJob()));
  g_prompt_waits = true;
  EXPECT_EQ(Retry(2), 1);
  EXPECT_EQ(port_->prompt_running, 1u);
  EXPECT_EQ(Retry(105), 1) << "a second failure while it is up";
  EXPECT_EQ(g_message, 0u) << "no second prompt";
  EXPECT_EQ(port_->prompt_message_id, 519u);
  EXPECT_TRUE(EndDocPort(port_));
  EXPECT_EQ(port_->prompt_state, kPromptStop);
  ExpectIdle(port_);
}
